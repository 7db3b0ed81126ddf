#include "engine/YKKanjiLib.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr unsigned char kEsc = 0x1B;

inline bool IsSjisLeadByte(unsigned c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC);
}
inline bool IsSjisTrailByte(unsigned c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }
inline bool IsEucByte(unsigned c) { return c >= 0xA0; }

// Shift-JIS codes of every pair of 7-bit bytes, computed once: a page of
// Japanese text converts two bytes per look-up.
struct TPairTable {
    uint16_t code[128 * 128];
    TPairTable() {
        for (unsigned a = 0; a < 128; ++a)
            for (unsigned b = 0; b < 128; ++b) code[a * 128 + b] = JISCharToSJIS(static_cast<uint16_t>((a << 8) | b));
    }
};
const TPairTable& PairTable() {
    static const TPairTable table;
    return table;
}

// Writes the Shift-JIS pair for two JIS bytes with their top bits cleared.
inline char* PutJisPair(const uint16_t* table, char* o, unsigned char a, unsigned char b) {
    const uint16_t s = table[(a & 0x7F) * 128 + (b & 0x7F)];
    o[0] = static_cast<char>(s >> 8);
    o[1] = static_cast<char>(s & 0xFF);
    return o + 2;
}

// Length of the run of bytes below 0x80 other than ESC at s[i, n).
inline size_t PlainRun(const unsigned char* s, size_t i, size_t n) {
    size_t j = i;
    while (j + 8 <= n) {
        uint64_t w;
        std::memcpy(&w, s + j, 8);
        // High bit set, or a byte equal to 0x1B (the classic zero-byte test
        // on w ^ 0x1B1B...).
        const uint64_t x = w ^ 0x1B1B1B1B1B1B1B1Bull;
        if ((w & 0x8080808080808080ull) || ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull)) break;
        j += 8;
    }
    while (j < n && s[j] < 0x80 && s[j] != kEsc) ++j;
    return j - i;
}

}  // namespace

int DetectKanjiCode(const unsigned char* Buf, int64_t Len) {
    // A byte past the end is -1 and matches nothing.
    auto at = [&](int64_t i) -> int { return i < Len ? Buf[i] : -1; };
    for (int64_t i = 0; i < Len; ++i) {
        // Markup and ASCII text decide nothing: passed over a word at a time.
        i += static_cast<int64_t>(PlainRun(Buf, static_cast<size_t>(i), static_cast<size_t>(Len)));
        if (i >= Len) break;
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
    return DetectKanjiCode(reinterpret_cast<const unsigned char*>(Buf.data()), static_cast<int64_t>(Buf.size()));
}

uint16_t JISCharToSJIS(uint16_t Code) {
    const unsigned j1 = Code >> 8, j2 = Code & 0xFF;
    const unsigned lead = (j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0);
    unsigned trail;
    if (j1 & 1) trail = j2 + (j2 <= 0x5F ? 0x1F : 0x20);
    else trail = j2 + 0x7E;
    return static_cast<uint16_t>(((lead & 0xFF) << 8) | (trail & 0xFF));
}

std::string JISToSJIS(std::string_view Src) {
    // Every step writes at most as many bytes as it reads, so the output
    // fits in a buffer of the input's size.
    std::string out(Src.size(), '\0');
    out.resize(JISToSJIS(Src.data(), Src.size(), out.data()));
    return out;
}

size_t JISToSJIS(const char* Src, size_t Len, char* Out) {
    const auto* s = reinterpret_cast<const unsigned char*>(Src);
    const size_t n = Len;
    const uint16_t* table = PairTable().code;
    char* o = Out;
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
            // Pairs up to the next ESC (or the end, where a lone byte is dropped).
            while (i + 1 < n && s[i] != kEsc) {
                o = PutJisPair(table, o, s[i], s[i + 1]);
                i += 2;
            }
            if (i + 1 >= n && i < n && s[i] != kEsc) break;
        } else {
            // Single-byte text up to the next ESC is copied as it is.
            size_t j = i + 1 + PlainRun(s, i + 1, n);
            while (j < n && s[j] != kEsc) j += 1 + PlainRun(s, j + 1, n);
            std::memcpy(o, s + i, j - i);
            o += j - i;
            i = j;
        }
    }
    return static_cast<size_t>(o - Out);
}

std::string EUCToSJIS(std::string_view Src) {
    // Every step writes at most as many bytes as it reads, so the output
    // fits in a buffer of the input's size.
    std::string out(Src.size(), '\0');
    out.resize(EUCToSJIS(Src.data(), Src.size(), out.data()));
    return out;
}

size_t EUCToSJIS(const char* Src, size_t Len, char* Out) {
    const auto* s = reinterpret_cast<const unsigned char*>(Src);
    const size_t n = Len;
    const uint16_t* table = PairTable().code;
    char* o = Out;
    size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b >= 0xA0) {
            if (i + 1 >= n) break;
            o = PutJisPair(table, o, b, s[i + 1]);
            i += 2;
        } else if (b < 0x80) {
            // Runs of ASCII, most of a page's markup, are copied whole.
            size_t j = i + 1;
            while (j + 8 <= n) {
                uint64_t w;
                std::memcpy(&w, s + j, 8);
                if (w & 0x8080808080808080ull) break;
                j += 8;
            }
            while (j < n && s[j] < 0x80) ++j;
            std::memcpy(o, s + i, j - i);
            o += j - i;
            i = j;
        } else if (b == 0x8F) {
            // JIS X 0212: three bytes form one character. The first two are
            // converted as a pair and the third is copied, so it cannot
            // pair up with (and swallow) the character that follows.
            if (i + 2 >= n) break;
            o = PutJisPair(table, o, b, s[i + 1]);
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
    return static_cast<size_t>(o - Out);
}
