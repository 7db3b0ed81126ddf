#include "engine/UModernPage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/UByteScan.h"
#include "engine/UCharsetSniff.h"
#include "platform/Encoding.h"

namespace {

constexpr double kViewportWidth = 1366;
constexpr double kViewportHeight = 768;
constexpr double kFontPx = 16;

bool IsWs(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

char Up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char Low(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string LowerTrim(std::string_view s) {
    while (!s.empty() && IsWs(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && IsWs(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    std::string r(s);
    for (char& c : r) c = Low(c);
    return r;
}

// The attributes of one tag; the entries are reused from tag to tag, so
// that reading a page does not allocate for each of them.
struct TAttrList {
    std::vector<TTagAttr> Items;
    size_t Count = 0;
};

const std::string* Attr(const TAttrList& a, std::string_view name) {
    for (size_t i = 0; i < a.Count; ++i)
        if (a.Items[i].Name == name) return &a.Items[i].Value;
    return nullptr;
}

void ParseAttributesInto(std::string_view t, TAttrList& out);
std::string AttrOr(const TAttrList& a, std::string_view name) {
    const std::string* v = Attr(a, name);
    return v ? *v : std::string();
}

// Moves pos past the end tag "</NAME" of a raw-text element; returns the
// content's end.
int64_t SkipRawText(const char* data, int64_t& pos, int64_t len, std::string_view name) {
    for (int64_t i = pos; i + 2 + static_cast<int64_t>(name.size()) <= len; ++i) {
        if (data[i] != '<' || data[i + 1] != '/') continue;
        bool same = true;
        for (size_t k = 0; k < name.size() && same; ++k) same = Up(data[i + 2 + static_cast<int64_t>(k)]) == name[k];
        if (!same) continue;
        const int64_t after = i + 2 + static_cast<int64_t>(name.size());
        if (after < len && !(IsWs(static_cast<unsigned char>(data[after])) || data[after] == '>' || data[after] == '/'))
            continue;
        const int64_t contentEnd = i;
        const void* gt = std::memchr(data + after, '>', static_cast<size_t>(len - after));
        pos = gt ? static_cast<const char*>(gt) - data + 1 : len;
        return contentEnd;
    }
    pos = len;
    return len;
}

// A CSS length in px for the 1366x768 window; NaN when not understood.
double LengthPx(std::string_view s) {
    const std::string t = LowerTrim(s);
    if (t.empty()) return NAN;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str()) return NAN;
    const std::string unit(end);
    if (unit == "px" || (unit.empty() && v == 0)) return v;
    if (unit == "vw") return v * kViewportWidth / 100;
    if (unit == "vh") return v * kViewportHeight / 100;
    if (unit == "em" || unit == "rem") return v * kFontPx;
    if (unit == "vmin") return v * kViewportHeight / 100;
    if (unit == "vmax") return v * kViewportWidth / 100;
    return NAN;
}

// A resolution in dots per px; NaN when not understood.
double ResolutionDppx(const std::string& v) {
    char* end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    if (end == v.c_str()) return NAN;
    const std::string unit = LowerTrim(end);
    if (unit.empty() || unit == "dppx" || unit == "x") return d;
    if (unit == "dpi") return d / 96;
    if (unit == "dpcm") return d * 2.54 / 96;
    return NAN;
}

// The value of a media feature for the window: a number (px, dppx or a
// ratio) or a keyword. False for a feature this reading does not know.
bool FeatureValue(const std::string& name, double& number, std::string& keyword) {
    number = NAN;
    keyword.clear();
    if (name == "width" || name == "device-width") number = kViewportWidth;
    else if (name == "height" || name == "device-height") number = kViewportHeight;
    else if (name == "resolution" || name == "device-pixel-ratio" || name == "-webkit-device-pixel-ratio") number = 1;
    else if (name == "aspect-ratio" || name == "device-aspect-ratio") number = kViewportWidth / kViewportHeight;
    else if (name == "color") number = 8;
    else if (name == "monochrome" || name == "grid" || name == "color-index") number = 0;
    else if (name == "orientation") keyword = "landscape";
    else if (name == "prefers-color-scheme") keyword = "light";
    else if (name == "prefers-reduced-motion" || name == "prefers-contrast" || name == "prefers-reduced-transparency" ||
             name == "prefers-reduced-data")
        keyword = "no-preference";
    else if (name == "hover" || name == "any-hover") keyword = "hover";
    else if (name == "pointer" || name == "any-pointer") keyword = "fine";
    else if (name == "forced-colors" || name == "inverted-colors") keyword = "none";
    else if (name == "scripting") keyword = "enabled";
    else if (name == "display-mode") keyword = "browser";
    else if (name == "color-gamut") keyword = "srgb";
    else if (name == "dynamic-range" || name == "video-dynamic-range") keyword = "standard";
    else if (name == "update") keyword = "fast";
    else if (name == "overflow-block") keyword = "scroll";
    else if (name == "overflow-inline") keyword = "scroll";
    else return false;
    return true;
}

// A value written in a query, in the unit of the feature.
double QueryNumber(const std::string& name, const std::string& v) {
    if (name.find("resolution") != std::string::npos) return ResolutionDppx(v);
    if (name.find("pixel-ratio") != std::string::npos || name == "color" || name == "monochrome" || name == "grid" ||
        name == "color-index")
        return std::strtod(v.c_str(), nullptr);
    if (name.find("aspect-ratio") != std::string::npos) {
        const size_t slash = v.find('/');
        const double a = std::strtod(v.c_str(), nullptr);
        const double b = slash == std::string::npos ? 1 : std::strtod(v.c_str() + slash + 1, nullptr);
        return b > 0 ? a / b : NAN;
    }
    return LengthPx(v);
}

// 1 when "(feature)" or "(feature: value)" or a range "(400px <= width)"
// holds for the window, 0 when not, -1 when this reading does not know it
// (a browser drops such a query, so that it matches nothing).
int FeatureMatches(std::string_view f) {
    std::string t = LowerTrim(f);
    const size_t colon = t.find(':');
    if (colon == std::string::npos && t.find_first_of("<>=") != std::string::npos) {
        // Range syntax: values and the name between "<", "<=", ">", ">=", "=".
        std::vector<std::string> items;
        std::vector<std::string> ops;
        size_t i = 0;
        while (i < t.size()) {
            const size_t op = t.find_first_of("<>=", i);
            items.push_back(
                LowerTrim(std::string_view(t).substr(i, op == std::string::npos ? std::string::npos : op - i)));
            if (op == std::string::npos) break;
            size_t e = op + 1;
            if (e < t.size() && t[e] == '=') ++e;
            ops.push_back(t.substr(op, e - op));
            i = e;
        }
        if (items.size() != ops.size() + 1 || items.size() < 2 || items.size() > 3) return -1;
        std::string name;
        for (const std::string& it : items)
            if (!it.empty() && (std::isalpha(static_cast<unsigned char>(it[0])) || it[0] == '-') &&
                !std::isdigit(static_cast<unsigned char>(it.back())) && LengthPx(it) != LengthPx(it))
                name = it;
        double have;
        std::string kw;
        if (name.empty() || !FeatureValue(name, have, kw) || std::isnan(have)) return -1;
        for (size_t k = 0; k < ops.size(); ++k) {
            const double a = items[k] == name ? have : QueryNumber(name, items[k]);
            const double b = items[k + 1] == name ? have : QueryNumber(name, items[k + 1]);
            if (std::isnan(a) || std::isnan(b)) return -1;
            const std::string& o = ops[k];
            const bool ok = o == "<" ? a < b : o == "<=" ? a <= b : o == ">" ? a > b : o == ">=" ? a >= b : a == b;
            if (!ok) return 0;
        }
        return 1;
    }
    std::string name = LowerTrim(std::string_view(t).substr(0, colon));
    int cmp = 0;  // -1: min-, 1: max-
    if (name.rfind("min-", 0) == 0 || name.rfind("-webkit-min-", 0) == 0) {
        cmp = -1;
        name.erase(name.find("min-"), 4);
    } else if (name.rfind("max-", 0) == 0 || name.rfind("-webkit-max-", 0) == 0) {
        cmp = 1;
        name.erase(name.find("max-"), 4);
    }
    double have;
    std::string keyword;
    if (!FeatureValue(name, have, keyword)) return -1;
    if (colon == std::string::npos) {
        if (cmp) return -1;
        return std::isnan(have) ? (keyword != "none" && keyword != "no-preference") : have != 0;
    }
    const std::string value = LowerTrim(std::string_view(t).substr(colon + 1));
    if (!std::isnan(have)) {
        const double want = QueryNumber(name, value);
        if (std::isnan(want)) return -1;
        return cmp < 0 ? have >= want : cmp > 0 ? have <= want : have == want;
    }
    if (cmp) return -1;
    return value == keyword;
}

// One query of a list: [not|only] [type] [and (feature)]..., or features
// joined by "and" or "or". -1 for what a browser would not parse.
int QueryResult(std::string_view q) {
    std::string t = LowerTrim(q);
    if (t.empty()) return -1;
    bool negate = false;
    if (t.rfind("not ", 0) == 0 || t.rfind("not(", 0) == 0) {
        negate = true;
        t.erase(0, 3);
    } else if (t.rfind("only ", 0) == 0) {
        t.erase(0, 5);
    }
    bool ok = true, anyOr = false, orOk = false;
    size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && IsWs(static_cast<unsigned char>(t[i]))) ++i;
        if (i >= t.size()) break;
        if (t[i] == '(') {
            // The matching ")" (a feature may hold nested parentheses).
            int depth = 0;
            size_t close = i;
            for (; close < t.size(); ++close) {
                if (t[close] == '(') ++depth;
                else if (t[close] == ')' && --depth == 0) break;
            }
            if (close >= t.size()) return -1;
            std::string_view inner = std::string_view(t).substr(i + 1, close - i - 1);
            int r;
            if (!inner.empty() && inner.front() == '(') r = QueryResult(inner);
            else if (inner.rfind("not ", 0) == 0) {
                r = QueryResult(std::string(inner));
            } else {
                r = FeatureMatches(inner);
            }
            if (r < 0) return -1;
            if (anyOr) orOk = orOk || r == 1;
            else ok = ok && r == 1;
            i = close + 1;
        } else {
            size_t j = i;
            while (j < t.size() && !IsWs(static_cast<unsigned char>(t[j])) && t[j] != '(') ++j;
            const std::string word = t.substr(i, j - i);
            if (word == "and") {
            } else if (word == "or") {
                if (!anyOr) orOk = ok;
                anyOr = true;
            } else if (word == "screen" || word == "all") {
            } else if (word == "print" || word == "speech" || word == "tv" || word == "projection" ||
                       word == "handheld" || word == "braille" || word == "embossed" || word == "aural" ||
                       word == "tty") {
                ok = false;
            } else {
                return -1;  // unknown syntax
            }
            i = j;
        }
    }
    const bool r = anyOr ? orOk : ok;
    return negate ? !r : r;
}

bool QueryMatches(std::string_view q) { return QueryResult(q) == 1; }

// The source size of a sizes attribute: the first entry whose condition
// matches, a bare last length, or 100vw.
double SourceSize(std::string_view sizes) {
    size_t i = 0;
    while (i <= sizes.size()) {
        size_t comma = sizes.find(',', i);
        if (comma == std::string_view::npos) comma = sizes.size();
        std::string_view entry = sizes.substr(i, comma - i);
        while (!entry.empty() && IsWs(static_cast<unsigned char>(entry.back()))) entry.remove_suffix(1);
        // The length is the last component; what comes before is the condition.
        size_t cut = entry.size();
        int depth = 0;
        while (cut > 0) {
            const char c = entry[cut - 1];
            if (c == ')') ++depth;
            else if (c == '(') --depth;
            else if (depth == 0 && IsWs(static_cast<unsigned char>(c))) break;
            --cut;
        }
        const std::string_view cond = entry.substr(0, cut);
        const double px = LengthPx(entry.substr(cut));
        if (!std::isnan(px) && px >= 0 && (LowerTrim(cond).empty() || QueryMatches(cond))) return px;
        i = comma + 1;
    }
    return kViewportWidth;
}

struct TCandidate {
    std::string Url;
    double Density;
};

// The candidates of a srcset, in order (HTML's srcset parsing, simplified to
// what real pages write).
std::vector<TCandidate> ParseSrcset(std::string_view s, std::string_view sizes, bool& hasWidth) {
    std::vector<TCandidate> out;
    hasWidth = false;
    double sourceSize = -1;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (IsWs(static_cast<unsigned char>(s[i])) || s[i] == ',')) ++i;
        if (i >= s.size()) break;
        size_t j = i;
        while (j < s.size() && !IsWs(static_cast<unsigned char>(s[j]))) ++j;
        std::string url(s.substr(i, j - i));
        std::string desc;
        if (!url.empty() && url.back() == ',') {
            while (!url.empty() && url.back() == ',') url.pop_back();
        } else {
            int paren = 0;
            while (j < s.size() && (paren > 0 || s[j] != ',')) {
                if (s[j] == '(') ++paren;
                if (s[j] == ')') --paren;
                desc += s[j++];
            }
        }
        i = j;
        double density = 1;
        bool bad = false;
        const std::string d = LowerTrim(desc);
        if (!d.empty()) {
            char* end = nullptr;
            const double v = std::strtod(d.c_str(), &end);
            const std::string unit = LowerTrim(end);
            if (unit == "x") {
                density = v;
            } else if (unit == "w") {
                hasWidth = true;
                if (sourceSize < 0) sourceSize = SourceSize(sizes);
                density = sourceSize > 0 ? v / sourceSize : v;
            } else if (unit != "h") {
                bad = true;
            }
            if (!(density > 0)) bad = true;
        }
        if (!bad && !url.empty()) out.push_back({url, density});
    }
    return out;
}

// The literal of a named character reference that pages use in addresses
// and titles; the full table is not needed for either.
uint32_t NamedRef(std::string_view name) {
    static const struct {
        const char* n;
        uint32_t cp;
    } table[] = {{"amp", '&'},      {"lt", '<'},        {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
                 {"nbsp", 0xA0},    {"copy", 0xA9},     {"reg", 0xAE},     {"trade", 0x2122}, {"mdash", 0x2014},
                 {"ndash", 0x2013}, {"hellip", 0x2026}, {"laquo", 0xAB},   {"raquo", 0xBB},   {"middot", 0xB7},
                 {"times", 0xD7},   {"lsquo", 0x2018},  {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D},
                 {"para", 0xB6},    {"sect", 0xA7},     {"deg", 0xB0},     {"yen", 0xA5},     {"euro", 0x20AC}};
    for (const auto& e : table)
        if (name == e.n) return e.cp;
    return 0;
}

// Decodes "&name;", "&#N;" and "&#xH;" (a missing ";" is allowed after a
// number, as browsers do).
std::string DecodeCharRefs(std::string_view s) {
    if (s.find('&') == std::string_view::npos) return std::string(s);
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (platform::IsSjisLead(c) && i + 1 < s.size()) {
            out.append(s.substr(i, 2));
            i += 2;
            continue;
        }
        if (c != '&') {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        size_t j = i + 1;
        uint32_t cp = 0;
        if (j < s.size() && s[j] == '#') {
            ++j;
            const bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
            if (hex) ++j;
            const size_t from = j;
            uint64_t v = 0;
            while (j < s.size() && (hex ? std::isxdigit(static_cast<unsigned char>(s[j]))
                                        : std::isdigit(static_cast<unsigned char>(s[j])))) {
                const char d = s[j++];
                v = v * (hex ? 16 : 10) + static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(d))
                                                                    ? d - '0'
                                                                    : (d | 0x20) - 'a' + 10);
                if (v > 0x10FFFF) v = 0x110000;
            }
            if (j > from) {
                cp = (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) ? 0xFFFD : static_cast<uint32_t>(v);
                if (j < s.size() && s[j] == ';') ++j;
            }
        } else {
            while (j < s.size() && std::isalnum(static_cast<unsigned char>(s[j]))) ++j;
            if (j < s.size() && s[j] == ';') {
                cp = NamedRef(s.substr(i + 1, j - i - 1));
                ++j;
            }
        }
        if (cp == 0) {
            out += '&';
            ++i;
            continue;
        }
        // The no-break and typographic spaces have no Shift-JIS form; a
        // blank shows them as a browser does.
        if (cp == 0xA0 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x202F || cp == 0x205F) cp = ' ';
        AppendCodePointSjis(out, cp);
        i = j;
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Low(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The values of references cleared before, whose memory the next ones
// take: most addresses are too long to fit in a string itself.
thread_local std::vector<std::string> tSpareValues;

void AddRef(std::vector<TModernRef>& out, TModernUse use, uint8_t kind, const std::string* value) {
    if (!value || value->empty()) return;
    TModernRef r{use, kind, {}, true};
    if (!tSpareValues.empty()) {
        r.Value = std::move(tSpareValues.back());
        tSpareValues.pop_back();
    }
    r.Value.assign(*value);
    out.push_back(std::move(r));
}

bool ScriptTypeRuns(const TAttrList& a) {
    const std::string* type = Attr(a, "TYPE");
    if (!type) return true;
    const std::string t = LowerTrim(*type);
    return t.empty() || t == "module" || t == "text/javascript" || t == "application/javascript" ||
           t == "text/ecmascript" || t == "application/ecmascript" || t == "application/x-javascript" ||
           t == "text/x-javascript" || t == "text/jscript" || t == "text/livescript" || t == "javascript";
}

bool ImageTypeSupported(std::string_view type) {
    const std::string t = LowerTrim(type);
    return t.empty() || t == "image/webp" || t == "image/avif" || t == "image/png" || t == "image/jpeg" ||
           t == "image/jpg" || t == "image/gif" || t == "image/svg+xml" || t == "image/apng" || t == "image/bmp" ||
           t == "image/x-icon" || t == "image/vnd.microsoft.icon";
}

bool MediaTypeSupported(std::string_view type) {
    std::string t = LowerTrim(type);
    const size_t semi = t.find(';');
    if (semi != std::string::npos) t = LowerTrim(t.substr(0, semi));
    return t.empty() || t == "video/mp4" || t == "video/webm" || t == "video/ogg" || t == "audio/mpeg" ||
           t == "audio/mp3" || t == "audio/ogg" || t == "audio/wav" || t == "audio/wave" || t == "audio/x-wav" ||
           t == "audio/webm" || t == "audio/mp4" || t == "audio/aac" || t == "audio/flac";
}

// Whether a <video>/<audio> element makes the browser fetch its source
// before anything plays.
bool MediaLoads(const TAttrList& a) {
    if (Attr(a, "AUTOPLAY")) return true;
    const std::string* preload = Attr(a, "PRELOAD");
    return !preload || LowerTrim(*preload) != "none";
}

std::vector<std::string> RelTokens(const std::string* rel) {
    std::vector<std::string> r;
    if (!rel) return r;
    const std::string s = LowerTrim(*rel);
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && IsWs(static_cast<unsigned char>(s[i]))) ++i;
        size_t j = i;
        while (j < s.size() && !IsWs(static_cast<unsigned char>(s[j]))) ++j;
        if (j > i) r.push_back(s.substr(i, j - i));
        i = j;
    }
    return r;
}

// Whether the text holds the lower-case ASCII word in any case.
bool HasWordNoCase(std::string_view text, std::string_view lowerWord) {
    for (size_t i = 0; i + lowerWord.size() <= text.size(); ++i) {
        if ((text[i] | 0x20) != lowerWord[0]) continue;
        size_t k = 1;
        while (k < lowerWord.size() && (text[i + k] | 0x20) == lowerWord[k]) ++k;
        if (k == lowerWord.size()) return true;
    }
    return false;
}

// Whether a <link> may load anything: most name the next or previous page.
// Only the rel words below load, and the rel that was read with the tag's
// other facts is the attribute list's own when the tag's name ends at a
// blank; after any other byte the two readers may part, and the list decides.
bool LinkMayLoad(std::string_view text, size_t nameLen, std::string_view rel) {
    if (nameLen + 1 >= text.size() || !IsWs(static_cast<unsigned char>(text[nameLen + 1]))) return true;
    return HasWordNoCase(rel, "stylesheet") || HasWordNoCase(rel, "icon") || HasWordNoCase(rel, "preload") ||
           HasWordNoCase(rel, "manifest");
}

void LinkRefs(const TAttrList& a, std::vector<TModernRef>& out) {
    const std::vector<std::string> rel = RelTokens(Attr(a, "REL"));
    auto has = [&](std::string_view t) { return std::find(rel.begin(), rel.end(), t) != rel.end(); };
    const std::string* href = Attr(a, "HREF");
    if (has("stylesheet")) {
        if (!Attr(a, "DISABLED")) {
            AddRef(out, TModernUse::Sheet, pkStyleSheet, href);
            if (const std::string* media = Attr(a, "MEDIA"); media && href && !href->empty())
                out.back().Applies = MediaMatches(*media);
            // An alternate sheet is fetched but stays off until the user picks it.
            if (has("alternate") && Attr(a, "TITLE") && href && !href->empty()) out.back().Applies = false;
        }
        return;
    }
    if (has("icon")) {
        AddRef(out, TModernUse::Part, pkImage, href);
        return;
    }
    if (has("modulepreload")) {
        AddRef(out, TModernUse::Part, pkScript, href);
        return;
    }
    if (has("manifest")) {
        AddRef(out, TModernUse::Part, pkOther, href);
        return;
    }
    if (has("preload")) {
        const std::string as = LowerTrim(AttrOr(a, "AS"));
        if (as == "style") AddRef(out, TModernUse::Part, pkStyleSheet, href);
        else if (as == "script") AddRef(out, TModernUse::Part, pkScript, href);
        else if (as == "font") AddRef(out, TModernUse::Part, pkFont, href);
        else if (as == "fetch") AddRef(out, TModernUse::Part, pkOther, href);
        else if (as == "image") {
            const std::string* set = Attr(a, "IMAGESRCSET");
            const std::string pick =
                set ? PickSrcset(*set, AttrOr(a, "IMAGESIZES"), href ? *href : std::string()) : AttrOr(a, "HREF");
            AddRef(out, TModernUse::Part, pkImage, &pick);
        }
        // Any other "as" (or none) is not fetched.
    }
}

enum TTagId : uint8_t {
    tOther,
    tScript,
    tStyle,
    tRaw,
    tIframe,
    tImg,
    tPicture,
    tSource,
    tVideo,
    tAudio,
    tLink,
    tInput,
    tFrame,
    tObject,
    tEmbed,
    tBackground,
    tAnchor,
    tBase,
    tMeta
};

// Looked up once per tag: most tags of a page are none of these, so the
// name is told apart by its length and first letter before any compare.
TTagId TagId(std::string_view tag) {
    if (tag.empty()) return tOther;
    auto is = [&](std::string_view name) { return tag == name; };
    switch (tag.size()) {
        case 1:
            return tag[0] == 'A' ? tAnchor : tOther;
        case 2:
            return (is("TD") || is("TH") || is("TR")) ? tBackground : tOther;
        case 3:
            return is("IMG") ? tImg : tOther;
        case 4:
            switch (tag[0]) {
                case 'L':
                    return is("LINK") ? tLink : tOther;
                case 'B':
                    return is("BODY") ? tBackground : is("BASE") ? tBase : tOther;
                case 'A':
                    return is("AREA") ? tAnchor : tOther;
                case 'M':
                    return is("META") ? tMeta : tOther;
                default:
                    return tOther;
            }
        case 5:
            switch (tag[0]) {
                case 'S':
                    return is("STYLE") ? tStyle : tOther;
                case 'V':
                    return is("VIDEO") ? tVideo : tOther;
                case 'A':
                    return is("AUDIO") ? tAudio : tOther;
                case 'I':
                    return is("INPUT") ? tInput : tOther;
                case 'F':
                    return is("FRAME") ? tFrame : tOther;
                case 'E':
                    return is("EMBED") ? tEmbed : tOther;
                case 'T':
                    return (is("TABLE") || is("THEAD") || is("TBODY") || is("TFOOT")) ? tBackground : tOther;
                default:
                    return tOther;
            }
        case 6:
            switch (tag[0]) {
                case 'S':
                    return is("SCRIPT") ? tScript : is("SOURCE") ? tSource : tOther;
                case 'I':
                    return is("IFRAME") ? tIframe : tOther;
                case 'O':
                    return is("OBJECT") ? tObject : tOther;
                default:
                    return tOther;
            }
        case 7:
            if (is("PICTURE")) return tPicture;
            return is("NOEMBED") ? tRaw : tOther;
        case 8:
            return (is("NOSCRIPT") || is("TEMPLATE") || is("TEXTAREA") || is("NOFRAMES")) ? tRaw : tOther;
        default:
            return tOther;
    }
}

}  // namespace

