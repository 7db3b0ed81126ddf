#include "engine/UCssMatch.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/UByteScan.h"
#include "engine/UModernPage.h"
#include "platform/Encoding.h"

namespace {

bool IsWs(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
char Low(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool IsNameChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c >= 0x80;
}
// Class words are hashed alike on the page and in selectors; the hash
// picks a slot of a page's table of words and a bit of each element's
// mask of its words. A cheap step per byte: every class word of the page
// goes through it.
constexpr size_t kClassSlots = 1024;
size_t ClassHashStep(size_t h, char c) { return h * 33 + static_cast<unsigned char>(c); }
size_t ClassHash(std::string_view word) {
    size_t h = 5381;
    for (char c : word) h = ClassHashStep(h, c);
    return h;
}
size_t ClassSlotOf(size_t h) { return (h ^ (h >> 10) ^ (h >> 20)) & (kClassSlots - 1); }
uint64_t ClassBitOf(size_t h) { return uint64_t{1} << ((h * 0x9E3779B97F4A7C15ull) >> 58); }

// The bytes of a tag name: IsNameChar's and ":", looked up in a table.
bool IsTagNameByte(char c) {
    static constexpr auto kTable = [] {
        std::array<bool, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[static_cast<size_t>(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                        c == '-' || c == '_' || c == ':' || c >= 0x80;
        return t;
    }();
    return kTable[static_cast<unsigned char>(c)];
}
std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = Low(c);
    return r;
}
bool SameLower(std::string_view a, std::string_view lower) {
    if (a.size() != lower.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Low(a[i]) != lower[i]) return false;
    return true;
}

bool OneOf(std::string_view s, std::initializer_list<std::string_view> list) {
    for (std::string_view x : list)
        if (s == x) return true;
    return false;
}

// What the tree building needs to know of a tag, looked up once per tag.
enum : uint8_t {
    fVoid = 1,     // no content
    fRaw = 2,      // content that is no markup
    fClosesP = 4,  // ends an open <p>
    fHead = 8,     // belongs in the head while the body is empty
    fTable = 16,   // a row, cell or row group: ends open cells (and rows)
    fList = 32,    // li, dt, dd, option: ends an open one of its kind
};
struct TNameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const {
        size_t h = 1469598103934665603ull;
        for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        return h;
    }
};

struct TTagTable {
    std::unordered_map<std::string, uint16_t, TNameHash, std::equal_to<>> Codes;
    std::vector<std::string> Names;
    std::vector<uint8_t> Flags;
};

TTagTable& Tags() {
    thread_local TTagTable table = [] {
        TTagTable t;
        std::unordered_map<std::string_view, uint8_t> m;
        for (const char* v : {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
                              "track", "wbr", "param", "keygen", "basefont", "bgsound", "frame"})
            m[v] |= fVoid;
        for (const char* v :
             {"script", "style", "textarea", "title", "xmp", "noscript", "template", "iframe", "noembed", "noframes"})
            m[v] |= fRaw;
        for (const char* v :
             {"address", "article", "aside",   "blockquote", "div", "dl",     "fieldset", "footer", "form", "h1",
              "h2",      "h3",      "h4",      "h5",         "h6",  "header", "hr",       "main",   "nav",  "ol",
              "p",       "pre",     "section", "table",      "ul",  "figure", "details",  "menu"})
            m[v] |= fClosesP;
        for (const char* v : {"head", "title", "meta", "link", "style", "script", "base", "noscript"}) m[v] |= fHead;
        for (const char* v : {"tr", "td", "th", "tbody", "thead", "tfoot"}) m[v] |= fTable;
        for (const char* v : {"li", "dt", "dd", "option"}) m[v] |= fList;
        m["html"];
        m["body"];
        for (const auto& [name, flags] : m) {
            t.Codes.emplace(std::string(name), static_cast<uint16_t>(t.Names.size()));
            t.Names.emplace_back(name);
            t.Flags.push_back(flags);
        }
        return t;
    }();
    return table;
}

uint8_t TagFlags(uint16_t code) {
    const TTagTable& t = Tags();
    return code < t.Flags.size() ? t.Flags[code] : 0;
}
std::string_view TagName(uint16_t code) {
    const TTagTable& t = Tags();
    return code < t.Names.size() ? std::string_view(t.Names[code]) : std::string_view();
}

// The codes of the names the tree building tells apart, all in the table
// from its start (so none is the shared code of names past its room).
struct TBuildCodes {
    uint16_t Html, Body, P, Dt, Dd, Td, Th, Tr, Tbody, Thead, Tfoot, Div, Textarea, Iframe;
};
const TBuildCodes& BuildCodes() {
    thread_local const TBuildCodes codes = [] {
        const TTagTable& t = Tags();
        auto at = [&](std::string_view name) { return t.Codes.find(name)->second; };
        return TBuildCodes{at("html"), at("body"),  at("p"),     at("dt"),    at("dd"),  at("td"),       at("th"),
                           at("tr"),   at("tbody"), at("thead"), at("tfoot"), at("div"), at("textarea"), at("iframe")};
    }();
    return codes;
}

// --- Selectors ---------------------------------------------------------------

struct TComplex;

struct TSimple {
    enum TKind : uint8_t {
        Id,
        Class,
        Attr,
        Never,
        Unknown,
        FirstChild,
        LastChild,
        OnlyChild,
        Nth,
        NthLast,
        FirstOfType,
        LastOfType,
        OnlyOfType,
        NthOfType,
        NthLastOfType,
        Root,
        Empty,
        Link,
        Enabled,
        Disabled,
        Checked,
        Not,
        Is
    } Kind;
    std::string Name, Value;  // Attr: upper-case name, lower-case value; Id/Class: as written
    char Op = 0;              // Attr: 0 (present), '=', '~', '|', '^', '$', '*'
    int A = 0, B = 0;         // an+b
    std::vector<TComplex> Inner;
    uint64_t Bit = 0;  // Class: its ClassBitOf, which an element holding it has in its mask
};

struct TCompound {
    int Tag = -1;  // TagCode(); -1 for any
    std::vector<TSimple> Simples;
    char Comb = 0;  // how it relates to the compound before it: ' ', '>', '+', '~'
};

struct TComplex {
    std::vector<TCompound> Parts;
};

class TSelectorParser {
public:
    explicit TSelectorParser(std::string_view s) : s_(s) {}

    // False for a list a browser rejects.
    bool List(std::vector<TComplex>& out, char end) {
        for (;;) {
            TComplex c;
            if (!Complex(c, end)) return false;
            out.push_back(std::move(c));
            Blanks();
            if (p_ < s_.size() && s_[p_] == ',') {
                ++p_;
                continue;
            }
            return p_ >= s_.size() ? end == 0 : s_[p_] == end;
        }
    }

private:
    void Blanks() {
        while (p_ < s_.size() && IsWs(static_cast<unsigned char>(s_[p_]))) ++p_;
    }

    bool Complex(TComplex& c, char end) {
        Blanks();
        char comb = 0;
        for (;;) {
            if (p_ < s_.size() && (s_[p_] == '>' || s_[p_] == '+' || s_[p_] == '~')) {
                if (c.Parts.empty()) return false;
                comb = s_[p_++];
                Blanks();
            }
            TCompound part;
            if (!Compound(part)) return false;
            part.Comb = c.Parts.empty() ? 0 : (comb ? comb : ' ');
            c.Parts.push_back(std::move(part));
            comb = 0;
            const size_t before = p_;
            Blanks();
            if (p_ >= s_.size() || s_[p_] == ',' || s_[p_] == end) return true;
            if (p_ == before && s_[p_] != '>' && s_[p_] != '+' && s_[p_] != '~') return false;
        }
    }

    std::string Ident() {
        std::string r;
        while (p_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[p_]);
            if (c == '\\' && p_ + 1 < s_.size()) {
                ++p_;
                unsigned v = 0;
                int n = 0;
                while (n < 6 && p_ < s_.size() && std::strchr("0123456789abcdefABCDEF", s_[p_]) && s_[p_]) {
                    const char h = s_[p_++];
                    v = v * 16 + static_cast<unsigned>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                    ++n;
                }
                if (n > 0) {
                    if (p_ < s_.size() && IsWs(static_cast<unsigned char>(s_[p_]))) ++p_;
                    r += v < 0x80 ? static_cast<char>(v) : '?';
                } else {
                    r += s_[p_++];
                }
            } else if (IsNameChar(c)) {
                r += static_cast<char>(c);
                ++p_;
            } else {
                break;
            }
        }
        return r;
    }

    // The text up to the ")" that closes what p_ is in; p_ moves past it.
    bool Args(std::string_view& args) {
        int depth = 0;
        const size_t from = p_;
        char quote = 0;
        for (; p_ < s_.size(); ++p_) {
            const char c = s_[p_];
            if (quote) {
                if (c == '\\') ++p_;
                else if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && depth-- == 0) {
                args = s_.substr(from, p_ - from);
                ++p_;
                return true;
            }
        }
        return false;
    }

    static bool ParseNth(std::string_view a, int& A, int& B) {
        std::string t;
        for (char c : a)
            if (!IsWs(static_cast<unsigned char>(c))) t += Low(c);
        if (t.find("of") != std::string::npos) return false;
        if (t == "odd") {
            A = 2;
            B = 1;
            return true;
        }
        if (t == "even") {
            A = 2;
            B = 0;
            return true;
        }
        const size_t n = t.find('n');
        char* end = nullptr;
        if (n == std::string::npos) {
            A = 0;
            B = static_cast<int>(std::strtol(t.c_str(), &end, 10));
            return !t.empty() && *end == 0;
        }
        const std::string a1 = t.substr(0, n);
        if (a1.empty() || a1 == "+") A = 1;
        else if (a1 == "-") A = -1;
        else {
            A = static_cast<int>(std::strtol(a1.c_str(), &end, 10));
            if (*end) return false;
        }
        const std::string b1 = t.substr(n + 1);
        if (b1.empty()) {
            B = 0;
            return true;
        }
        B = static_cast<int>(std::strtol(b1.c_str(), &end, 10));
        return *end == 0;
    }

    bool Pseudo(TCompound& part) {
        bool element = false;
        if (p_ < s_.size() && s_[p_] == ':') {
            element = true;
            ++p_;
        }
        const std::string name = Lower(Ident());
        if (name.empty()) return false;
        std::string_view args;
        const bool fn = p_ < s_.size() && s_[p_] == '(';
        if (fn) {
            ++p_;
            if (!Args(args)) return false;
        }
        // Another engine's prefix: a browser drops the whole rule.
        if (name.rfind("-moz-", 0) == 0 || name.rfind("-ms-", 0) == 0 || name.rfind("-o-", 0) == 0) return false;
        TSimple s{TSimple::Unknown, {}, {}, 0, 0, 0, {}, 0};
        // Pseudo-elements that exist whenever their element does.
        if (OneOf(name,
                  {"before", "after", "first-line", "first-letter", "marker", "placeholder", "file-selector-button"})) {
            return true;
        }
        if (element) {
            // Drawn only on a user's action or in states a page does not load in.
            if (OneOf(name, {"selection", "backdrop", "target-text", "spelling-error", "grammar-error", "highlight",
                             "slotted", "part", "cue", "cue-region"}))
                s.Kind = TSimple::Never;
            part.Simples.push_back(std::move(s));  // -webkit-scrollbar and the like: judged matching
            return true;
        }
        if (!fn) {
            if (OneOf(name, {"hover",
                             "active",
                             "focus",
                             "focus-within",
                             "focus-visible",
                             "visited",
                             "target",
                             "target-within",
                             "indeterminate",
                             "fullscreen",
                             "-webkit-full-screen",
                             "modal",
                             "picture-in-picture",
                             "playing",
                             "paused",
                             "autofill",
                             "-webkit-autofill",
                             "popover-open",
                             "user-invalid",
                             "user-valid",
                             "current",
                             "past",
                             "future",
                             "open",
                             "seeking",
                             "stalled",
                             "buffering",
                             "muted",
                             "volume-locked"}))
                s.Kind = TSimple::Never;
            else if (name == "first-child") s.Kind = TSimple::FirstChild;
            else if (name == "last-child") s.Kind = TSimple::LastChild;
            else if (name == "only-child") s.Kind = TSimple::OnlyChild;
            else if (name == "first-of-type") s.Kind = TSimple::FirstOfType;
            else if (name == "last-of-type") s.Kind = TSimple::LastOfType;
            else if (name == "only-of-type") s.Kind = TSimple::OnlyOfType;
            else if (name == "root") s.Kind = TSimple::Root;
            else if (name == "empty") s.Kind = TSimple::Empty;
            else if (OneOf(name, {"link", "any-link", "-webkit-any-link"})) s.Kind = TSimple::Link;
            else if (name == "enabled") s.Kind = TSimple::Enabled;
            else if (name == "disabled") s.Kind = TSimple::Disabled;
            else if (name == "checked") s.Kind = TSimple::Checked;
            else if (OneOf(name, {"before", "after"})) return true;
        } else if (OneOf(name, {"not", "is", "where", "matches", "-webkit-any"})) {
            s.Kind = name == "not" ? TSimple::Not : TSimple::Is;
            TSelectorParser inner(args);
            // is() and where() forgive a bad inner selector; not() does not.
            if (!inner.List(s.Inner, 0)) {
                if (name == "not") return false;
                s.Kind = TSimple::Unknown;
                s.Inner.clear();
            }
        } else if (OneOf(name, {"nth-child", "nth-last-child", "nth-of-type", "nth-last-of-type"})) {
            if (ParseNth(args, s.A, s.B)) {
                s.Kind = name == "nth-child"        ? TSimple::Nth
                         : name == "nth-last-child" ? TSimple::NthLast
                         : name == "nth-of-type"    ? TSimple::NthOfType
                                                    : TSimple::NthLastOfType;
            }
        }
        // :has(), :lang(), :dir() and what this reading does not know: matching.
        part.Simples.push_back(std::move(s));
        return true;
    }

    bool Attribute(TCompound& part) {
        Blanks();
        TSimple s{TSimple::Attr, {}, {}, 0, 0, 0, {}, 0};
        s.Name = Ident();
        if (p_ < s_.size() && s_[p_] == '|' && (p_ + 1 >= s_.size() || s_[p_ + 1] != '=')) {
            ++p_;  // a namespace prefix
            s.Name = Ident();
        }
        for (char& c : s.Name) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        if (s.Name.empty()) return false;
        Blanks();
        if (p_ < s_.size() && s_[p_] != ']') {
            if (s_[p_] == '=') {
                s.Op = '=';
                ++p_;
            } else if (p_ + 1 < s_.size() && s_[p_ + 1] == '=' && std::strchr("~|^$*", s_[p_])) {
                s.Op = s_[p_];
                p_ += 2;
            } else {
                return false;
            }
            Blanks();
            if (p_ < s_.size() && (s_[p_] == '"' || s_[p_] == '\'')) {
                const char q = s_[p_++];
                const size_t end = s_.find(q, p_);
                if (end == std::string_view::npos) return false;
                s.Value.assign(s_.substr(p_, end - p_));
                p_ = end + 1;
            } else {
                s.Value = Ident();
                if (s.Value.empty()) return false;
            }
            s.Value = Lower(s.Value);
            Blanks();
            if (p_ < s_.size() && (s_[p_] == 'i' || s_[p_] == 'I' || s_[p_] == 's' || s_[p_] == 'S')) ++p_;
            Blanks();
        }
        if (p_ >= s_.size() || s_[p_] != ']') return false;
        ++p_;
        part.Simples.push_back(std::move(s));
        return true;
    }

    bool Compound(TCompound& part) {
        bool any = false;
        if (p_ < s_.size() && s_[p_] == '*') {
            ++p_;
            any = true;
        } else if (p_ < s_.size() && IsNameChar(static_cast<unsigned char>(s_[p_])) &&
                   !(s_[p_] >= '0' && s_[p_] <= '9')) {
            part.Tag = TagCode(Lower(Ident()));
            any = true;
        }
        if (p_ < s_.size() && s_[p_] == '|') {  // ns|tag
            ++p_;
            part.Tag = -1;
            if (p_ < s_.size() && s_[p_] == '*') ++p_;
            else part.Tag = TagCode(Lower(Ident()));
        }
        while (p_ < s_.size()) {
            const char c = s_[p_];
            if (c == '#' || c == '.') {
                ++p_;
                TSimple s{c == '#' ? TSimple::Id : TSimple::Class, Ident(), {}, 0, 0, 0, {}, 0};
                if (s.Kind == TSimple::Class) s.Bit = ClassBitOf(ClassHash(s.Name));
                if (s.Name.empty()) return false;
                part.Simples.push_back(std::move(s));
            } else if (c == '[') {
                ++p_;
                if (!Attribute(part)) return false;
            } else if (c == ':') {
                ++p_;
                if (!Pseudo(part)) return false;
            } else if (c == '&') {
                ++p_;  // a nested rule's parent: judged matching
            } else {
                break;
            }
            any = true;
        }
        return any;
    }

    std::string_view s_;
    size_t p_ = 0;
};

std::string StripComments(std::string_view s) {
    std::string r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            const size_t end = s.find("*/", i + 2);
            if (end == std::string_view::npos) break;
            i = end + 1;
            r += ' ';
            continue;
        }
        r += s[i];
    }
    return r;
}

