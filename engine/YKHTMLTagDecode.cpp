#include "engine/YKHTMLTagDecode.h"

#include <array>
#include <cstring>
#include <optional>
#include <unordered_set>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

const TLinkTagEntry LinkTagTable[LinkTagCount] = {
    {"A", "HREF", "", ltLink},       {"AREA", "HREF", "", ltLink},
    {"FRAME", "SRC", "", ltLink},    {"BODY", "BACKGROUND", "", ltImage},
    {"IMG", "SRC", "", ltImage},     {"EMBED", "SRC", "", ltEmbed},
    {"BGSOUND", "SRC", "", ltEmbed}, {"META", "HTTP-EQUIV", "CONTENT", ltMeta},
};

namespace {

// Byte classes, looked up by table: the scanner tests several per byte.
enum : uint8_t { kNameStart = 1, kTagName = 2, kAttrName = 4 };

constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        uint8_t f = 0;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) f |= kNameStart | kTagName | kAttrName;
        if (c == '-' || c == '.' || (c >= '0' && c <= '9')) f |= kTagName | kAttrName;
        if (c == '_') f |= kAttrName;
        t[c] = f;
    }
    return t;
}
constexpr std::array<uint8_t, 256> kClass = MakeClasses();

inline bool IsWhite(unsigned char c) { return c <= 0x20; }
inline bool IsNameStart(unsigned char c) { return kClass[c] & kNameStart; }
inline bool IsTagNameByte(unsigned char c) { return kClass[c] & kTagName; }
inline bool IsAttrNameByte(unsigned char c) { return kClass[c] & kAttrName; }
inline unsigned char UpperAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Copies bytes into a string, reusing its capacity (append is cheaper than
// assign, which must allow for overlapping sources).
inline void SetBytes(std::string& s, const unsigned char* p, int64_t n) {
    s.clear();
    s.append(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
}

// A line ends at LF, VT, and a CR that is not directly followed by LF.
inline bool IsLineEndAt(const unsigned char* d, int64_t i, int64_t n) {
    const unsigned char c = d[i];
    if (c > 0x0D) return false;
    return c == 0x0A || c == 0x0B || (c == 0x0D && (i + 1 >= n || d[i + 1] != 0x0A));
}

#if defined(__SSE2__)
// Bit i set when byte i of the 16 at p is 0x0D or below (a possible line end).
inline unsigned ControlMask(const unsigned char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x0D)), v)));
}
#endif

// Line ends among the bytes [from, to) of d[0, n).
inline int64_t CountLineEnds(const unsigned char* d, int64_t from, int64_t to, int64_t n) {
    int64_t count = 0;
    int64_t i = from;
#if defined(__SSE2__)
    for (; i + 16 <= to; i += 16) {
        for (unsigned m = ControlMask(d + i); m; m &= m - 1) count += IsLineEndAt(d, i + __builtin_ctz(m), n);
    }
#endif
    for (; i < to; ++i) count += IsLineEndAt(d, i, n);
    return count;
}

// Index of the first '<' at or after `from` (or n), adding the line ends
// passed on the way to `lines`: the text run, in one pass.
inline int64_t TextRunEnd(const unsigned char* d, int64_t from, int64_t n, int64_t& lines) {
    int64_t i = from;
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<');
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const unsigned ltMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lt)));
        unsigned ctl =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x0D)), v)));
        if (ltMask) {
            const int k = __builtin_ctz(ltMask);
            ctl &= (1u << k) - 1;
            for (; ctl; ctl &= ctl - 1) lines += IsLineEndAt(d, i + __builtin_ctz(ctl), n);
            return i + k;
        }
        for (; ctl; ctl &= ctl - 1) lines += IsLineEndAt(d, i + __builtin_ctz(ctl), n);
    }
#endif
    for (; i < n && d[i] != '<'; ++i) lines += IsLineEndAt(d, i, n);
    return i;
}