std::vector<TTagAttr> ParseTagAttributes(std::string_view t) {
    TAttrList list;
    ParseAttributesInto(t, list);
    list.Items.resize(list.Count);
    return list.Items;
}

namespace {

// Walks the attributes of a start tag's text as a browser splits them,
// giving each name and value as written; Each returns false to stop.
template <class F>
void ForEachAttribute(std::string_view t, F&& each) {
    size_t i = 1;
    while (i < t.size() && !IsWs(static_cast<unsigned char>(t[i])) && t[i] != '>' && t[i] != '/') ++i;
    while (i < t.size()) {
        while (i < t.size() && (IsWs(static_cast<unsigned char>(t[i])) || t[i] == '/')) ++i;
        if (i >= t.size() || t[i] == '>') break;
        const size_t nameFrom = i;
        while (i < t.size() && !IsWs(static_cast<unsigned char>(t[i])) && t[i] != '=' && t[i] != '>' &&
               !(t[i] == '/' && i > nameFrom))
            ++i;
        const std::string_view name = t.substr(nameFrom, i - nameFrom);
        std::string_view value;
        while (i < t.size() && IsWs(static_cast<unsigned char>(t[i]))) ++i;
        if (i < t.size() && t[i] == '=') {
            ++i;
            while (i < t.size() && IsWs(static_cast<unsigned char>(t[i]))) ++i;
            if (i < t.size() && (t[i] == '"' || t[i] == '\'')) {
                const char q = t[i++];
                const size_t end = t.find(q, i);
                const size_t stop = end == std::string_view::npos ? t.size() : end;
                value = t.substr(i, stop - i);
                i = stop + 1;
            } else {
                const size_t from = i;
                while (i < t.size() && !IsWs(static_cast<unsigned char>(t[i])) && t[i] != '>') ++i;
                value = t.substr(from, i - from);
            }
        }
        if (!each(name, value)) return;
    }
}

void ParseAttributesInto(std::string_view t, TAttrList& out) {
    out.Count = 0;
    ForEachAttribute(t, [&](std::string_view name, std::string_view value) {
        if (out.Count == out.Items.size()) out.Items.emplace_back();
        TTagAttr& a = out.Items[out.Count];
        a.Name.assign(name);
        for (char& c : a.Name) c = Up(c);
        a.Value.assign(value);
        // The first of two attributes of one name wins, as in a browser.
        if (!a.Name.empty() && !Attr(out, a.Name)) ++out.Count;
        return true;
    });
}

}  // namespace