bool HasWord(std::string_view list, std::string_view word, char sep) {
    // Called for every element a class selector is tried on: one pass over
    // the bytes, no search for a set of separators.
    const size_t n = list.size();
    size_t i = 0;
    while (i <= n) {
        size_t j = i;
        if (sep == ' ')
            while (j < n && !IsWs(static_cast<unsigned char>(list[j]))) ++j;
        else
            while (j < n && list[j] != sep) ++j;
        if (j - i == word.size() && list.compare(i, j - i, word) == 0) return true;
        i = j + 1;
    }
    return false;
}

// The first place from k on of a ">" or a quote, or n.
size_t TagStopFrom(const char* d, size_t k, size_t n) {
#if defined(__SSE2__)
    const __m128i gt = _mm_set1_epi8('>'), q2 = _mm_set1_epi8('"'), q1 = _mm_set1_epi8('\'');
    for (; k + 16 <= n; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k));
        const __m128i hit =
            _mm_or_si128(_mm_cmpeq_epi8(v, gt), _mm_or_si128(_mm_cmpeq_epi8(v, q2), _mm_cmpeq_epi8(v, q1)));
        if (const auto m = static_cast<unsigned>(_mm_movemask_epi8(hit)))
            return k + static_cast<size_t>(__builtin_ctz(m));
    }
