#include "engine/UCssReader.h"

#include "engine/UCharsetSniff.h"
#include "platform/Encoding.h"

namespace {

enum class TTok : uint8_t { Ident, Function, AtKeyword, String, Url, Colon, Semicolon, Comma, LBrace, RBrace, RParen, Space, Other };

struct TToken {
    TTok Type;
    std::string Text;  // name, string value or url; lower-cased for names
};

bool IsWs(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsHex(unsigned char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
bool IsNameByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c >= 0x80;
}

class TCssTokenizer {
public:
    explicit TCssTokenizer(std::string_view s) : s_(s) {}

    std::vector<TToken> Run() {
        std::vector<TToken> out;
        while (p_ < s_.size()) {
            const unsigned char c = Byte(p_);
            if (c == '/' && p_ + 1 < s_.size() && s_[p_ + 1] == '*') {
                const size_t end = s_.find("*/", p_ + 2);
                p_ = end == std::string_view::npos ? s_.size() : end + 2;
            } else if (IsWs(c)) {
                while (p_ < s_.size() && IsWs(Byte(p_))) ++p_;
                Push(out, TTok::Space);
            } else if (c == '"' || c == '\'') {
                ++p_;
                std::string v;
                if (ReadString(c, v)) out.push_back({TTok::String, std::move(v)});
                else out.push_back({TTok::Other, {}});  // a bad string
            } else if (c == '@' && StartsName(p_ + 1)) {
                ++p_;
                out.push_back({TTok::AtKeyword, Lower(ReadName())});
            } else if (StartsName(p_)) {
                std::string name = Lower(ReadName());
                if (p_ < s_.size() && s_[p_] == '(') {
                    ++p_;
                    if (name == "url") {
                        size_t q = p_;
                        while (q < s_.size() && IsWs(Byte(q))) ++q;
                        if (q >= s_.size() || (s_[q] != '"' && s_[q] != '\'')) {
                            p_ = q;
                            std::string v;
                            if (ReadUrl(v)) out.push_back({TTok::Url, std::move(v)});
                            else out.push_back({TTok::Other, {}});
                            continue;
                        }
                    }
                    out.push_back({TTok::Function, std::move(name)});
                } else {
                    out.push_back({TTok::Ident, std::move(name)});
                }
            } else {
                ++p_;
                if (IsSjisLead(c) && p_ < s_.size()) ++p_;
                switch (c) {
                    case ':': Push(out, TTok::Colon); break;
                    case ';': Push(out, TTok::Semicolon); break;
                    case ',': Push(out, TTok::Comma); break;
                    case '{': Push(out, TTok::LBrace); break;
                    case '}': Push(out, TTok::RBrace); break;
                    case ')': Push(out, TTok::RParen); break;
                    case '(': Push(out, TTok::Function); break;  // a bare block counts as a nameless function
                    default: Push(out, TTok::Other); break;
                }
            }
        }
        return out;
    }

private:
    unsigned char Byte(size_t i) const { return static_cast<unsigned char>(s_[i]); }
    static void Push(std::vector<TToken>& out, TTok t) { out.push_back({t, {}}); }
    static std::string Lower(std::string s) {
        for (char& ch : s)
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
        return s;
    }

    bool ValidEscape(size_t i) const { return i + 1 < s_.size() && s_[i] == '\\' && s_[i + 1] != '\n'; }
    bool StartsName(size_t i) const {
        if (i >= s_.size()) return false;
        const unsigned char c = Byte(i);
        if (c == '-') {
            if (i + 1 >= s_.size()) return false;
            const unsigned char d = Byte(i + 1);
            return d == '-' || (IsNameByte(d) && !(d >= '0' && d <= '9')) || ValidEscape(i + 1);
        }
        return (IsNameByte(c) && !(c >= '0' && c <= '9')) || ValidEscape(i);
    }

    // After the backslash: a hex code point (up to six digits and one
    // blank) or the character itself.
    void ReadEscape(std::string& out) {
        if (p_ >= s_.size()) {
            AppendCodePointSjis(out, 0xFFFD);
            return;
        }
        if (IsHex(Byte(p_))) {
            uint32_t cp = 0;
            int n = 0;
            while (n < 6 && p_ < s_.size() && IsHex(Byte(p_))) {
                const unsigned char h = Byte(p_++);
                cp = cp * 16 + static_cast<uint32_t>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                ++n;
            }
            if (p_ < s_.size() && IsWs(Byte(p_))) {
                if (s_[p_] == '\r' && p_ + 1 < s_.size() && s_[p_ + 1] == '\n') ++p_;
                ++p_;
            }
            if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
            AppendCodePointSjis(out, cp);
            return;
        }
        CopyChar(out);
    }

    void CopyChar(std::string& out) {
        const unsigned char c = Byte(p_);
        out += static_cast<char>(c);
        ++p_;
        if (IsSjisLead(c) && p_ < s_.size()) out += s_[p_++];
    }

    std::string ReadName() {
        std::string v;
        while (p_ < s_.size()) {
            if (ValidEscape(p_)) {
                ++p_;
                ReadEscape(v);
            } else if (IsNameByte(Byte(p_))) {
                CopyChar(v);
            } else {
                break;
            }
        }
        return v;
    }

    // After the opening quote. False for a string cut by a line end.
    bool ReadString(unsigned char quote, std::string& v) {
        while (p_ < s_.size()) {
            const unsigned char c = Byte(p_);
            if (c == quote) {
                ++p_;
                return true;
            }
            if (c == '\n') return false;
            if (c == '\\') {
                ++p_;
                if (p_ >= s_.size()) break;
                if (s_[p_] == '\n') {
                    ++p_;  // an escaped line end continues the string
                    continue;
                }
                ReadEscape(v);
                continue;
            }
            CopyChar(v);
        }
        return true;  // the end of the sheet closes the string
    }

    // After "url(" and any blanks: up to ")". False for a bad url, whose
    // rest is passed over up to the ")".
    bool ReadUrl(std::string& v) {
        while (p_ < s_.size()) {
            const unsigned char c = Byte(p_);
            if (c == ')') {
                ++p_;
                return true;
            }
            if (IsWs(c)) {
                while (p_ < s_.size() && IsWs(Byte(p_))) ++p_;
                if (p_ >= s_.size() || s_[p_] == ')') {
                    if (p_ < s_.size()) ++p_;
                    return true;
                }
                break;
            }
            if (c == '"' || c == '\'' || c == '(' || c < 0x09) break;
            if (c == '\\') {
                if (!ValidEscape(p_)) break;
                ++p_;
                ReadEscape(v);
                continue;
            }
            CopyChar(v);
        }
        if (p_ >= s_.size()) return true;  // the end of the sheet closes the url
        // Bad url: skip to the closing parenthesis, escapes included.
        while (p_ < s_.size() && s_[p_] != ')') p_ += (s_[p_] == '\\' && p_ + 1 < s_.size()) ? 2 : 1;
        if (p_ < s_.size()) ++p_;
        return false;
    }

    std::string_view s_;
    size_t p_ = 0;
};

// The address of one component value: a url token or url("...").
bool UrlAt(const std::vector<TToken>& t, size_t& i, std::string& url) {
    if (t[i].Type == TTok::Url) {
        url = t[i].Text;
        return true;
    }
    if (t[i].Type == TTok::Function && t[i].Text == "url") {
        size_t j = i + 1;
        while (j < t.size() && t[j].Type == TTok::Space) ++j;
        if (j < t.size() && t[j].Type == TTok::String) {
            url = t[j].Text;
            i = j;
            return true;
        }
    }
    return false;
}

void Add(std::vector<TCssRef>& out, TCssRefKind kind, std::string url) {
    if (url.empty() || url[0] == '#') return;  // the document itself (SVG fragment)
    out.push_back({kind, std::move(url)});
}

// An @font-face "src" value from t[i] (after the colon) to its ";" or "}":
// the first source a browser downloads. i ends on the last token read.
void ReadFontSrc(const std::vector<TToken>& t, size_t& i, std::vector<TCssRef>& out) {
    std::string url, format;
    bool hasUrl = false, hasFormat = false, done = false;
    int depth = 0;
    auto finish = [&] {
        if (!done && hasUrl && (!hasFormat || IsSupportedFontFormat(format))) {
            Add(out, TCssRefKind::Font, url);
            done = true;
        }
        hasUrl = hasFormat = false;
        url.clear();
        format.clear();
    };
    for (; i < t.size(); ++i) {
        const TToken& k = t[i];
        if (depth == 0 && (k.Type == TTok::Semicolon || k.Type == TTok::RBrace)) break;
        if (depth == 0 && k.Type == TTok::Comma) {
            finish();
            continue;
        }
        std::string u;
        if (depth == 0 && UrlAt(t, i, u)) {
            url = std::move(u);
            hasUrl = true;
            if (t[i].Type == TTok::String) ++depth;  // url("...") still owes its ")"
            continue;
        }
        if (k.Type == TTok::Function) {
            if (depth == 0 && k.Text == "format") {
                hasFormat = true;
                for (size_t j = i + 1; j < t.size() && t[j].Type != TTok::RParen; ++j)
                    if ((t[j].Type == TTok::String || t[j].Type == TTok::Ident) && format.empty()) format = t[j].Text;
                for (char& ch : format)
                    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
            }
            ++depth;
        } else if (k.Type == TTok::RParen && depth > 0) {
            --depth;
        }
    }
    finish();
    if (i > 0 && i >= t.size()) i = t.size() - 1;
    else if (i < t.size()) --i;  // the ";" or "}" is the caller's
}

}  // namespace

bool IsSupportedFontFormat(std::string_view f) {
    return f == "woff2" || f == "woff" || f == "truetype" || f == "opentype" || f == "woff2-variations" ||
           f == "woff-variations" || f == "truetype-variations" || f == "opentype-variations" || f == "collection";
}

std::vector<TCssRef> ReadCssRefs(std::string_view css) {
    const std::vector<TToken> t = TCssTokenizer(css).Run();
    std::vector<TCssRef> out;
    int depth = 0, fontFaceDepth = -1;
    bool pendingFontFace = false;
    // The last "src" of a face wins, as any repeated declaration does.
    std::vector<TCssRef> faceSrc;
    // A browser drops an @import that follows any other rule.
    bool importAllowed = true;
    for (size_t i = 0; i < t.size(); ++i) {
        const TToken& k = t[i];
        switch (k.Type) {
            case TTok::AtKeyword:
                if (k.Text == "import" && importAllowed && depth == 0) {
                    size_t j = i + 1;
                    while (j < t.size() && t[j].Type == TTok::Space) ++j;
                    std::string url;
                    if (j < t.size() && (t[j].Type == TTok::String || UrlAt(t, j, url))) {
                        if (t[j].Type == TTok::String && url.empty()) url = t[j].Text;
                        Add(out, TCssRefKind::Import, std::move(url));
                    }
                    // The rest of the rule (media queries) names nothing to fetch.
                    while (j < t.size() && t[j].Type != TTok::Semicolon && t[j].Type != TTok::LBrace) ++j;
                    i = j < t.size() && t[j].Type == TTok::LBrace ? j - 1 : j;
                } else if (k.Text == "font-face") {
                    pendingFontFace = true;
                }
                break;
            case TTok::LBrace:
                if (depth == 0) importAllowed = false;
                ++depth;
                if (pendingFontFace) fontFaceDepth = depth;
                pendingFontFace = false;
                break;
            case TTok::RBrace:
                if (depth == fontFaceDepth) {
                    fontFaceDepth = -1;
                    out.insert(out.end(), faceSrc.begin(), faceSrc.end());
                    faceSrc.clear();
                }
                if (depth > 0) --depth;
                break;
            case TTok::Semicolon: pendingFontFace = false; break;
            case TTok::Ident:
                if (fontFaceDepth >= 0 && depth == fontFaceDepth && k.Text == "src") {
                    size_t j = i + 1;
                    while (j < t.size() && t[j].Type == TTok::Space) ++j;
                    if (j < t.size() && t[j].Type == TTok::Colon) {
                        i = j + 1;
                        std::vector<TCssRef> src;
                        ReadFontSrc(t, i, src);
                        if (!src.empty()) faceSrc = std::move(src);
                    }
                }
                break;
            default: {
                std::string url;
                if (UrlAt(t, i, url)) Add(out, TCssRefKind::Url, std::move(url));
                break;
            }
        }
    }
    out.insert(out.end(), faceSrc.begin(), faceSrc.end());  // a face cut off by the end of the sheet
    return out;
}