bool ModernTagNamed(std::string_view upperName) { return TagId(upperName) != tOther; }

void ClearModernRefs(std::vector<TModernRef>& refs) {
    for (TModernRef& r : refs) tSpareValues.push_back(std::move(r.Value));
    refs.clear();
}

bool MediaMatches(std::string_view media) {
    if (LowerTrim(media).empty()) return true;
    size_t i = 0;
    while (i <= media.size()) {
        size_t comma = media.find(',', i);
        if (comma == std::string_view::npos) comma = media.size();
        if (QueryMatches(media.substr(i, comma - i))) return true;
        i = comma + 1;
    }
    return false;
}

std::string PickSrcset(std::string_view srcset, std::string_view sizes, std::string_view src) {
    bool hasWidth = false;
    std::vector<TCandidate> c = ParseSrcset(srcset, sizes, hasWidth);
    const bool has1x = std::any_of(c.begin(), c.end(), [](const TCandidate& k) { return k.Density == 1; });
    if (!src.empty() && !hasWidth && !has1x) c.push_back({std::string(src), 1});
    if (c.empty()) return std::string();
    // Stable: of equal densities the first written wins.
    std::stable_sort(c.begin(), c.end(),
                     [](const TCandidate& a, const TCandidate& b) { return a.Density < b.Density; });
    size_t i = 0;
    while (i + 1 < c.size() && c[i].Density < 1) ++i;
    // Between two candidates around the device ratio the browser takes the
    // smaller one when the ratio lies below their geometric mean.
    if (i > 0 && c[i - 1].Density < 1 && c[i].Density > 1 && std::sqrt(c[i - 1].Density * c[i].Density) >= 1) --i;
    return c[i].Url;
}