// Byte comparison inline: names are a few bytes, a library call costs more.
inline bool SameBytes(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Case-insensitive test of raw name bytes (ASCII only) against an
// upper-case name.
inline bool EqualsUpper(const unsigned char* s, int64_t len, std::string_view upper) {
    if (upper.empty() || static_cast<size_t>(len) != upper.size()) return false;
    for (int64_t i = 0; i < len; ++i)
        if (UpperAscii(s[i]) != static_cast<unsigned char>(upper[i])) return false;
    return true;
}

// One pass over the bytes of a token, with the line count of everything
// moved past. Bytes at or after n are absent.
class Scanner {
public:
    Scanner(const unsigned char* d, int64_t n, int64_t p, THTMLLinkResult& r, const TLinkTagEntry* table,
            int tableCount, bool stop)
        : d_(d), n_(n), p_(p), r_(r), table_(table), tableCount_(tableCount), stop_(stop) {}

    void Run();
    int64_t Pos() const { return p_; }
    int64_t Lines() const { return lines_; }

private:
    void Step() {
        lines_ += IsLineEndAt(d_, p_, n_);
        ++p_;
    }
    // Moves to `to`, counting the line ends passed on the way.
    void MoveTo(int64_t to) {
        lines_ += CountLineEnds(d_, p_, to, n_);
        p_ = to;
    }
    // Index of the next byte c at or after `from`, or n.
    int64_t Find(unsigned char c, int64_t from) const {
        const void* f = from < n_ ? std::memchr(d_ + from, c, static_cast<size_t>(n_ - from)) : nullptr;
        return f ? static_cast<const unsigned char*>(f) - d_ : n_;
    }
    bool At(int64_t i, unsigned char c) const { return i < n_ && d_[i] == c; }
    void SkipWhite() {
        while (p_ < n_ && IsWhite(d_[p_])) Step();
    }

    void Xmp();
    void Text();
    void StartTag();
    void EndTag();
    void CommentOrDeclaration();
    bool RepeatsName(int64_t from, int64_t len);
    void AddValue(int64_t from, int64_t len);

    const unsigned char* d_;
    const int64_t n_;
    int64_t p_;
    int64_t lines_ = 0;
    THTMLLinkResult& r_;
    const TLinkTagEntry* table_;
    const int tableCount_;
    const bool stop_;
    // Upper-cased names of this tag's attributes so far; kept only while
    // stopping. Hashed, so a tag with a huge number of attributes stays linear.
    std::optional<std::unordered_set<std::string>> names_;
};

void Scanner::Run() {
    if (r_.InXMP) return Xmp();
    if (p_ >= n_ || d_[p_] != '<') return Text();
    ++p_;  // '<'
    if (p_ >= n_) return;
    const unsigned char c = d_[p_];
    if (IsNameStart(c)) return StartTag();
    if (c == '/') return EndTag();
    if (c == '!') return CommentOrDeclaration();
    // Any other byte: the '<' alone is text.
}

void Scanner::Xmp() {
    int64_t q = p_;
    for (;;) {
        q = Find('<', q);
        if (q + 5 > n_) {
            q = n_;
            break;
        }
        if (d_[q + 1] == '/' && UpperAscii(d_[q + 2]) == 'X' && UpperAscii(d_[q + 3]) == 'M' &&
            UpperAscii(d_[q + 4]) == 'P' && q + 5 < n_ && (d_[q + 5] == '>' || IsWhite(d_[q + 5])))
            break;
        ++q;
    }
    MoveTo(q);
    r_.InXMP = false;
}

void Scanner::Text() {
    if (!stop_) {
        p_ = TextRunEnd(d_, p_, n_, lines_);
        return;
    }
    // Stopping: the text also ends before a '>'.
    int64_t q = Find('<', p_);
    if (q > p_) {
        const void* g = std::memchr(d_ + p_, '>', static_cast<size_t>(q - p_));
        if (g) q = static_cast<const unsigned char*>(g) - d_;
    }
    MoveTo(q);
}

bool Scanner::RepeatsName(int64_t from, int64_t len) {
    std::string name(reinterpret_cast<const char*>(d_ + from), static_cast<size_t>(len));
    for (char& ch : name) ch = static_cast<char>(UpperAscii(static_cast<unsigned char>(ch)));
    if (!names_) names_.emplace();
    return !names_->insert(std::move(name)).second;
}

void Scanner::AddValue(int64_t from, int64_t len) {
    if (r_.AttrValues) r_.AttrValues->emplace_back(reinterpret_cast<const char*>(d_ + from), static_cast<size_t>(len));
}

void Scanner::StartTag() {
    r_.TokenKind = tkTag;
    const int64_t nameFrom = p_;
    ++p_;
    while (p_ < n_ && IsTagNameByte(d_[p_])) ++p_;
    if (p_ >= n_) return;
    SetBytes(r_.TagName, d_ + nameFrom, p_ - nameFrom);
    for (char& ch : r_.TagName) ch = static_cast<char>(UpperAscii(static_cast<unsigned char>(ch)));
    const std::string_view tagName(r_.TagName);
    if (tagName == "XMP") r_.InXMP = true;
    const TLinkTagEntry* entry = nullptr;
    for (int i = 0; i < tableCount_; ++i) {
        if (SameBytes(table_[i].TagName, tagName)) {
            entry = &table_[i];
            r_.LinkType = entry->LinkType;
            break;
        }
    }

    for (;;) {
        SkipWhite();
        if (p_ >= n_) return;
        if (d_[p_] == '>') {
            ++p_;
            return;
        }
        if (d_[p_] == '<') return;
        // Bytes that cannot start a name are passed over.
        while (!IsNameStart(d_[p_])) {
            if (d_[p_] == '>') {
                ++p_;
                return;
            }
            Step();
            if (stop_ || p_ >= n_) return;
        }

        const int64_t attrFrom = p_;
        ++p_;
        while (p_ < n_ && IsAttrNameByte(d_[p_])) ++p_;
        if (p_ >= n_) return;
        const int64_t attrLen = p_ - attrFrom;
        if (stop_ && RepeatsName(attrFrom, attrLen)) return;
        if (r_.AttrNames) {
            std::string& name =
                r_.AttrNames->emplace_back(reinterpret_cast<const char*>(d_ + attrFrom), static_cast<size_t>(attrLen));
            for (char& ch : name) ch = static_cast<char>(UpperAscii(static_cast<unsigned char>(ch)));
        }
        const bool pick1 = entry && EqualsUpper(d_ + attrFrom, attrLen, entry->AttrName1);
        const bool pick2 = entry && EqualsUpper(d_ + attrFrom, attrLen, entry->AttrName2);

        SkipWhite();
        if (p_ >= n_) {
            AddValue(p_, 0);
            return;
        }
        if (d_[p_] != '=') {
            AddValue(p_, 0);
            continue;
        }
        ++p_;
        SkipWhite();
        if (p_ >= n_) {
            AddValue(p_, 0);
            return;
        }
        int64_t valueFrom, valueLen;
        const unsigned char c = d_[p_];
        if (c == '"' || c == '\'') {
            ++p_;
            valueFrom = p_;
            const int64_t close = Find(c, p_);
            MoveTo(close);  // line ends inside quotes belong to the value
            valueLen = close - valueFrom;
            if (p_ < n_) ++p_;
        } else if (c == '>') {
            ++p_;
            AddValue(p_, 0);
            return;
        } else {
            valueFrom = p_;
            while (p_ < n_ && !IsWhite(d_[p_]) && d_[p_] != '>') ++p_;
            valueLen = p_ - valueFrom;
        }
        if (pick1 || pick2) {
            r_.ValuePos = valueFrom;
            r_.ValueLen = valueLen;
            if (pick1) SetBytes(r_.Value1, d_ + valueFrom, valueLen);
            if (pick2) SetBytes(r_.Value2, d_ + valueFrom, valueLen);
        }
        AddValue(valueFrom, valueLen);
    }
}

void Scanner::EndTag() {
    r_.TokenKind = tkTag;
    const int64_t from = p_;
    const int64_t gt = Find('>', p_);
    MoveTo(gt);
    SetBytes(r_.TagName, d_ + from, gt - from);
    // ASCII letters only; the trail byte of a double-byte character is
    // never a letter.
    for (size_t i = 0; i < r_.TagName.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(r_.TagName[i]);
        if (IsLeadByte(c)) ++i;
        else r_.TagName[i] = static_cast<char>(UpperAscii(c));
    }
    if (p_ < n_) ++p_;
    const std::string_view name(r_.TagName);
    for (int i = 0; i < tableCount_; ++i) {
        if (name.size() == table_[i].TagName.size() + 1 && SameBytes(name.substr(1), table_[i].TagName)) {
            r_.LinkType = table_[i].LinkType | ltEndTagBit;
            break;
        }
    }
}

void Scanner::CommentOrDeclaration() {
    ++p_;  // '!'
    if (At(p_, '>')) {
        r_.TokenKind = tkComment;
        ++p_;
        return;
    }
    if (!At(p_, '-')) {
        // A declaration such as a document type: runs to the next '>'.
        r_.TokenKind = tkTag;
        MoveTo(Find('>', p_));
        if (p_ < n_) ++p_;
        return;
    }
    r_.TokenKind = tkComment;
    ++p_;  // first '-'
    if (p_ >= n_) return;
    if (d_[p_] == '>') {
        ++p_;  // <!->
        return;
    }
    const bool secondDash = d_[p_] == '-';
    Step();
    if (stop_ && !secondDash) return;
    // The body closes at a '>' that is its first byte, or follows "-" or
    // "-!". The look-back may reach the two bytes before the body: they are
    // part of this token.
    const int64_t body = p_;
    int64_t q = p_;
    for (;;) {
        q = Find('>', q);
        if (q >= n_) break;
        if (q == body || d_[q - 1] == '-' || (d_[q - 1] == '!' && d_[q - 2] == '-')) {
            MoveTo(q);
            if (!stop_) ++p_;
            return;
        }
        ++q;
    }
    MoveTo(n_);
}

}  // namespace

