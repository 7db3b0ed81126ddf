// Undoing the escapes authors write into addresses: percent escapes such as
// "%20" and character references such as "&amp;" or "&#65;".
#pragma once

#include <string>
#include <string_view>

// A named character reference and the byte it stands for.
struct TCharRefEntry {
    const char* Name;  // exact case
    unsigned char Code;
};

// The HTML 3.2 entity set: lt gt amp quot, then nbsp (160) .. yuml (255).
inline constexpr int CharRefCount = 100;
extern const TCharRefEntry CharRefTable[CharRefCount];

// Percent escapes first, then character references. A "%" that is not
// followed by one or two hexadecimal digits is dropped with the (up to) two
// bytes after it; an escape that yields "%" combines with what follows.
// The result is never longer than the value and ends before its first zero
// byte.
std::string UnescapeAttrValue(std::string_view value);

// Replaces named references of the table, "&#NNN;" and "&#$hh;" (0..255) by
// their byte. Anything else from "&" to the next ";" is copied unchanged and
// not looked at again; an "&" without a later ";" is copied with the rest.
// The result ends before its first zero byte.
std::string DecodeCharRefs(std::string_view text);