#endif
    while (k < n && d[k] != '>' && d[k] != '"' && d[k] != '\'') ++k;
    return k;
}

// A tag's name from p[from], lower-cased into lower (32 bytes: a longer
// name is cut, which only makes it unknown) and keyed for TagCode as it is
// read.
struct TTagName {
    size_t End, Len;
    uint64_t Key;
};
inline TTagName ReadTagName(const char* p, size_t from, size_t limit, char* lower) {
    size_t to = from;
    while (to < limit && IsTagNameByte(p[to])) ++to;
    const size_t len = std::min<size_t>(to - from, 32);
    uint64_t key = 0;
    if (len <= 8 && from + 8 <= limit) {
        // Eight bytes at once: the name's kept, its capitals made small.
        std::memcpy(&key, p + from, 8);
        if (len < 8) key &= (uint64_t{1} << (8 * len)) - 1;
        const uint64_t seven = key & 0x7F7F7F7F7F7F7F7Full;
        const uint64_t upper =
            ~key & 0x8080808080808080ull & ((seven + 0x3F3F3F3F3F3F3F3Full) ^ (seven + 0x2525252525252525ull));
        key |= upper >> 2;
        std::memcpy(lower, &key, 8);
    } else {
        for (size_t c = 0; c < len; ++c) {
            lower[c] = Low(p[from + c]);
            if (c < 8) key |= uint64_t{static_cast<unsigned char>(lower[c])} << (8 * c);
        }
    }
    return {to, len, key};
}

