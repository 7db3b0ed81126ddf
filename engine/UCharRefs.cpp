#include "engine/UCharRefs.h"

const TCharRefEntry CharRefTable[CharRefCount] = {
    {"lt", 60},      {"gt", 62},      {"amp", 38},     {"quot", 34},    {"nbsp", 160},   {"iexcl", 161},
    {"cent", 162},   {"pound", 163},  {"curren", 164}, {"yen", 165},    {"brvbar", 166}, {"sect", 167},
    {"uml", 168},    {"copy", 169},   {"ordf", 170},   {"laquo", 171},  {"not", 172},    {"shy", 173},
    {"reg", 174},    {"macr", 175},   {"deg", 176},    {"plusmn", 177}, {"sup2", 178},   {"sup3", 179},
    {"acute", 180},  {"micro", 181},  {"para", 182},   {"middot", 183}, {"cedil", 184},  {"sup1", 185},
    {"ordm", 186},   {"raquo", 187},  {"frac14", 188}, {"frac12", 189}, {"frac34", 190}, {"iquest", 191},
    {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194},  {"Atilde", 195}, {"Auml", 196},   {"Aring", 197},
    {"AElig", 198},  {"Ccedil", 199}, {"Egrave", 200}, {"Eacute", 201}, {"Ecirc", 202},  {"Euml", 203},
    {"Igrave", 204}, {"Iacute", 205}, {"Icirc", 206},  {"Iuml", 207},   {"ETH", 208},    {"Ntilde", 209},
    {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212},  {"Otilde", 213}, {"Ouml", 214},   {"times", 215},
    {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219},  {"Uuml", 220},   {"Yacute", 221},
    {"THORN", 222},  {"szlig", 223},  {"agrave", 224}, {"aacute", 225}, {"acirc", 226},  {"atilde", 227},
    {"auml", 228},   {"aring", 229},  {"aelig", 230},  {"ccedil", 231}, {"egrave", 232}, {"eacute", 233},
    {"ecirc", 234},  {"euml", 235},   {"igrave", 236}, {"iacute", 237}, {"icirc", 238},  {"iuml", 239},
    {"eth", 240},    {"ntilde", 241}, {"ograve", 242}, {"oacute", 243}, {"ocirc", 244},  {"otilde", 245},
    {"ouml", 246},   {"divide", 247}, {"oslash", 248}, {"ugrave", 249}, {"uacute", 250}, {"ucirc", 251},
    {"uuml", 252},   {"yacute", 253}, {"thorn", 254},  {"yuml", 255},
};

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The byte of a reference name, or -1 when the name is no reference.
int ReferenceByte(std::string_view name) {
    if (name.empty()) return -1;
    if (name[0] != '#') {
        for (const TCharRefEntry& e : CharRefTable)
            if (name == e.Name) return e.Code;
        return -1;
    }
    // Decimal digits, or "$" and hexadecimal digits; nothing else (no blanks
    // or signs). The value is capped as it grows so long runs cannot overflow.
    std::string_view digits = name.substr(1);
    int base = 10;
    if (!digits.empty() && digits[0] == '$') {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty()) return -1;
    int value = 0;
    for (char c : digits) {
        int d = base == 16 ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) return -1;
        value = value * base + d;
        if (value > 255) value = 256;
    }
    return value <= 255 ? value : -1;
}

void CutAtZero(std::string& s) {
    size_t z = s.find('\0');
    if (z != std::string::npos) s.resize(z);
}

}  // namespace

std::string DecodeCharRefs(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, amp - i));
        size_t semi = text.find(';', amp + 1);
        if (semi == std::string_view::npos) {
            out.append(text.substr(amp));
            break;
        }
        int b = ReferenceByte(text.substr(amp + 1, semi - amp - 1));
        if (b >= 0) out.push_back(static_cast<char>(b));
        else out.append(text.substr(amp, semi + 1 - amp));
        i = semi + 1;
    }
    CutAtZero(out);
    return out;
}

std::string UnescapeAttrValue(std::string_view value) {
    // Restarting the search at the front after every escape, as the plain
    // description goes, is quadratic. Everything before the escape just
    // handled is free of "%", so the only byte that can take part again is
    // the one the escape produced: when that is "%", it is held back and
    // treated as the next escape's "%".
    std::string out;
    out.reserve(value.size());
    const size_t n = value.size();
    size_t i = 0;
    bool heldPercent = false;
    for (;;) {
        if (!heldPercent) {
            if (i >= n) break;
            size_t pct = value.find('%', i);
            if (pct == std::string_view::npos) {
                out.append(value.substr(i));
                break;
            }
            out.append(value.substr(i, pct - i));
            i = pct + 1;
        }
        heldPercent = false;
        size_t len = n - i < 2 ? n - i : 2;
        int hi = len >= 1 ? HexDigit(value[i]) : -1;
        int lo = len == 2 ? HexDigit(value[i + 1]) : 0;
        i += len;
        if (hi < 0 || lo < 0) continue;  // not an escape: dropped with its code
        int byte = len == 2 ? hi * 16 + lo : hi;
        if (byte == '%') heldPercent = true;
        else out.push_back(static_cast<char>(byte));
    }
    return DecodeCharRefs(out);
}
