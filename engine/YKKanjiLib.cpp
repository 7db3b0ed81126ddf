#include "engine/YKKanjiLib.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr unsigned char kEsc = 0x1B;

inline bool IsSjisLeadByte(unsigned c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC);
}
inline bool IsSjisTrailByte(unsigned c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}
inline bool IsEucByte(unsigned c) { return c >= 0xA0; }

// Writes the Shift-JIS pair for two JIS bytes with their top bits cleared.
inline char* PutJisPair(char* o, unsigned char a, unsigned char b) {
    const uint16_t s = JISCharToSJIS(static_cast<uint16_t>(((a & 0x7F) << 8) | (b & 0x7F)));
    o[0] = static_cast<char>(s >> 8);
    o[1] = static_cast<char>(s & 0xFF);
    return o + 2;
}

}  // namespace

int DetectKanjiCode(const unsigned char* Buf, int64_t Len) {
    // A byte past the end is -1 and matches nothing.
    auto at = [&](int64_t i) -> int { return i < Len ? Buf[i] : -1; };
    for (int64_t i = 0; i < Len; ++i) {
        const unsigned b = Buf[i];
        if (b == kEsc) {
            const int n1 = at(i + 1), n2 = at(i + 2), n3 = at(i + 3);
            if (n1 == '$' && (n2 == '@' || n2 == 'B' || n2 == '(' || n3 == 'D')) return KanjiCodeJis;
            if (n1 == '&' && n2 == '@') return KanjiCodeJis;
            if (n1 == '(' && (n2 == 'J' || n2 == 'B' || n2 == 'I')) return KanjiCodeJis;
        } else if (b >= 0x80) {
            const int n1 = at(i + 1);
            if (n1 < 0) break;  // a high byte needs a partner to decide anything
            if (IsSjisLeadByte(b) && IsSjisTrailByte(n1)) return KanjiCodeSjis;
            if (IsEucByte(b) && IsEucByte(n1)) return KanjiCodeEuc;
            if ((b == 0x8E || b == 0x8F) && IsEucByte(n1)) return KanjiCodeEuc;
        }
    }
    return KanjiCodeJis;
}

int DetectKanjiCode(std::string_view Buf) {
    return DetectKanjiCode(reinterpret_cast<const unsigned char*>(Buf.data()),
                           static_cast<int64_t>(Buf.size()));
}

uint16_t JISCharToSJIS(uint16_t Code) {
    const unsigned j1 = Code >> 8, j2 = Code & 0xFF;
    const unsigned lead = (j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0);
    unsigned trail;
    if (j1 & 1)
        trail = j2 + (j2 <= 0x5F ? 0x1F : 0x20);
    else
        trail = j2 + 0x7E;
    return static_cast<uint16_t>(((lead & 0xFF) << 8) | (trail & 0xFF));
}

std::string JISToSJIS(std::string_view Src) {
    const auto* s = reinterpret_cast<const unsigned char*>(Src.data());
    const size_t n = Src.size();
    // Every step writes at most as many bytes as it reads, so the output
    // fits in a buffer of the input's size.
    std::string out(n, '\0');
    char* o = out.data();
    bool doubleByte = false;
    size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b == kEsc) {
            if (i + 1 >= n) break;
            const unsigned char x = s[i + 1];
            if (x == '$' || x == '&' || x == '(') {
                if (i + 2 >= n) break;
                const unsigned char y = s[i + 2];
                bool known;
                if (x == '$') {
                    known = (y == '@' || y == 'B');
                    if (known) doubleByte = true;
                } else if (x == '&') {
                    known = (y == '@');
                    if (known) doubleByte = true;
                } else {
                    known = (y == 'J' || y == 'B' || y == 'I');
                    if (known) doubleByte = false;
                }
                if (!known) {
                    *o++ = static_cast<char>(b);
                    *o++ = static_cast<char>(x);
                    *o++ = static_cast<char>(y);
                }
                i += 3;
            } else {
                *o++ = static_cast<char>(b);
                *o++ = static_cast<char>(x);
                i += 2;
            }
        } else if (doubleByte) {
            if (i + 1 >= n) break;
            o = PutJisPair(o, b, s[i + 1]);
            i += 2;
        } else {
            *o++ = static_cast<char>(b);
            ++i;
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

std::string EUCToSJIS(std::string_view Src) {
    const auto* s = reinterpret_cast<const unsigned char*>(Src.data());
    const size_t n = Src.size();
    // Every step writes at most as many bytes as it reads, so the output
    // fits in a buffer of the input's size.
    std::string out(n, '\0');
    char* o = out.data();
    size_t i = 0;
    while (i < n) {
        // Runs of ASCII, most of a page's markup, are copied whole.
        size_t j = i;
        while (j + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, s + j, 8);
            if (w & 0x8080808080808080ull) break;
            j += 8;
        }
        while (j < n && s[j] < 0x80) ++j;
        if (j > i) {
            std::memcpy(o, s + i, j - i);
            o += j - i;
            i = j;
            continue;
        }
        const unsigned char b = s[i];
        if (b >= 0xA0) {
            if (i + 1 >= n) break;
            o = PutJisPair(o, b, s[i + 1]);
            i += 2;
        } else if (b == 0x8F) {
            // JIS X 0212: three bytes form one character. The first two are
            // converted as a pair and the third is copied, so it cannot
            // pair up with (and swallow) the character that follows.
            if (i + 2 >= n) break;
            o = PutJisPair(o, b, s[i + 1]);
            *o++ = static_cast<char>(s[i + 2]);
            i += 3;
        } else if (b == 0x8E) {
            if (i + 1 >= n) break;
            *o++ = static_cast<char>(s[i + 1]);
            i += 2;
        } else {
            *o++ = static_cast<char>(b);
            ++i;
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}