// TagCode without its cache of short names.
uint16_t TagCodeSlow(std::string_view lowerName);

// Short names, nearly all of them, are found in a small direct table
// first: one per tag of every page. The key holds the name's bytes.
uint16_t TagCodeOfKey(uint64_t key, std::string_view lowerName) {
    struct TSlot {
        uint64_t Key;
        uint16_t Code;
    };
    thread_local TSlot recent[512] = {};
    if (lowerName.empty()) return TagCodeSlow(lowerName);
    const auto slot = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 55);
    if (recent[slot].Key == key) return recent[slot].Code;
    const uint16_t code = TagCodeSlow(lowerName);
    recent[slot] = {key, code};
    return code;
}

}  // namespace

uint16_t TagCode(std::string_view lowerName) {
    if (lowerName.size() > 8) return TagCodeSlow(lowerName);
    // Byte by byte: a copy of a length known only here is a call.
    uint64_t key = 0;
    for (size_t i = 0; i < lowerName.size(); ++i)
        key |= static_cast<uint64_t>(static_cast<unsigned char>(lowerName[i])) << (8 * i);
    return TagCodeOfKey(key, lowerName);
}

namespace {

uint16_t TagCodeSlow(std::string_view lowerName) {
    TTagTable& t = Tags();
    auto it = t.Codes.find(lowerName);
    if (it != t.Codes.end()) return it->second;
    const std::string key(lowerName);
    // Pages may make up any number of names; past the table's room they share one code.
    if (t.Names.size() >= 0xFFFF) return 0xFFFF;
    const auto code = static_cast<uint16_t>(t.Names.size());
    t.Codes.emplace(key, code);
    t.Names.push_back(key);
    t.Flags.push_back(0);
    return code;
}

struct TParsedSelectors {
    bool Valid = false;
    uint32_t Id = 0;  // one per list parsed in the thread; pages keep their answers by it
    std::vector<TComplex> List;
};

// Parsed once per run: the same sheets are checked against every page.
const TParsedSelectors& ParsedSelectors(std::string_view selectors) {
    thread_local std::unordered_map<std::string, TParsedSelectors, TNameHash, std::equal_to<>> cache;
    auto it = cache.find(selectors);
    if (it != cache.end()) return it->second;
    thread_local uint32_t lastId = 0;
    if (cache.size() >= 4096) cache.clear();  // a bound for endless made-up sheets
    TParsedSelectors p;
    p.Id = ++lastId;
    const std::string text = StripComments(selectors);  // the parser keeps a view of it
    p.Valid = TSelectorParser(text).List(p.List, 0);
    return cache.emplace(std::string(selectors), std::move(p)).first->second;
}

}  // namespace

struct TSelectorMatcher {
    const TPageElements& P;
    bool NeedText;
    int64_t& Budget = P.Budget;

    std::vector<TTagAttr> Attrs(const TPageElement& e) const {
        return ParseTagAttributes(P.Slice(e.TagFrom, e.TagLen));
    }
    const std::string* AttrValue(const std::vector<TTagAttr>& a, std::string_view upperName) const {
        for (const TTagAttr& x : a)
            if (x.Name == upperName) return &x.Value;
        return nullptr;
    }

    // The position among siblings, from 1; from the end when fromEnd;
    // counting only the same tag when ofType.
    int Position(int i, bool fromEnd, bool ofType) const {
        const TPageElement& e = P.Elements[static_cast<size_t>(i)];
        int n = 1;
        for (int k = fromEnd ? e.Next : e.Prev; k >= 0 && --Budget > 0;) {
            const TPageElement& s = P.Elements[static_cast<size_t>(k)];
            if (!ofType || s.Tag == e.Tag) ++n;
            k = fromEnd ? s.Next : s.Prev;
        }
        return n;
    }
    static bool NthFits(int pos, int a, int b) {
        if (a == 0) return pos == b;
        return (pos - b) % a == 0 && (pos - b) / a >= 0;
    }