void InitLinkResult(THTMLLinkResult& Result) {
    Result.LineNo = 1;
    Result.TokenKind = tkText;
    Result.LinkType = 0;
    Result.InXMP = false;
    Result.Value1.clear();
    Result.Value2.clear();
    Result.TokenText.clear();
    Result.TagName.clear();
    Result.AttrNames.reset();
    Result.AttrValues.reset();
    Result.ValuePos = 0;
    Result.ValueLen = 0;
}

void GetHTMLTag(TTagScanBuffer& Buf, THTMLLinkResult& Result, const TLinkTagEntry* Table, int TableCount,
                const bool& StopFlag) {
    Result.Value1.clear();
    Result.Value2.clear();
    Result.TagName.clear();
    Result.TokenKind = tkText;
    Result.LinkType = 0;
    Result.ValuePos = 0;
    Result.ValueLen = 0;
    if (Result.AttrNames) Result.AttrNames->clear();
    if (Result.AttrValues) Result.AttrValues->clear();

    const int64_t len = Buf.Len > 0 && Buf.Data ? Buf.Len : 0;
    const int64_t start = Buf.Pos < 0 ? 0 : (Buf.Pos > len ? len : Buf.Pos);
    const auto* data = reinterpret_cast<const unsigned char*>(Buf.Data);
    // The flag is read once: nothing can set it while this call runs.
    Scanner scan(data, len, start, Result, Table, Table ? TableCount : 0, StopFlag);
    scan.Run();

    Buf.Pos = scan.Pos();
    Result.LineNo += scan.Lines();
    Result.TokenText.clear();
    if (Buf.Pos > start && !Result.SkipTokenText)
        Result.TokenText.append(Buf.Data + start, static_cast<size_t>(Buf.Pos - start));
}
