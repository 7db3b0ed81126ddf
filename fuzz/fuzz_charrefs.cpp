// Any bytes as an attribute value: the decoders never grow the text, never
// leave a zero byte in it, and the fast percent pass gives what the slow
// restart-from-the-front loop gives.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/UCharRefs.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Quadratic, so only used on short inputs.
std::string PercentLiteral(std::string t) {
    for (;;) {
        size_t p = t.find('%');
        if (p == std::string::npos) return t;
        std::string code = t.substr(p + 1, 2);
        std::string rest = t.substr(p + 1 + code.size());
        int v = code.empty() ? -1 : 0;
        for (char c : code) v = (v < 0 || Hex(c) < 0) ? -1 : v * 16 + Hex(c);
        t = t.substr(0, p) + (v >= 0 ? std::string(1, static_cast<char>(v)) : std::string()) + rest;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past the end is caught.
    std::vector<char> buf(data, data + size);
    const std::string_view in(buf.data(), size);

    const std::string refs = DecodeCharRefs(in);
    const std::string value = UnescapeAttrValue(in);
    Check(refs.size() <= size);
    Check(value.size() <= size);
    Check(refs.find('\0') == std::string::npos);
    Check(value.find('\0') == std::string::npos);
    if (size <= 512) Check(value == DecodeCharRefs(PercentLiteral(std::string(in))));

    // Text without "&" or "%" (and without zero bytes) passes unchanged.
    if (in.find_first_of(std::string_view("&%\0", 3)) == std::string_view::npos) Check(refs == in && value == in);
    return 0;
}