    // lenient: what cannot be judged counts as matching (inside :not(),
    // as not matching, so that the :not() matches).
    bool Simple(const TSimple& s, int i, bool lenient) const {
        const TPageElement& e = P.Elements[static_cast<size_t>(i)];
        switch (s.Kind) {
            case TSimple::Id:
                return P.Slice(e.IdFrom, e.IdLen) == s.Name;
            case TSimple::Class:
                // Most elements are ruled out by their mask of words.
                return (e.ClassBits & s.Bit) &&
                       HasWord(P.Slice(e.ClassFrom, e.ClassLen), s.Name, ' ');
            case TSimple::Attr: {
                const auto a = Attrs(e);
                const std::string* v = AttrValue(a, s.Name);
                if (!v) return false;
                if (!s.Op) return true;
                const std::string val = Lower(*v);
                switch (s.Op) {
                    case '=':
                        return val == s.Value;
                    case '~':
                        return HasWord(val, s.Value, ' ');
                    case '|':
                        return val == s.Value || val.rfind(s.Value + "-", 0) == 0;
                    case '^':
                        return !s.Value.empty() && val.rfind(s.Value, 0) == 0;
                    case '$':
                        return !s.Value.empty() && val.size() >= s.Value.size() &&
                               val.compare(val.size() - s.Value.size(), s.Value.size(), s.Value) == 0;
                    default:
                        return !s.Value.empty() && val.find(s.Value) != std::string::npos;
                }
            }
            case TSimple::Never:
                return false;
            case TSimple::Unknown:
                return lenient;
            case TSimple::FirstChild:
                return e.Prev < 0;
            case TSimple::LastChild:
                return e.Next < 0;
            case TSimple::OnlyChild:
                return e.Prev < 0 && e.Next < 0;
            case TSimple::FirstOfType:
                return Position(i, false, true) == 1;
            case TSimple::LastOfType:
                return Position(i, true, true) == 1;
            case TSimple::OnlyOfType:
                return Position(i, false, true) == 1 && Position(i, true, true) == 1;
            case TSimple::Nth:
                return NthFits(Position(i, false, false), s.A, s.B);
            case TSimple::NthLast:
                return NthFits(Position(i, true, false), s.A, s.B);
            case TSimple::NthOfType:
                return NthFits(Position(i, false, true), s.A, s.B);
            case TSimple::NthLastOfType:
                return NthFits(Position(i, true, true), s.A, s.B);
            case TSimple::Root:
                return i == 0;
            case TSimple::Empty:
                return !e.HasChild;
            case TSimple::Link:
                return (e.Tag == TagCode("a") || e.Tag == TagCode("area") || e.Tag == TagCode("link")) &&
                       AttrValue(Attrs(e), "HREF");
            case TSimple::Enabled:
            case TSimple::Disabled: {
                if (!OneOf(TagName(e.Tag), {"input", "button", "select", "textarea", "option", "optgroup", "fieldset"}))
                    return false;
                const bool disabled = AttrValue(Attrs(e), "DISABLED") != nullptr;
                return disabled == (s.Kind == TSimple::Disabled);
            }
            case TSimple::Checked: {
                const auto a = Attrs(e);
                return AttrValue(a, "CHECKED") || AttrValue(a, "SELECTED");
            }
            case TSimple::Not:
                for (const TComplex& c : s.Inner)
                    if (ComplexAt(c, c.Parts.size() - 1, i, !lenient)) return false;
                return true;
            case TSimple::Is:
                for (const TComplex& c : s.Inner)
                    if (ComplexAt(c, c.Parts.size() - 1, i, lenient)) return true;
                return false;
        }
        return lenient;
    }

    bool CompoundAt(const TCompound& c, int i, bool lenient) const {
        if (c.Tag >= 0 && P.Elements[static_cast<size_t>(i)].Tag != c.Tag) return false;
        for (const TSimple& s : c.Simples)
            if (!Simple(s, i, lenient)) return false;
        return true;
    }

    // Whether parts [0, k] of the selector match with part k on element i.
    bool ComplexAt(const TComplex& c, size_t k, int i, bool lenient) const {
        if (--Budget <= 0) return true;
        if (!CompoundAt(c.Parts[k], i, lenient)) return false;
        if (k == 0) return true;
        const TPageElement& e = P.Elements[static_cast<size_t>(i)];
        switch (c.Parts[k].Comb) {
            case '>':
                return e.Parent >= 0 && ComplexAt(c, k - 1, e.Parent, lenient);
            case '+':
                return e.Prev >= 0 && ComplexAt(c, k - 1, e.Prev, lenient);
            case '~':
                for (int s = e.Prev; s >= 0; s = P.Elements[static_cast<size_t>(s)].Prev)
                    if (ComplexAt(c, k - 1, s, lenient)) return true;
                return false;
            default:
                for (int a = e.Parent; a >= 0; a = P.Elements[static_cast<size_t>(a)].Parent)
                    if (ComplexAt(c, k - 1, a, lenient)) return true;
                return false;
        }
    }

    bool Any(const TComplex& c) const {
        // A page is checked against few selectors: a scan of its elements
        // costs less than indexing them. What the last compound asks of its
        // element's tag, id and class rules out most of them at a glance.
        const TCompound& last = c.Parts.back();
        bool needId = false, needClass = false;
        for (const TSimple& s : last.Simples) {
            needId = needId || s.Kind == TSimple::Id;
            needClass = needClass || s.Kind == TSimple::Class;
        }
        auto tryAt = [&](int i) {
            const TPageElement& e = P.Elements[static_cast<size_t>(i)];
            if ((NeedText && !e.HasText) || (last.Tag >= 0 && e.Tag != last.Tag) || (needId && !e.IdLen) ||
                (needClass && !e.ClassLen))
                return false;
            return ComplexAt(c, c.Parts.size() - 1, i, true);
        };
        if (last.Tag >= 0 && !P.FirstOfTag.empty()) {
            if (static_cast<size_t>(last.Tag) >= P.FirstOfTag.size()) return false;
            for (int i = P.FirstOfTag[static_cast<size_t>(last.Tag)]; i >= 0;
                 i = P.Elements[static_cast<size_t>(i)].NextOfTag)
                if (tryAt(i)) return true;
            return false;
        }
        int classFrom = 0;
        if (needClass) {
            // No element before the first with each of the classes can fit.
            for (const TSimple& s : last.Simples)
                if (s.Kind == TSimple::Class) {
                    const int first = P.FirstWithClass(s.Name);
                    if (first < 0) return false;
                    const auto at = std::lower_bound(P.WithClass.begin(), P.WithClass.end(), first) - P.WithClass.begin();
                    classFrom = std::max(classFrom, static_cast<int>(at));
                }
        }
        if (needId || needClass) {
            const std::vector<int>& with = needId ? P.WithId : P.WithClass;
            for (size_t k = needId ? 0 : static_cast<size_t>(classFrom); k < with.size(); ++k)
                if (tryAt(with[k])) return true;
            return false;
        }
        for (size_t i = 0; i < P.Elements.size(); ++i)
            if (tryAt(static_cast<int>(i))) return true;
        return false;
    }
};

