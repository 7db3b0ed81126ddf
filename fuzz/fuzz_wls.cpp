// Any bytes as a WWWC item file: every item read has its six fields, each
// starting with its own tag and holding no CR or LF; writing the items and
// reading them again gives the same items and the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "outside/YKWLSLib.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<TWlsItem> items = ReadWlsItems(bytes);

    size_t lines = 0;
    for (char c : bytes) lines += c == '\n' || c == '\r';  // CR LF counts twice: still a bound
    Check(items.size() <= lines + 1);
    for (const TWlsItem& item : items) {
        for (int f = 0; f < WlsFieldCount; ++f) {
            const std::string& field = item.Fields[static_cast<size_t>(f)];
            Check(field.starts_with(WlsTags[static_cast<size_t>(f)]));
            Check(field.find_first_of("\r\n") == std::string::npos);
            Check(WlsFieldOfLine(field) == f);
        }
    }

    std::string written = WriteWlsItems(items);
    std::vector<TWlsItem> again = ReadWlsItems(written);
    Check(again == items);
    Check(WriteWlsItems(again) == written);
    return 0;
}
