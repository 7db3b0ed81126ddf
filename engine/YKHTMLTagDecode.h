// Tag scanner: cuts the Shift-JIS text of one HTML page into tokens (text
// runs, tags, comments), one per call, and picks the link attributes of the
// tags named in a table. Every byte sequence gives tokens; nothing is an
// error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The page being scanned, owned by the caller. Data need not end in NUL.
// Positions are 64-bit so that pages over 2 GiB cannot wrap.
struct TTagScanBuffer {
    const char* Data = nullptr;
    int64_t Pos = 0;  // next byte to read; never past Len on return
    int64_t Len = 0;
};

enum TTokenKind : uint8_t { tkText = 0, tkTag = 1, tkComment = 2 };

constexpr uint32_t ltLink = 1;
constexpr uint32_t ltImage = 2;
constexpr uint32_t ltEmbed = 3;
constexpr uint32_t ltMeta = 4;
// Set in LinkType for the end tag of a table entry (</A> gives 0x80000001).
constexpr uint32_t ltEndTagBit = 0x80000000u;

// The token just read. Reused for every call on one page; only LineNo and
// InXMP carry over from call to call.
struct THTMLLinkResult {
    int64_t LineNo = 1;
    uint8_t TokenKind = tkText;
    uint32_t LinkType = 0;
    bool InXMP = false;
    std::string Value1;
    std::string Value2;
    std::string TokenText;
    std::string TagName;
    // Absent unless the caller wants them: then each call empties and fills
    // them with the upper-cased names and the raw values of the tag.
    std::optional<std::vector<std::string>> AttrNames;
    std::optional<std::vector<std::string>> AttrValues;
    int64_t ValuePos = 0;  // first byte of the last picked value in Data
    int64_t ValueLen = 0;
    // Set by a caller that has no use for TokenText (then left empty), so
    // that the text of a big page is not copied token by token.
    bool SkipTokenText = false;
};

// One tag whose attributes are picked: names upper-case, AttrName2 may be
// empty.
struct TLinkTagEntry {
    std::string_view TagName;
    std::string_view AttrName1;
    std::string_view AttrName2;
    uint32_t LinkType;
};

// The tags a measurement looks at, first match wins.
constexpr int LinkTagCount = 8;
extern const TLinkTagEntry LinkTagTable[LinkTagCount];

// Prepares a token record for a new page: line 1, not in XMP, strings empty,
// attribute lists absent.
void InitLinkResult(THTMLLinkResult& Result);

// Reads one token at Buf.Pos into Result and moves Pos past it. When
// StopFlag is set the token may be cut short at a few points; the caller is
// expected to end its loop then.
void GetHTMLTag(TTagScanBuffer& Buf, THTMLLinkResult& Result, const TLinkTagEntry* Table, int TableCount,
                const bool& StopFlag);
