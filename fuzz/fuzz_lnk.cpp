// Arbitrary bytes as a shortcut file: the parser must accept or refuse them
// without reading outside the buffer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "outside/YKShortCutLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TShortCutInfo info;
    // With a folder, so that the relative-path fallback runs too.
    if (ParseShortcutBytes(bytes, info, "/links/")) {
        volatile size_t sink = info.Path.size() + info.Description.size();
        (void)sink;
    }
    TShortCutInfo bare;
    ParseShortcutBytes(bytes, bare);
    return 0;
}