void ReadTagFacts(std::string_view t, TTagFacts& facts) {
    facts = TTagFacts();
    // From "=" to "=": the name before each, the value after it. Values
    // are passed over whole, so an "=" inside one is never taken for a
    // name's; the first attribute of a name wins, as in a browser.
    const char* d = t.data();
    const size_t n = t.size();
    // By byte, one look-up each: 1 a blank, 2 ends a name going back (a
    // blank, "/" or a quote), 4 ends an unquoted value (a blank or ">").
    static constexpr auto kClass = [] {
        std::array<uint8_t, 256> c{};
        for (unsigned char b : {' ', '\t', '\n', '\r', '\f'}) c[b] = 1 | 2 | 4;
        for (unsigned char b : {'/', '"', '\''}) c[b] = 2;
        c['>'] = 4;
        return c;
    }();
    auto is = [&](size_t k, uint8_t what) { return (kClass[static_cast<unsigned char>(d[k])] & what) != 0; };
    std::string_view* const values[] = {&facts.Id,  &facts.Classes,    &facts.Href,
                                        &facts.Src, &facts.Background, &facts.Rel};
    unsigned seen = 0;
    for (size_t eq = ByteFrom(d, 1, n, '='); eq < n; eq = ByteFrom(d, eq, n, '=')) {
        size_t e = eq;
        while (e > 1 && is(e - 1, 1)) --e;
        size_t b = e;
        while (b > 1 && !is(b - 1, 2)) --b;
        size_t from = eq + 1;
        while (from < n && is(from, 1)) ++from;
        size_t to = from;
        if (from < n && (d[from] == '"' || d[from] == '\'')) {
            to = ByteFrom(d, from + 1, n, d[from]);
            ++from;
            eq = std::min(to + 1, n);
        } else {
            while (to < n && !is(to, 4)) ++to;
            eq = std::max(to, from);
        }
        auto named = [&](std::string_view lower) {
            for (size_t k = 0; k < lower.size(); ++k)
                if ((d[b + k] | 0x20) != lower[k]) return false;
            return true;
        };
        int which = -1;
        switch (e - b) {
            case 2:
                if (named("id")) which = 0;
                break;
            case 3:
                if (named("src")) which = 3;
                else if (named("rel")) which = 5;
                break;
            case 4:
                if (named("href")) which = 2;
                break;
            case 5:
                if (named("class")) which = 1;
                else if (named("style")) facts.MaybeStyle = true;
                break;
            case 6:
                if (named("srcset")) facts.MaybeSrcset = true;
                break;
            case 10:
                if (named("background")) which = 4;
                break;
            default:
                break;
        }
        if (which >= 0 && !(seen & (1u << which))) {
            seen |= 1u << which;
            *values[which] = t.substr(from, to - from);
        }
    }
}

namespace {

// Memory that pages hand on to later pages: a run makes one element list
// per page, and taking it afresh from the system costs more than filling it.
struct TPagePool {
    std::vector<std::vector<TPageElement>> Lists;
    std::vector<int> Stack, LastChild;  // Build's own, one page at a time
};
TPagePool& Pool() {
    thread_local TPagePool pool;
    return pool;
}
// A few: most pages let their list go before the next page finds its own.
constexpr size_t kPoolKeep = 4;

}  // namespace

TPageElements::~TPageElements() {
    TPagePool& pool = Pool();
    if (Elements.capacity() && pool.Lists.size() < kPoolKeep) {
        Elements.clear();
        pool.Lists.push_back(std::move(Elements));
    }
}

void TPageElements::Detach() {
    if (!Own.empty() || Text.empty()) return;
    if (!Built) {
        Own.assign(Text);
        Text = Own;
        return;
    }
    // Once the elements are found, matching reads only their start tags:
    // those are kept, one after another, and not the whole page.
    Own.clear();
    for (TPageElement& e : Elements) {
        const auto at = static_cast<uint32_t>(Own.size());
        if (e.IdLen) e.IdFrom = e.IdFrom - e.TagFrom + at;
        if (e.ClassLen) e.ClassFrom = e.ClassFrom - e.TagFrom + at;
        Own.append(Slice(e.TagFrom, e.TagLen));
        e.TagFrom = at;
    }
    Text = Own;
    Converted = std::string();
}

bool TPageElements::HasText() const {
    Build();
    return Elements[0].HasText;
}

