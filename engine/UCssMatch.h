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
    uint64_t ClassBits = 0;    // a bit per class word's hash, for a quick "not this class"
};

// A number for a lower-case tag name, the same for the same name in one
// thread.
uint16_t TagCode(std::string_view lowerName);

// What is read of every start tag as the page is walked: the values of
// its id, class, href, src, background and rel attributes (the first of
// each name), and whether it may have a style or srcset attribute (false
// only when it has none).
struct TTagFacts {
    std::string_view Id, Classes, Href, Src, Background, Rel;
    bool MaybeStyle = false, MaybeSrcset = false;
};
void ReadTagFacts(std::string_view tagText, TTagFacts& facts);

// What a walk over a page's markup tells its reader as it goes, so that
// the page is read once for its addresses and its elements alike.
class TMarkupVisitor {
public:
    bool WantsText = false;  // Text() is called only while this is set
    bool Stopped = false;    // set by the visitor to end the walk after the current tag
    // A run of text between tags, [from, to) in the page.
    virtual void Text(size_t from, size_t to) = 0;
    // A start tag that ends at close in the page, with its TagCode(), its
    // lower-case name, its text (in Shift-JIS) and what was read of it.
    // Returns where the walk goes on: close, or past the content of a
    // raw-text element that the visitor has read itself.
    virtual size_t StartTag(uint16_t code, std::string_view lowerName, std::string_view tag, size_t close,
                            const TTagFacts& facts) = 0;
    virtual void EndTag(std::string_view lowerName) = 0;

protected:
    ~TMarkupVisitor() = default;
};

class TPageElements {
public:
    // The elements of a page's text (Shift-JIS or any ASCII-compatible
    // bytes), found by Walk() or when first asked for. The text must stay
    // as it is until Detach(). An <html> and a <body> element are always
    // there, as a browser makes them.
    //
    // A page in UTF-8 is walked as it stands, markup being ASCII in both
    // encodings: only its tags that hold other bytes are turned into
    // Shift-JIS, and kept beside the text. Its text between tags is only
    // looked at for blanks, which the two encodings hold alike.
    explicit TPageElements(std::string_view html, bool utf8 = false) : Text(html), Utf8(utf8) {}
    ~TPageElements();
    TPageElements(const TPageElements&) = delete;
    TPageElements& operator=(const TPageElements&) = delete;
    // Keeps its own copy of the text, so that the caller may change it.
    void Detach();
    // Finds the elements now, telling the visitor of every tag on the way.
    void Walk(TMarkupVisitor& visitor) { Build(&visitor); }

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
    void Build(TMarkupVisitor* visitor = nullptr) const;
    std::string_view Text;
    bool Utf8;
    std::string Own;  // the text, once detached
    // The Shift-JIS form of a UTF-8 page's tags that were not ASCII; an
    // element's offsets past the text's end are in here.
    mutable std::string Converted;
    std::string_view Slice(uint32_t from, uint32_t len) const {
        return from < Text.size() ? Text.substr(from, len)
                                  : std::string_view(Converted).substr(from - Text.size(), len);
    }
    mutable bool Built = false;
    mutable std::vector<TPageElement> Elements;
    // The first element of each tag (by TagCode, when the page's codes are
    // few), and the elements that have a class or an id, in page order:
    // a selector is tried only on the elements that can fit its last part.
    mutable std::vector<int> FirstOfTag, WithClass, WithId;
    // By a hash of a class word, the first element (in page order) that
    // holds a word of that hash (-1: none), found as the page is walked.
    // Most classes a sheet names are on no element of a given page.
    mutable std::vector<int> ClassStart;
    // By the same hash of an id, whether an element may have it.
    mutable uint64_t IdSlots[1024 / 64] = {};
    int FirstWithClass(std::string_view name) const;
    bool MayHaveId(std::string_view name) const;
    // By the number of the parsed selector list: a page is asked about the
    // same lists as every other page, and keeps no copy of them.
    mutable std::unordered_map<uint32_t, bool> Cache[2];  // [text flag]
    // Matching steps left for the page: a page and selectors made to take
    // endless backtracking end in "matches", the answer for what cannot be
    // judged. Real pages need a small part of it.
    mutable int64_t Budget = 50000000;
};

// Of a font-family value (or a font shorthand's), the family a browser
// loads first among those the page's faces define: families are tried in
// order and a generic one ends the list. Empty when none.
std::string UsedFaceFamily(std::string_view families, const std::vector<std::string>& faces);