void ModernTagRefs(const std::string& tag, std::string_view text, const TTagFacts& facts, const char* data,
                   int64_t& pos, int64_t len, TModernPageState& st, std::vector<TModernRef>& out) {
    const TTagId id = TagId(tag);
    // Elements whose content is not markup.
    if (id == tScript) {
        thread_local TAttrList a;
        ParseAttributesInto(text, a);
        if (ScriptTypeRuns(a) && !Attr(a, "NOMODULE")) AddRef(out, TModernUse::Part, pkScript, Attr(a, "SRC"));
        SkipRawText(data, pos, len, "SCRIPT");
        return;
    }
    if (id == tStyle) {
        thread_local TAttrList a;
        ParseAttributesInto(text, a);
        const int64_t from = pos;
        const int64_t end = SkipRawText(data, pos, len, "STYLE");
        // A browser reads a <style> whatever its media and fetches its
        // imports; a media that does not match only keeps it from applying.
        std::string css(data + from, static_cast<size_t>(end - from));
        if (st.Utf8) css = platform::Utf8ToCp932CharRefs(css);
        const size_t before = out.size();
        AddRef(out, TModernUse::StyleText, pkStyleSheet, &css);
        if (const std::string* media = Attr(a, "MEDIA"); media && out.size() > before)
            out.back().Applies = MediaMatches(*media);
        return;
    }
    if (id == tRaw || id == tIframe) {
        if (id == tIframe) {
            thread_local TAttrList a;
            ParseAttributesInto(text, a);
            if (!Attr(a, "SRCDOC")) AddRef(out, TModernUse::Frame, pkFrame, Attr(a, "SRC"));
            if (const std::string* style = Attr(a, "STYLE")) AddRef(out, TModernUse::StyleText, pkStyleSheet, style);
        }
        SkipRawText(data, pos, len, tag);
        return;
    }

    thread_local TAttrList a;
    bool parsed = false;
    auto attrs = [&]() -> const TAttrList& {
        if (!parsed) {
            ParseAttributesInto(text, a);
            parsed = true;
        }
        return a;
    };

    if (id == tImg) {
        std::string pick;
        if (st.InPicture && st.PictureChosen) {
            pick = st.PictureUrl;
        } else if (!facts.MaybeSrcset) {
            pick = facts.Src;  // most images: read with the tag's id and class
        } else {
            const TAttrList& x = attrs();
            if (const std::string* set = Attr(x, "SRCSET"))
                pick = PickSrcset(*set, AttrOr(x, "SIZES"), AttrOr(x, "SRC"));
            else pick = AttrOr(x, "SRC");
        }
        AddRef(out, TModernUse::Part, pkImage, &pick);
    } else if (id == tPicture) {
        st.InPicture = true;
        st.PictureChosen = false;
        st.PictureUrl.clear();
    } else if (id == tSource) {
        const TAttrList& x = attrs();
        if (st.InPicture) {
            if (!st.PictureChosen && MediaMatches(AttrOr(x, "MEDIA")) && ImageTypeSupported(AttrOr(x, "TYPE"))) {
                std::string pick = PickSrcset(AttrOr(x, "SRCSET"), AttrOr(x, "SIZES"), "");
                if (!pick.empty()) {
                    st.PictureChosen = true;
                    st.PictureUrl = std::move(pick);
                }
            }
        } else if (st.MediaDepth > 0 && !st.MediaChosen && MediaTypeSupported(AttrOr(x, "TYPE"))) {
            if (const std::string* src = Attr(x, "SRC"); src && !src->empty()) {
                st.MediaChosen = true;
                AddRef(out, TModernUse::Part, pkMedia, src);
            }
        }
    } else if (id == tVideo || id == tAudio) {
        const TAttrList& x = attrs();
        if (id == tVideo) AddRef(out, TModernUse::Part, pkImage, Attr(x, "POSTER"));
        if (MediaLoads(x)) {
            ++st.MediaDepth;
            st.MediaChosen = false;
            if (const std::string* src = Attr(x, "SRC"); src && !src->empty()) {
                st.MediaChosen = true;
                AddRef(out, TModernUse::Part, pkMedia, src);
            }
        } else {
            // Sources of an element that loads nothing are passed over.
            ++st.MediaDepth;
            st.MediaChosen = true;
        }
    } else if (id == tLink) {
        if (LinkMayLoad(text, tag.size(), facts.Rel)) LinkRefs(attrs(), out);
    } else if (id == tInput) {
        const TAttrList& x = attrs();
        if (LowerTrim(AttrOr(x, "TYPE")) == "image") AddRef(out, TModernUse::Part, pkImage, Attr(x, "SRC"));
    } else if (id == tFrame) {
        AddRef(out, TModernUse::Frame, pkFrame, Attr(attrs(), "SRC"));
    } else if (id == tObject) {
        const std::string* d = Attr(attrs(), "DATA");
        if (d && !d->empty()) AddRef(out, TModernUse::Part, KindByExtension(*d), d);
    } else if (id == tEmbed) {
        const std::string* d = Attr(attrs(), "SRC");
        if (d && !d->empty()) AddRef(out, TModernUse::Part, KindByExtension(*d), d);
    } else if (id == tBackground) {
        if (!facts.Background.empty()) {
            const std::string background(facts.Background);
            AddRef(out, TModernUse::Part, pkImage, &background);
        }
    } else if (id == tAnchor) {
        // The most common tag with an address: its attribute was read with
        // the tag's id and class.
        thread_local std::string href;
        href.assign(facts.Href);
        AddRef(out, TModernUse::Link, pkPage, &href);
    } else if (id == tBase) {
        if (!st.BaseSeen) {
            const std::string* href = Attr(attrs(), "HREF");
            if (href) {
                st.BaseSeen = true;
                AddRef(out, TModernUse::Base, pkPage, href);
            }
        }
    } else if (id == tMeta && HasWordNoCase(text, "refresh")) {
        const TAttrList& x = attrs();
        if (LowerTrim(AttrOr(x, "HTTP-EQUIV")) == "refresh") {
            const std::string content = AttrOr(x, "CONTENT");
            std::string upper = content;
            for (char& c : upper) c = Up(c);
            const size_t at = upper.find("URL=");
            if (at != std::string::npos) {
                std::string url = content.substr(at + 4);
                while (!url.empty() && (url.front() == '\'' || url.front() == '"')) url.erase(0, 1);
                while (!url.empty() && (url.back() == '\'' || url.back() == '"')) url.pop_back();
                AddRef(out, TModernUse::Link, pkPage, &url);
            }
        }
    }
    if (facts.MaybeStyle && text.find('(') != std::string_view::npos) {
        if (const std::string* style = Attr(attrs(), "STYLE"); style && style->find('(') != std::string::npos)
            AddRef(out, TModernUse::StyleText, pkStyleSheet, style);
    }
}