void TPageElements::Build(TMarkupVisitor* visitor) const {
    if (Built) return;
    Built = true;
    // A browser makes <html> and <body> when the page omits them; the
    // elements of the head go under <html> until the body has content.
    const TBuildCodes& kc = BuildCodes();
    TPageElement root, body;
    root.Tag = kc.Html;
    body.Tag = kc.Body;
    body.Parent = 0;
    root.HasChild = true;
    TPagePool& pool = Pool();
    if (!pool.Lists.empty()) {
        Elements.swap(pool.Lists.back());
        pool.Lists.pop_back();
    }
    Elements.push_back(root);
    Elements.push_back(body);
    std::vector<int>& stack = pool.Stack;
    std::vector<int>& lastChild = pool.LastChild;
    stack.assign({0, 1});
    lastChild.assign({1, -1});
    bool realHtml = false, realBody = false;
    const size_t n = Text.size();
    const char* d = Text.data();
    Elements.reserve(n / 256 + 2);
    // Where the next byte that is not ASCII lies, kept as the walk goes on:
    // most tags of most UTF-8 pages are ASCII.
    size_t nextHigh = Utf8 ? HighByteFrom(d, 0, n) : n;
    thread_local platform::TTextBuffer tagScratch;
    ClassStart.assign(kClassSlots, -1);
    lastChild.reserve(n / 256 + 2);
    auto markText = [&] {
        TPageElement& e = Elements[static_cast<size_t>(stack.back())];
        e.HasText = e.HasChild = true;
    };
    // Past the ">" that ends a tag, quoted values passed over. A quote
    // opens a value only after "="; elsewhere it is a byte of a name or of
    // an unquoted value.
    auto tagEnd = [&](size_t from) __attribute__((always_inline)) {
        for (size_t k = from;;) {
            k = TagStopFrom(d, k, n);
            if (k >= n) return n;
            if (d[k] == '>') return k + 1;
            size_t e = k;
            while (e > from && IsWs(static_cast<unsigned char>(d[e - 1]))) --e;
            if (e == from || d[e - 1] != '=') {
                ++k;
                continue;
            }
            k = ByteFrom(d, k + 1, n, d[k]);
            if (k >= n) return n;
            ++k;
        }
    };
    auto pop = [&] {
        if (stack.size() > 1) stack.pop_back();
    };
    size_t i = 0;
    while (i < n) {
        if (visitor && visitor->Stopped) break;
        const size_t at = ByteFrom(d, i, n, '<');
        if (visitor && visitor->WantsText && at > i) visitor->Text(i, std::min(at, n));
        // Text under an element already known to hold text adds nothing.
        if (!Elements[static_cast<size_t>(stack.back())].HasText)
            for (size_t k = i; k < at; ++k)
                if (!IsWs(static_cast<unsigned char>(d[k]))) {
                    markText();
                    break;
                }
        if (at >= n) break;
        i = at + 1;
        if (i >= n) break;
        const char c = d[i];
        if (c == '!') {
            if (Text.compare(i, 3, "!--") == 0) {
                const size_t end = Text.find("-->", i + 3);
                i = end == std::string::npos ? n : end + 3;
            } else {
                i = tagEnd(i);
            }
            continue;
        }
        if (c == '?') {
            i = tagEnd(i);
            continue;
        }
        const bool end = c == '/';
        size_t k = end ? i + 1 : i;
        if (k >= n || !((d[k] | 0x20) >= 'a' && (d[k] | 0x20) <= 'z')) {
            if (!end) markText();  // a "<" of the text
            continue;
        }
        char lower[32];
        TTagName nm = ReadTagName(d, k, n, lower);
        const size_t nameEnd = nm.End;
        const size_t close = tagEnd(nameEnd);
        std::string_view tag(d + at, close - at);
        if (nextHigh < at) nextHigh = HighByteFrom(d, at, n);
        // Of an end tag only the name counts.
        if (nextHigh < (end ? nameEnd : close)) {
            // Its Shift-JIS text; the ASCII that bounds a tag and its values
            // stands where it stood, but a name may read otherwise.
            platform::Utf8ToCp932CharRefs(tag, tagScratch);
            tag = tagScratch.View();
            nm = ReadTagName(tag.data(), k - at, tag.size(), lower);
        }
        const std::string_view name(lower, nm.Len);
        const uint16_t code = nm.Len <= 8 ? TagCodeOfKey(nm.Key, name) : TagCode(name);
        if (end) {
            if (visitor) visitor->EndTag(name);
            for (size_t s = stack.size(); s-- > 1;)
                if (Elements[static_cast<size_t>(stack[s])].Tag == code) {
                    stack.resize(s);
                    break;
                }
            i = close;
            continue;
        }
        const uint8_t flags = TagFlags(code);
        int index;
        if (code == kc.Html && !realHtml) {
            realHtml = true;
            index = 0;
        } else if (code == kc.Body && !realBody) {
            realBody = true;
            index = 1;
        } else {
            // The end tags a browser implies.
            const uint16_t top = Elements[static_cast<size_t>(stack.back())].Tag;
            if (((flags & fList) &&
                 (top == code || ((code == kc.Dt || code == kc.Dd) && (top == kc.Dt || top == kc.Dd)))) ||
                ((flags & fClosesP) && top == kc.P))
                pop();
            if (flags & fTable) {
                const bool row = code != kc.Td && code != kc.Th;
                const bool group = code == kc.Tbody || code == kc.Thead || code == kc.Tfoot;
                while (stack.size() > 1) {
                    const uint16_t t = Elements[static_cast<size_t>(stack.back())].Tag;
                    if (t == kc.Td || t == kc.Th || (row && t == kc.Tr) ||
                        (group && (t == kc.Tbody || t == kc.Thead || t == kc.Tfoot)))
                        pop();
                    else break;
                }
            }
            index = static_cast<int>(Elements.size());
            int parent = stack.back();
            if (parent == 1 && !Elements[1].HasChild && (flags & fHead)) parent = 0;
            TPageElement e;
            e.Tag = code;
            e.Parent = parent;
            e.Prev = lastChild[static_cast<size_t>(parent)];
            if (e.Prev >= 0) Elements[static_cast<size_t>(e.Prev)].Next = index;
            lastChild[static_cast<size_t>(parent)] = index;
            Elements[static_cast<size_t>(parent)].HasChild = true;
            Elements.push_back(std::move(e));
            lastChild.push_back(-1);
        }
        TPageElement& e = Elements[static_cast<size_t>(index)];
        if (tag.data() == d + at) {
            e.TagFrom = static_cast<uint32_t>(at);
        } else {
            e.TagFrom = static_cast<uint32_t>(n + Converted.size());
            Converted.append(tag);
        }
        e.TagLen = static_cast<uint32_t>(tag.size());
        TTagFacts facts;
        ReadTagFacts(tag, facts);
        if (!facts.Id.empty()) {
            e.IdFrom = e.TagFrom + static_cast<uint32_t>(facts.Id.data() - tag.data());
            e.IdLen = static_cast<uint32_t>(facts.Id.size());
            const size_t slot = ClassSlotOf(ClassHash(facts.Id));
            IdSlots[slot / 64] |= uint64_t{1} << (slot % 64);
        }
        if (!facts.Classes.empty()) {
            e.ClassFrom = e.TagFrom + static_cast<uint32_t>(facts.Classes.data() - tag.data());
            e.ClassLen = static_cast<uint32_t>(facts.Classes.size());
            // The words as HasWord splits them, hashed while they are at hand.
            const char* p = facts.Classes.data();
            const char* const wordsEnd = p + facts.Classes.size();
            uint64_t bits = 0;
            while (p < wordsEnd) {
                size_t h = 5381;
                for (; p < wordsEnd && !IsWs(static_cast<unsigned char>(*p)); ++p) h = ClassHashStep(h, *p);
                int& first = ClassStart[ClassSlotOf(h)];
                if (first < 0 || index < first) first = index;  // <html> and <body> may come late
                bits |= ClassBitOf(h);
                while (p < wordsEnd && IsWs(static_cast<unsigned char>(*p))) ++p;
            }
            e.ClassBits = bits;
        }
        i = visitor ? visitor->StartTag(code, name, tag, close, facts) : close;
        if (i > close) {
            // The visitor passed over a raw-text element's content.
            if (code == kc.Textarea || code == kc.Iframe) markText();
            continue;
        }
        if (index <= 1 || (flags & fVoid) || (close >= 2 && d[close - 2] == '/' && code != kc.Div)) continue;
        if (flags & fRaw) {
            // Passed over to its end tag.
            size_t p = i;
            for (;; ++p) {
                p = ByteFrom(d, p, n, '<');
                if (p + 2 + name.size() > n ||
                    (d[p + 1] == '/' && SameLower(std::string_view(d + p + 2, name.size()), name)))
                    break;
            }
            i = p + 2 + name.size() <= n ? tagEnd(p + 2) : n;
            if (code == kc.Textarea || code == kc.Iframe) markText();
            continue;
        }
        stack.push_back(index);
    }
    for (size_t k = Elements.size(); k-- > 1;) {
        const TPageElement& e = Elements[k];
        if (e.HasText) Elements[static_cast<size_t>(e.Parent)].HasText = true;
    }
    uint16_t maxTag = 0;
    for (const TPageElement& e : Elements) maxTag = std::max(maxTag, e.Tag);
    // Made-up names in their thousands: selectors scan all elements instead.
    if (maxTag < 4096) {
        FirstOfTag.assign(size_t{maxTag} + 1, -1);
        for (size_t k = Elements.size(); k-- > 0;) {
            TPageElement& e = Elements[k];
            e.NextOfTag = FirstOfTag[e.Tag];
            FirstOfTag[e.Tag] = static_cast<int>(k);
        }
    }
    for (size_t k = 0; k < Elements.size(); ++k) {
        if (Elements[k].ClassLen) WithClass.push_back(static_cast<int>(k));
        if (Elements[k].IdLen) WithId.push_back(static_cast<int>(k));
    }
}

