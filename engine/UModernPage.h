// The modern reading of a page: what a current browser at device pixel
// ratio 1 with a 1366x768 window fetches when it loads the page and is
// scrolled to its end. These are the pure steps: which addresses one tag
// names and of what kind, the srcset choice, and how an attribute value
// becomes a path. The measurement run weighs what they find.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/UCssMatch.h"
#include "engine/UHTMLList.h"

// What the run does with an address a tag names.
enum class TModernUse : uint8_t {
    Part,       // a file the page loads
    Sheet,      // a style sheet: a part, and its own addresses are read
    Frame,      // a page shown inside this one: a part and a page of its own
    Link,       // a page the user can go to (followed like a classic link)
    StyleText,  // CSS written in the page (<style>, style=""): Value is the CSS
    Base,       // <base href>: later addresses resolve against it
};

struct TModernRef {
    TModernUse Use;
    uint8_t Kind;       // TPartKind of the part
    std::string Value;  // the attribute value as written (or the CSS)
    // Sheet, StyleText: the media attribute matches the window, so that the
    // rules apply (a browser fetches the sheet and its imports either way).
    bool Applies = true;
};

// State of one page that carries from tag to tag.
struct TModernPageState {
    bool InPicture = false;
    bool PictureChosen = false;  // a <source> of the current <picture> won
    std::string PictureUrl;
    int MediaDepth = 0;        // inside <video>/<audio> that loads its source
    bool MediaChosen = false;  // that element has its source
    bool BaseSeen = false;     // only the first <base href> counts
    bool Utf8 = false;         // the page's text is UTF-8 (its tags come in Shift-JIS)
};

// One attribute of a tag as written: the name in upper case, the value raw.
struct TTagAttr {
    std::string Name;
    std::string Value;
};
// The attributes of a start tag's text ("<img src=a.gif alt='x'>").
std::vector<TTagAttr> ParseTagAttributes(std::string_view tagText);

// The addresses of one start tag (TagName upper-case, Facts read from its
// text). For an element whose
// content a browser does not parse as markup (SCRIPT, STYLE, NOSCRIPT with
// scripting on, TEMPLATE, TEXTAREA), Pos moves past its end tag; a STYLE
// element's content is given as StyleText.
void ModernTagRefs(const std::string& tagName, std::string_view tagText, const TTagFacts& facts, const char* data,
                   int64_t& pos, int64_t len, TModernPageState& st, std::vector<TModernRef>& out);
// Empties a list that ModernTagRefs filled, keeping its values' memory for
// the next tags.
void ClearModernRefs(std::vector<TModernRef>& refs);
// Whether ModernTagRefs reads a tag of this (upper-case) name for more than
// its style attribute.
bool ModernTagNamed(std::string_view upperName);
// An end tag (name without "/", upper-case) that closes a state.
void ModernEndTag(std::string_view tagName, TModernPageState& st);

// The srcset candidate such a browser picks, with the src as the 1x
// candidate where the rules allow it; empty when there is none.
std::string PickSrcset(std::string_view srcset, std::string_view sizes, std::string_view src);

// Whether a media query list matches a 1366x768 screen (unknown features
// and syntax do not match; an empty list matches).
bool MediaMatches(std::string_view media);

// An address as written in a page or sheet turned into a path to look up:
// character references decoded, surrounding blanks and tabs/line ends
// removed, the query and fragment cut, percent escapes decoded as UTF-8.
// False when the name holds a character Shift-JIS cannot hold; Path then
// shows it as "<U+XXXX>".
bool ModernRefToPath(std::string_view value, bool decodeCharRefs, std::string& path);

// Page text with its character references decoded (titles).
std::string DecodeModernText(std::string_view text);

// The kind a file of this name most likely is, for addresses whose element
// does not say (OBJECT, EMBED): by extension.
uint8_t KindByExtension(std::string_view path);

