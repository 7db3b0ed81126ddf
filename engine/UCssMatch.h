// Whether a style rule applies to a page as it stands in its file: the
// elements of the page's markup (tags, ids, classes, attributes, parents
// and siblings) against a selector list. A browser fetches an image named
// by a rule, or a web font, only when some element uses it; this reading
// sees the page as written, before any script runs and without layout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct TPageElement {
    std::string Tag;  // lower case
    std::string Id;
    std::vector<std::string> Classes;
    uint32_t TagFrom = 0, TagLen = 0;  // its start tag in the page text
    int Parent = -1;
    int Prev = -1, Next = -1;  // the element siblings around it
    bool HasChild = false;  // an element or text inside it
    bool HasText = false;   // text other than blanks somewhere inside it
};

class TPageElements {
public:
    // The elements of a page's text (Shift-JIS or any ASCII-compatible
    // bytes). An <html> element is always there, as a browser makes one.
    explicit TPageElements(std::string_view html);

    // Whether some element matches one of the selectors. A selector that a
    // browser rejects matches nothing; a part this reading cannot judge
    // (:has(), :lang() ...) is taken as matching.
    bool AnyMatches(std::string_view selectorList) const;
    // Whether some element that matches holds text (for fonts).
    bool AnyWithTextMatches(std::string_view selectorList) const;
    bool HasText() const { return !Elements.empty() && Elements[0].HasText; }

    std::vector<TPageElement> Elements;

private:
    friend struct TSelectorMatcher;
    bool Matches(std::string_view selectorList, bool needText) const;
    std::string Text;
    std::unordered_map<std::string, std::vector<int>> ByClass, ById, ByTag;
    mutable std::unordered_map<std::string, uint8_t> Cache;  // selector list -> 1 + result (+2 with text)
};

// Of a font-family value (or a font shorthand's), the family a browser
// loads first among those the page's faces define: families are tried in
// order and a generic one ends the list. Empty when none.
std::string UsedFaceFamily(std::string_view families, const std::vector<std::string>& faces);
