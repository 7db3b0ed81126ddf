#include "engine/UCharsetSniff.h"

#include <cstdio>
#include <cstring>

#include "engine/YKKanjiLib.h"
#include "platform/Encoding.h"

namespace {

unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string LowerTrim(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && (IsSpace(static_cast<unsigned char>(s[a])) || s[a] == '"' || s[a] == '\'')) ++a;
    while (b > a && (IsSpace(static_cast<unsigned char>(s[b - 1])) || s[b - 1] == '"' || s[b - 1] == '\'')) --b;
    std::string r;
    for (size_t i = a; i < b; ++i) r += static_cast<char>(Lower(static_cast<unsigned char>(s[i])));
    return r;
}

bool StartsNoCase(std::string_view s, size_t at, std::string_view lowerWord) {
    if (at + lowerWord.size() > s.size()) return false;
    for (size_t i = 0; i < lowerWord.size(); ++i)
        if (Lower(static_cast<unsigned char>(s[at + i])) != static_cast<unsigned char>(lowerWord[i])) return false;
    return true;
}

// The attributes of the tag that starts at s[at] (after "<meta"), as the
// prescan of a browser reads them: name, value; stops at ">". Both are
// views into the page; the name is compared without regard to case.
struct TAttr {
    std::string_view name, value;
    bool Is(std::string_view lowerWord) const {
        return name.size() == lowerWord.size() && StartsNoCase(name, 0, lowerWord);
    }
};

size_t ReadAttr(std::string_view s, size_t i, TAttr& a) {
    a.name = a.value = {};
    while (i < s.size() && (IsSpace(static_cast<unsigned char>(s[i])) || s[i] == '/')) ++i;
    if (i >= s.size() || s[i] == '>') return i;
    const size_t nameFrom = i;
    while (i < s.size() && !IsSpace(static_cast<unsigned char>(s[i])) && s[i] != '=' && s[i] != '>' &&
           !(s[i] == '/' && i > nameFrom))
        ++i;
    a.name = s.substr(nameFrom, i - nameFrom);
    while (i < s.size() && IsSpace(static_cast<unsigned char>(s[i]))) ++i;
    if (i >= s.size() || s[i] != '=') return i;
    ++i;
    while (i < s.size() && IsSpace(static_cast<unsigned char>(s[i]))) ++i;
    size_t from = i;
    if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
        const char q = s[i++];
        from = i;
        while (i < s.size() && s[i] != q) ++i;
        a.value = s.substr(from, i - from);
        if (i < s.size()) ++i;
    } else {
        while (i < s.size() && !IsSpace(static_cast<unsigned char>(s[i])) && s[i] != '>') ++i;
        a.value = s.substr(from, i - from);
    }
    return i;
}

// The charset named in a Content-Type value: "text/html; charset=UTF-8".
std::string CharsetFromContent(std::string_view content) {
    for (size_t i = 0; i + 7 <= content.size(); ++i) {
        if (!StartsNoCase(content, i, "charset")) continue;
        size_t j = i + 7;
        while (j < content.size() && IsSpace(static_cast<unsigned char>(content[j]))) ++j;
        if (j >= content.size() || content[j] != '=') continue;
        ++j;
        size_t k = j;
        while (k < content.size() && content[k] != ';' && !IsSpace(static_cast<unsigned char>(content[k]))) ++k;
        return std::string(content.substr(j, k - j));
    }
    return {};
}

}  // namespace

int CharsetLabelCode(std::string_view label) {
    const std::string l = LowerTrim(label);
    if (l == "utf-8" || l == "utf8" || l == "unicode-1-1-utf-8" || l == "unicode11utf8" || l == "x-unicode20utf8")
        return KanjiCodeUtf8;
    if (l == "shift_jis" || l == "shift-jis" || l == "sjis" || l == "ms_kanji" || l == "ms932" || l == "cp932" ||
        l == "windows-31j" || l == "x-sjis" || l == "csshiftjis")
        return KanjiCodeSjis;
    if (l == "euc-jp" || l == "x-euc-jp" || l == "eucjp" || l == "cseucpkdfmtjapanese") return KanjiCodeEuc;
    if (l == "iso-2022-jp" || l == "csiso2022jp" || l == "jis") return KanjiCodeJis;
    return -1;
}

