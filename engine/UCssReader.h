// Reads the addresses a style sheet makes a browser fetch: @import, url()
// of any property, and the source of each @font-face that a browser
// downloads. The tokens follow CSS Syntax Level 3 (comments, strings,
// escapes, url tokens); nothing else of CSS is interpreted. Input and output
// are Shift-JIS: a double-byte character is never split, and an escape
// naming a character without a Shift-JIS form gives "<U+XXXX>".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TCssRefKind : uint8_t {
    Import,  // another sheet, to be read in its turn
    Url,     // an image or other file named by a property
    Font,    // the source a browser picks for an @font-face
};

struct TCssRef {
    TCssRefKind Kind;
    std::string Url;       // as written, escapes resolved; never empty
    std::string Selector;  // Url: the selector list of its rule; empty when
                           // no element need match (@page, style attribute)
    std::string Family;    // Font: the family of its @font-face, lower case
    bool Applies = true;   // Import: its media list matches the window
};

// A font-family or font declaration of a style rule.
struct TCssFontUse {
    std::string Selector;  // as for TCssRef
    std::string Families;  // the value, lower case
};

struct TCssSheet {
    std::vector<TCssRef> Refs;
    std::vector<TCssFontUse> FontUses;
};

// The references of a sheet (or of a style attribute's declarations), in
// the order they appear. What lies in an @media block that a 1366x768
// screen does not match, or in an at-rule a browser drops, is left out:
// it never applies.
TCssSheet ReadCssSheet(std::string_view css);
inline std::vector<TCssRef> ReadCssRefs(std::string_view css) { return ReadCssSheet(css).Refs; }

// Whether a browser downloads a font of the given format() name; an
// @font-face source without format() counts as supported. Lower case.
bool IsSupportedFontFormat(std::string_view format);
