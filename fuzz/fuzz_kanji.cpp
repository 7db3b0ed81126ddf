// Detects and converts any bytes as a Japanese page; the converters must
// stay inside both buffers and never grow the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/YKKanjiLib.h"

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past the end is caught.
    std::vector<unsigned char> buf(data, data + size);
    const unsigned char* p = buf.empty() ? nullptr : buf.data();
    const std::string_view src(reinterpret_cast<const char*>(p), size);

    const int code = DetectKanjiCode(p, static_cast<int64_t>(size));
    Check(code >= 0 && code <= 2);
    Check(DetectKanjiCode(src) == code);

    const std::string jis = JISToSJIS(src);
    const std::string euc = EUCToSJIS(src);
    Check(jis.size() <= size);
    Check(euc.size() <= size);

    // Text without escapes or high bytes passes both converters unchanged.
    bool plain = true;
    for (unsigned char c : buf) plain = plain && c != 0x1B && c < 0x80;
    if (plain) Check(jis == src && euc == src);

    // A converted page is read again by the converters: still no growth.
    Check(EUCToSJIS(jis).size() <= jis.size());
    Check(JISToSJIS(euc).size() <= euc.size());
    return 0;
}