bool IsUtf8WithMultibyte(std::string_view s) {
    bool multi = false;
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        // Eight bytes at a time through the ASCII runs.
        while (i + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, s.data() + i, 8);
            if (w & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= n) break;
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        multi = true;
        i += len;
    }
    return multi;
}

int DeclaredPageEncoding(std::string_view raw) {
    if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") return KanjiCodeUtf8;
    const std::string_view head = raw.substr(0, 1024);
    int metaCharset = -1, httpEquiv = -1;
    for (size_t i = 0; (i = head.find('<', i)) != std::string_view::npos; ++i) {
        if (head.substr(i, 4) == "<!--") {
            const size_t end = head.find("-->", i + 4);
            if (end == std::string_view::npos) break;
            i = end + 2;
            continue;
        }
        if (!StartsNoCase(head, i + 1, "meta") || i + 5 >= head.size() ||
            !(IsSpace(static_cast<unsigned char>(head[i + 5])) || head[i + 5] == '/'))
            continue;
        size_t j = i + 5;
        TAttr a;
        std::string_view charset, content;
        bool contentType = false;
        while (j < head.size() && head[j] != '>') {
            const size_t next = ReadAttr(head, j, a);
            if (a.Is("charset") && charset.empty()) charset = a.value;
            else if (a.Is("content") && content.empty()) content = a.value;
            else if (a.Is("http-equiv")) contentType = LowerTrim(a.value) == "content-type";
            if (next == j) ++j;
            else j = next;
        }
        if (metaCharset < 0 && !charset.empty()) metaCharset = CharsetLabelCode(charset);
        if (httpEquiv < 0 && contentType) httpEquiv = CharsetLabelCode(CharsetFromContent(content));
        i = j;
    }
    if (metaCharset >= 0) return metaCharset;
    if (httpEquiv >= 0) return httpEquiv;
    if (head.substr(0, 5) == "<?xml") {
        const size_t end = head.find("?>");
        const std::string_view decl = head.substr(0, end);
        const size_t at = decl.find("encoding");
        if (at != std::string_view::npos) {
            size_t j = decl.find_first_of("\"'", at);
            if (j != std::string_view::npos) {
                const size_t k = decl.find(decl[j], j + 1);
                if (k != std::string_view::npos) return CharsetLabelCode(decl.substr(j + 1, k - j - 1));
            }
        }
    }
    return -1;
}

int SniffPageEncoding(std::string_view raw) {
    const int declared = DeclaredPageEncoding(raw);
    if (declared >= 0) return declared;
    if (IsUtf8WithMultibyte(raw)) return KanjiCodeUtf8;
    return DetectKanjiCode(raw);
}

std::string_view Utf8PageBody(std::string_view raw) {
    if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
    return raw;
}

std::string PageTextToSjis(std::string_view raw, int code) {
    platform::TTextBuffer out;
    return std::string(PageTextToSjis(raw, code, out));
}

std::string_view PageTextToSjis(std::string_view raw, int code, platform::TTextBuffer& out) {
    switch (code) {
        case KanjiCodeJis:
            out.Assign(JISToSJIS(raw));
            return out.View();
        case KanjiCodeEuc:
            out.Assign(EUCToSJIS(raw));
            return out.View();
        case KanjiCodeUtf8:
            // Many pages that say UTF-8 hold ASCII only (Doxygen's do).
            if (platform::IsAscii(raw)) return raw;
            platform::Utf8ToCp932CharRefs(Utf8PageBody(raw), out);
            return out.View();
        default:
            return raw;
    }
}

void AppendCodePointSjis(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
        return;
    }
    std::string u;
    if (cp < 0x800) {
        u += static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        u += static_cast<char>(0xE0 | (cp >> 12));
        u += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
        u += static_cast<char>(0xF0 | (cp >> 18));
        u += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        u += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    u += static_cast<char>(0x80 | (cp & 0x3F));
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "<U+%04X>", cp);
        out += tag;
        return;
    }
    out += platform::Utf8ToCp932(u);
}