void ModernEndTag(std::string_view tag, TModernPageState& st) {
    // Only PICTURE, VIDEO and AUDIO close a state.
    if (tag.empty()) return;
    const char first = static_cast<char>(tag[0] & ~0x20);
    if (first != 'P' && first != 'V' && first != 'A') return;
    // The name runs to a blank or ">"; compared without a copy.
    size_t n = 0;
    while (n < tag.size() && !IsWs(static_cast<unsigned char>(tag[n])) && tag[n] != '>') ++n;
    auto is = [&](std::string_view name) {
        if (n != name.size()) return false;
        for (size_t i = 0; i < n; ++i)
            if (Up(tag[i]) != name[i]) return false;
        return true;
    };
    if (is("PICTURE")) {
        st.InPicture = false;
        st.PictureChosen = false;
    } else if ((is("VIDEO") || is("AUDIO")) && st.MediaDepth > 0) {
        --st.MediaDepth;
        st.MediaChosen = st.MediaDepth > 0;
    }
}

bool ModernRefToPath(std::string_view value, bool decodeCharRefs, std::string& path) {
    // Most addresses need none of the steps below but the cut at "#".
    // By byte: 1 ends the path ("#", "?"), 2 needs the steps below.
    static constexpr auto kStop = [] {
        std::array<uint8_t, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[static_cast<size_t>(c)] = (c == '#' || c == '?')                                         ? 1
                                        : (c <= 0x20 || c >= 0x80 || c == '&' || c == '%' || c == '<') ? 2
                                                                                                       : 0;
        return t;
    }();
    bool plain = !value.empty() && static_cast<unsigned char>(value.front()) > 0x20;
    size_t end = value.size();
    for (size_t i = 0; i < value.size() && plain; ++i) {
        const uint8_t stop = kStop[static_cast<unsigned char>(value[i])];
        if (stop == 1) {
            end = i;
            break;
        }
        plain = stop == 0;
    }
    if (plain) {
        path.assign(value.substr(0, end));
        return true;
    }
    std::string s = decodeCharRefs ? DecodeCharRefs(value) : std::string(value);
    // A URL parser removes tabs and line ends anywhere and blanks at the ends.
    std::string t;
    t.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (platform::IsSjisLead(c) && i + 1 < s.size()) {
            t += s[i];
            t += s[++i];
            continue;
        }
        if (c == '\t' || c == '\n' || c == '\r') continue;
        t += static_cast<char>(c);
    }
    size_t a = 0, b = t.size();
    while (a < b && static_cast<unsigned char>(t[a]) <= 0x20) ++a;
    while (b > a && static_cast<unsigned char>(t[b - 1]) <= 0x20) --b;
    t = t.substr(a, b - a);
    // A file address has no query, and the fragment names no file.
    for (size_t i = 0; i < t.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (platform::IsSjisLead(c)) {
            ++i;
        } else if (c == '?' || c == '#') {
            t.resize(i);
            break;
        }
    }
    bool ok = t.find("<U+") == std::string::npos;
    // Percent escapes are UTF-8 bytes; runs of them convert as one.
    path.clear();
    size_t i = 0;
    while (i < t.size()) {
        if (t[i] == '%' && i + 2 < t.size() + 0 && HexValue(t[i + 1]) >= 0 && HexValue(t[i + 2]) >= 0) {
            std::string bytes;
            while (i + 2 < t.size() + 0 && t[i] == '%' && HexValue(t[i + 1]) >= 0 && HexValue(t[i + 2]) >= 0) {
                bytes += static_cast<char>(HexValue(t[i + 1]) * 16 + HexValue(t[i + 2]));
                i += 3;
            }
            if (IsUtf8WithMultibyte(bytes)) {
                if (auto sj = platform::Utf8ToCp932Strict(bytes)) {
                    path += *sj;
                } else {
                    path += platform::Utf8ToCp932(bytes);
                    ok = false;
                }
            } else {
                path += bytes;  // ASCII, or bytes of a legacy page kept as written
            }
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(t[i]);
        path += t[i++];
        if (platform::IsSjisLead(c) && i < t.size()) path += t[i++];
    }
    return ok;
}

std::string DecodeModernText(std::string_view text) { return DecodeCharRefs(text); }

uint8_t KindByExtension(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return pkOther;
    std::string ext = LowerTrim(path.substr(dot + 1));
    const size_t cut = ext.find_first_of("?#");
    if (cut != std::string::npos) ext.resize(cut);
    static const char* const images[] = {"gif", "png", "jpg", "jpeg", "webp", "avif", "svg", "bmp", "ico", "apng"};
    static const char* const media[] = {"mp3", "mp4",  "webm", "ogg", "ogv",  "oga", "wav",
                                        "mid", "midi", "m4a",  "aac", "flac", "mov"};
    static const char* const pages[] = {"htm", "html", "xhtml"};
    for (const char* e : images)
        if (ext == e) return pkImage;
    for (const char* e : media)
        if (ext == e) return pkMedia;
    for (const char* e : pages)
        if (ext == e) return pkFrame;
    return pkOther;
}