bool TPageElements::MayHaveId(std::string_view name) const {
    const size_t slot = ClassSlotOf(ClassHash(name));
    return (IdSlots[slot / 64] >> (slot % 64)) & 1;
}

int TPageElements::FirstWithClass(std::string_view name) const {
    return ClassStart[ClassSlotOf(ClassHash(name))];
}

bool TPageElements::Matches(std::string_view selectorList, bool needText) const {
    const TParsedSelectors& parsed = ParsedSelectors(selectorList);
    auto& cache = Cache[needText ? 1 : 0];
    auto it = cache.find(parsed.Id);
    if (it != cache.end()) return it->second;
    const std::vector<TComplex>& list = parsed.List;
    bool result = false;
    if (parsed.Valid) {
        Build();
        // Most selectors name an id or class that no element of the page
        // holds: they are ruled out before any element is tried.
        auto mayMatch = [&](const TComplex& c) {
            for (const TCompound& part : c.Parts)
                for (const TSimple& simple : part.Simples)
                    if ((simple.Kind == TSimple::Id && !MayHaveId(simple.Name)) ||
                        (simple.Kind == TSimple::Class && FirstWithClass(simple.Name) < 0))
                        return false;
            return true;
        };
        TSelectorMatcher m{*this, needText};
        for (const TComplex& c : list)
            if (mayMatch(c) && m.Any(c)) {
                result = true;
                break;
            }
    }
    cache.emplace(parsed.Id, result);
    return result;
}

bool TPageElements::AnyMatches(std::string_view selectorList) const { return Matches(selectorList, false); }
bool TPageElements::AnyWithTextMatches(std::string_view selectorList) const { return Matches(selectorList, true); }

std::string UsedFaceFamily(std::string_view families, const std::vector<std::string>& faces) {
    // The families are the comma list at the end of the value; in a font
    // shorthand the first of them follows the size.
    size_t i = 0;
    bool first = true;
    while (i <= families.size()) {
        size_t comma = families.find(',', i);
        if (comma == std::string_view::npos) comma = families.size();
        std::string_view entry = families.substr(i, comma - i);
        while (!entry.empty() && IsWs(static_cast<unsigned char>(entry.front()))) entry.remove_prefix(1);
        while (!entry.empty() && IsWs(static_cast<unsigned char>(entry.back()))) entry.remove_suffix(1);
        if (entry.size() >= 2 && (entry.back() == '"' || entry.back() == '\'')) {
            // A quoted name, perhaps after a shorthand's style and size.
            const size_t open = entry.rfind(entry.back(), entry.size() - 2);
            if (open != std::string_view::npos && (open == 0 || first))
                entry = entry.substr(open + 1, entry.size() - open - 2);
        }
        if (entry.find("!important") != std::string_view::npos) entry = entry.substr(0, entry.find('!'));
        while (!entry.empty() && IsWs(static_cast<unsigned char>(entry.back()))) entry.remove_suffix(1);
        for (const std::string& f : faces) {
            const bool same = entry == f;
            // font: italic 700 1em/1.2 "Face": the family ends the first entry.
            const bool tail = first && entry.size() > f.size() &&
                              entry.compare(entry.size() - f.size(), f.size(), f) == 0 &&
                              (IsWs(static_cast<unsigned char>(entry[entry.size() - f.size() - 1])) ||
                               entry[entry.size() - f.size() - 1] == '"' || entry[entry.size() - f.size() - 1] == '\'');
            if (same || tail) return f;
        }
        if (OneOf(entry,
                  {"serif", "sans-serif", "monospace", "cursive", "fantasy", "system-ui", "ui-serif", "ui-sans-serif",
                   "ui-monospace", "ui-rounded", "math", "emoji", "fangsong", "inherit", "initial", "unset", "revert"}))
            return {};
        first = false;
        i = comma + 1;
    }
    return {};
}
