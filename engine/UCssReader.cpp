#include "engine/UCssReader.h"

#include "engine/UCharsetSniff.h"
#include "engine/UModernPage.h"
#include "platform/Encoding.h"

namespace {

enum class TTok : uint8_t {
    Ident,
    Function,
    AtKeyword,
    String,
    Url,
    Colon,
    Semicolon,
    Comma,
    LBrace,
    RBrace,
    RParen,
    Space,
    Other
};

struct TToken {
    TTok Type;
    std::string Text;  // name, string value or url; lower-cased for names
    size_t Pos = 0;    // where it starts in the sheet
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
        out.reserve(s_.size() / 4 + 1);  // sheets hold a token per few bytes
        size_t marked = 0, start = 0;
        while (p_ < s_.size()) {
            for (; marked < out.size(); ++marked) out[marked].Pos = start;
            start = p_;
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
                if (platform::IsSjisLead(c) && p_ < s_.size()) ++p_;
                switch (c) {
                    case ':':
                        Push(out, TTok::Colon);
                        break;
                    case ';':
                        Push(out, TTok::Semicolon);
                        break;
                    case ',':
                        Push(out, TTok::Comma);
                        break;
                    case '{':
                        Push(out, TTok::LBrace);
                        break;
                    case '}':
                        Push(out, TTok::RBrace);
                        break;
                    case ')':
                        Push(out, TTok::RParen);
                        break;
                    case '(':
                        Push(out, TTok::Function);
                        break;  // a bare block counts as a nameless function
                    default:
                        Push(out, TTok::Other);
                        break;
                }
            }
        }
        for (; marked < out.size(); ++marked) out[marked].Pos = start;
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
        if (platform::IsSjisLead(c) && p_ < s_.size()) out += s_[p_++];
    }

    // The plain ASCII name bytes from p_ on, taken at once.
    void CopyPlainName(std::string& v) {
        size_t q = p_;
        while (q < s_.size() && Byte(q) < 0x80 && IsNameByte(Byte(q))) ++q;
        v.append(s_.data() + p_, q - p_);
        p_ = q;
    }

    std::string ReadName() {
        std::string v;
        while (p_ < s_.size()) {
            CopyPlainName(v);
            if (p_ >= s_.size()) break;
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
            // Up to the next byte that needs a look of its own.
            size_t q = p_;
            while (q < s_.size() && Byte(q) < 0x80 && s_[q] != quote && s_[q] != '\n' && s_[q] != '\\') ++q;
            v.append(s_.data() + p_, q - p_);
            p_ = q;
            if (p_ >= s_.size()) break;
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
    out.push_back({kind, std::move(url), {}, {}, true});
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

namespace {

std::string LowerTrimmed(std::string_view s) {
    while (!s.empty() && IsWs(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && IsWs(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    std::string r(s);
    for (char& ch : r)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    return r;
}

// One open block of the sheet.
struct TBlock {
    // Group: @media and the like, holding style rules; Frames: @keyframes
    // and the like, whose blocks are no style rules.
    enum TType : uint8_t { Rule, Group, FontFace, Frames, Other } Type;
    bool Active;           // its content can apply to the page
    std::string Selector;  // of the innermost style rule around it
};

}  // namespace

TCssSheet ReadCssSheet(std::string_view css) {
    const std::vector<TToken> t = TCssTokenizer(css).Run();
    TCssSheet sheet;
    std::vector<TCssRef>& out = sheet.Refs;
    std::vector<TBlock> blocks;
    // The last "src" of a face wins, as any repeated declaration does.
    std::vector<TCssRef> faceSrc;
    std::string faceFamily;
    // A browser drops an @import that follows any other rule.
    bool importAllowed = true;
    size_t preludeFrom = 0;  // the first token of the current rule's prelude
    bool declStart = true;   // the next token may begin a declaration
    auto active = [&] { return blocks.empty() || blocks.back().Active; };
    auto selector = [&]() -> const std::string& {
        static const std::string none;
        return blocks.empty() ? none : blocks.back().Selector;
    };
    // The text of a declaration's value from t[i] (after its colon) up to
    // its ";" or "}"; i ends on the last token of the value.
    auto valueText = [&](size_t& i) {
        const size_t from = i < t.size() ? t[i].Pos : css.size();
        int paren = 0;
        while (i < t.size()) {
            const TTok k = t[i].Type;
            if (paren == 0 && (k == TTok::Semicolon || k == TTok::RBrace || k == TTok::LBrace)) break;
            if (k == TTok::Function) ++paren;
            else if (k == TTok::RParen && paren > 0) --paren;
            ++i;
        }
        const size_t to = i < t.size() ? t[i].Pos : css.size();
        if (i > 0) --i;  // the ";" or "}" is the caller's
        return LowerTrimmed(css.substr(from, to > from ? to - from : 0));
    };
    for (size_t i = 0; i < t.size(); ++i) {
        const TToken& k = t[i];
        const bool atDeclStart = declStart;
        if (k.Type != TTok::Space) declStart = false;
        switch (k.Type) {
            case TTok::AtKeyword:
                if (k.Text == "import" && importAllowed && blocks.empty()) {
                    size_t j = i + 1;
                    while (j < t.size() && t[j].Type == TTok::Space) ++j;
                    std::string url;
                    const size_t before = out.size();
                    if (j < t.size() && (t[j].Type == TTok::String || UrlAt(t, j, url))) {
                        if (t[j].Type == TTok::String && url.empty()) url = t[j].Text;
                        Add(out, TCssRefKind::Import, std::move(url));
                        ++j;
                        if (j < t.size() && t[j].Type == TTok::RParen) ++j;  // of url("...")
                    }
                    const size_t mediaFrom = j < t.size() ? t[j].Pos : css.size();
                    while (j < t.size() && t[j].Type != TTok::Semicolon && t[j].Type != TTok::LBrace) ++j;
                    if (out.size() > before) {
                        const size_t mediaTo = j < t.size() ? t[j].Pos : css.size();
                        std::string media(css.substr(mediaFrom, mediaTo > mediaFrom ? mediaTo - mediaFrom : 0));
                        // A rule that names only a layer or supports() is for every medium.
                        const std::string low = LowerTrimmed(media);
                        if (low.rfind("layer", 0) != 0 && low.rfind("supports", 0) != 0)
                            out.back().Applies = MediaMatches(media);
                    }
                    i = j < t.size() && t[j].Type == TTok::LBrace ? j - 1 : j;
                    preludeFrom = i + 1;
                    declStart = true;
                }
                break;
            case TTok::LBrace: {
                if (blocks.empty()) importAllowed = false;
                size_t p = preludeFrom;
                while (p < i && t[p].Type == TTok::Space) ++p;
                const bool parentActive = active();
                TBlock b{TBlock::Rule, parentActive, selector()};
                const bool inFace = !blocks.empty() && blocks.back().Type == TBlock::FontFace;
                if (p < i && t[p].Type == TTok::AtKeyword) {
                    const std::string& name = t[p].Text;
                    const size_t condFrom = p + 1 < t.size() ? t[p + 1].Pos : css.size();
                    const std::string_view cond = css.substr(condFrom, k.Pos > condFrom ? k.Pos - condFrom : 0);
                    b.Type = TBlock::Group;
                    if (name == "media") {
                        b.Active = parentActive && MediaMatches(cond);
                    } else if (name == "supports" || name == "layer" || name == "container" || name == "scope" ||
                               name == "starting-style") {
                        // Conditions taken as met: the rules inside keep their selectors.
                    } else if (name == "font-face") {
                        b.Type = TBlock::FontFace;
                        faceSrc.clear();
                        faceFamily.clear();
                    } else if (name == "page" || name == "keyframes" || name == "-webkit-keyframes" ||
                               name == "font-feature-values" || name == "counter-style" || name == "property") {
                        b.Type = TBlock::Frames;
                        b.Selector.clear();  // applies without an element
                    } else {
                        b.Active = false;  // an at-rule a browser does not know, or drops (@document)
                    }
                } else if (inFace || (!blocks.empty() &&
                                      (blocks.back().Type == TBlock::Frames || blocks.back().Type == TBlock::Other))) {
                    b.Type = TBlock::Other;  // keyframe selectors and the like
                } else {
                    const size_t from = p < i ? t[p].Pos : k.Pos;
                    b.Selector.assign(css.substr(from, k.Pos - from));
                    while (!b.Selector.empty() && IsWs(static_cast<unsigned char>(b.Selector.back())))
                        b.Selector.pop_back();
                }
                blocks.push_back(std::move(b));
                preludeFrom = i + 1;
                declStart = true;
                break;
            }
            case TTok::RBrace:
                if (!blocks.empty()) {
                    if (blocks.back().Type == TBlock::FontFace && blocks.back().Active) {
                        for (TCssRef& r : faceSrc) r.Family = faceFamily;
                        out.insert(out.end(), faceSrc.begin(), faceSrc.end());
                    }
                    faceSrc.clear();
                    blocks.pop_back();
                }
                preludeFrom = i + 1;
                declStart = true;
                break;
            case TTok::Semicolon:
                preludeFrom = i + 1;
                declStart = true;
                break;
            case TTok::Ident:
                if (atDeclStart && (k.Text == "src" || k.Text == "font-family" || k.Text == "font")) {
                    size_t j = i + 1;
                    while (j < t.size() && t[j].Type == TTok::Space) ++j;
                    if (j >= t.size() || t[j].Type != TTok::Colon) break;
                    // Declarations without a block are a style attribute's.
                    static const TBlock kAttribute{TBlock::Rule, true, {}};
                    const TBlock& b = blocks.empty() ? kAttribute : blocks.back();
                    if (b.Type == TBlock::FontFace && k.Text == "src") {
                        i = j + 1;
                        std::vector<TCssRef> src;
                        ReadFontSrc(t, i, src);
                        if (!src.empty()) faceSrc = std::move(src);
                    } else if (b.Type == TBlock::FontFace && k.Text == "font-family") {
                        i = j + 1;
                        faceFamily = valueText(i);
                        if (faceFamily.size() >= 2 && (faceFamily[0] == '"' || faceFamily[0] == '\''))
                            faceFamily = faceFamily.substr(1, faceFamily.size() - 2);
                    } else if (b.Type == TBlock::Rule && b.Active && k.Text != "src") {
                        i = j + 1;
                        std::string value = valueText(i);
                        sheet.FontUses.push_back({b.Selector, std::move(value)});
                    }
                }
                break;
            default: {
                std::string url;
                if (UrlAt(t, i, url) && active()) {
                    const size_t before = out.size();
                    Add(out, TCssRefKind::Url, std::move(url));
                    if (out.size() > before) out.back().Selector = selector();
                }
                break;
            }
        }
    }
    // A face cut off by the end of the sheet.
    if (!blocks.empty() && blocks.back().Type == TBlock::FontFace && blocks.back().Active) {
        for (TCssRef& r : faceSrc) r.Family = faceFamily;
        out.insert(out.end(), faceSrc.begin(), faceSrc.end());
    }
    return sheet;
}
