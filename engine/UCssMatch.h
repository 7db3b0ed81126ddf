// Whether a style rule applies to a page as it stands in its file: the
// elements of the page's markup (tags, ids, classes, attributes, parents
// and siblings) against a selector list. A browser fetches an image named
// by a rule, or a web font, only when some element uses it; this reading
// sees the page as written, before any script runs and without layout.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct TPageElement {
    uint16_t Tag = 0;                  // TagCode() of the lower-case name
    uint32_t TagFrom = 0, TagLen = 0;  // its start tag in the page text
    uint32_t IdFrom = 0, IdLen = 0;    // the value of its id, in the text
    uint32_t ClassFrom = 0, ClassLen = 0;
    int Parent = -1;
    int Prev = -1, Next = -1;  // the element siblings around it
    bool HasChild = false;     // an element or text inside it
    bool HasText = false;      // text other than blanks somewhere inside it
    int NextOfTag = -1;        // the next element of the same tag
};

// A number for a lower-case tag name, the same for the same name in one
// thread.
uint16_t TagCode(std::string_view lowerName);

class TPageElements {
public:
    // The elements of a page's text (Shift-JIS or any ASCII-compatible
    // bytes), found when first asked for. The text must stay as it is until
    // then, or until Detach(). An <html> and a <body> element are always
    // there, as a browser makes them.
    explicit TPageElements(std::string_view html) : Text(html) {}
    ~TPageElements();
    TPageElements(const TPageElements&) = delete;
    TPageElements& operator=(const TPageElements&) = delete;
    // Keeps its own copy of the text, so that the caller may change it.
    void Detach();

    // Whether some element matches one of the selectors. A selector that a
    // browser rejects matches nothing; a part this reading cannot judge
    // (:has(), :lang() ...) is taken as matching.
    bool AnyMatches(std::string_view selectorList) const;
    // Whether some element that matches holds text (for fonts).
    bool AnyWithTextMatches(std::string_view selectorList) const;
    bool HasText() const;

private:
    friend struct TSelectorMatcher;
    bool Matches(std::string_view selectorList, bool needText) const;
    void Build() const;
    bool HasToken(std::string_view name, std::string_view attr, int tag) const;
    bool FindToken(std::string_view name, std::string_view attr, int tag) const;
    std::string_view Text;
    std::string Own;  // the text, once detached
    mutable bool Built = false;
    mutable std::vector<TPageElement> Elements;
    // The first element of each tag (by TagCode, when the page's codes are
    // few), and the elements that have a class or an id, in page order:
    // a selector is tried only on the elements that can fit its last part.
    mutable std::vector<int> FirstOfTag, WithClass, WithId;
    // By a hash of a class word, the first place in WithClass where an
    // element with a word of that hash stands (-1: none). Most classes a
    // sheet names are on no element of a given page; the page's words are
    // read once instead of once per selector.
    mutable std::vector<int> ClassStart;
    int FirstWithClass(std::string_view name) const;
    // By the number of the parsed selector list: a page is asked about the
    // same lists as every other page, and keeps no copy of them.
    mutable std::unordered_map<uint32_t, bool> Cache[2];  // [text flag]
    mutable std::unordered_map<std::string, bool> Tokens;                               // HasToken's answers
    // Matching steps left for the page: a page and selectors made to take
    // endless backtracking end in "matches", the answer for what cannot be
    // judged. Real pages need a small part of it.
    mutable int64_t Budget = 50000000;
};

// Of a font-family value (or a font shorthand's), the family a browser
// loads first among those the page's faces define: families are tried in
// order and a generic one ends the list. Empty when none.
std::string UsedFaceFamily(std::string_view families, const std::vector<std::string>& faces);
