#include "platform/Encoding.h"

#include <endian.h>
#include <iconv.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// One descriptor per direction, opened on first use and kept: opening is
// far dearer than converting a short path.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            std::fprintf(stderr, "iconv cannot convert %s to %s\n", from, to);
            std::abort();
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input. On an invalid or unconvertible sequence it
    // calls onBad(offset of the bad sequence, out) and resumes after the
    // number of input bytes onBad returns (0 stops with failure).
    template <class OnBad>
    bool Run(std::string_view in, std::string& out, OnBad onBad) {
        out.clear();
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buf[4096];
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, static_cast<size_t>(dst - buf));
            if (r == static_cast<size_t>(-1)) {
                if (errno == E2BIG) continue;
                size_t offset = static_cast<size_t>(src - in.data());
                size_t skip = onBad(offset, out);
                if (skip == 0 || skip > srcLeft) return false;
                src += skip;
                srcLeft -= skip;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        return true;
    }

private:
    iconv_t cd_;
};

Converter& ToUtf8() {
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

Converter& ToCp932() {
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

// Length of the UTF-8 sequence starting at s[i]; 1 for a stray byte.
size_t Utf8SeqLen(std::string_view s, size_t i, unsigned* codePoint) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + n > s.size()) n = 1;
    unsigned cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < n; ++k) {
        unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t >> 6) != 2) {
            n = 1;
            cp = c;
            break;
        }
        cp = (cp << 6) | (t & 0x3F);
    }
    if (codePoint) *codePoint = cp;
    return n;
}

}  // namespace

std::optional<std::string> Cp932ToUtf8Strict(std::string_view cp932) {
    if (IsAscii(cp932)) return std::string(cp932);
    std::string out;
    if (!ToUtf8().Run(cp932, out, [](size_t, std::string&) { return size_t{0}; })) return std::nullopt;
    return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    if (IsAscii(cp932)) return std::string(cp932);
    std::string out;
    ToUtf8().Run(cp932, out, [&](size_t offset, std::string& o) {
        o += "\xEF\xBF\xBD";  // U+FFFD
        unsigned char c = static_cast<unsigned char>(cp932[offset]);
        // A lead byte followed by a byte that cannot trail: drop the lead only.
        return size_t{1} +
               ((IsSjisLead(c) && offset + 1 < cp932.size() && static_cast<unsigned char>(cp932[offset + 1]) >= 0x40 &&
                 static_cast<unsigned char>(cp932[offset + 1]) != 0x7F)
                    ? 1u
                    : 0u);
    });
    return out;
}

std::optional<std::string> Utf8ToCp932Strict(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    std::string out;
    if (!ToCp932().Run(utf8, out, [](size_t, std::string&) { return size_t{0}; })) return std::nullopt;
    return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    std::string out;
    ToCp932().Run(utf8, out, [&](size_t offset, std::string& o) {
        unsigned cp = 0;
        size_t n = Utf8SeqLen(utf8, offset, &cp);
        char tag[16];
        std::snprintf(tag, sizeof tag, "<U+%04X>", cp);
        o += tag;
        return n;
    });
    return out;
}

namespace {

// The CP932 form of one BMP character, asked of iconv once per character
// and remembered: a Japanese page holds a few thousand distinct ones, and
// iconv costs far more per call than per byte. 0: not asked yet; 0xFFFF:
// no form; below 0x100 a single byte, else lead and trail.
std::vector<uint16_t>& Cp932Memo() {
    thread_local std::vector<uint16_t> memo(0x10000, 0);
    return memo;
}

uint16_t Cp932Of(uint32_t cp) {
    uint16_t& m = Cp932Memo()[cp];
    if (m == 0) {
        char u[4];
        size_t n = 0;
        if (cp < 0x800) {
            u[n++] = static_cast<char>(0xC0 | (cp >> 6));
        } else {
            u[n++] = static_cast<char>(0xE0 | (cp >> 12));
            u[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        u[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        std::string out;
        const bool ok = ToCp932().Run(std::string_view(u, n), out, [](size_t, std::string&) { return size_t{0}; });
        if (!ok || out.empty() || out.size() > 2) {
            m = 0xFFFF;
        } else if (out.size() == 1) {
            m = static_cast<unsigned char>(out[0]);
            if (m == 0) m = 0xFFFF;
        } else {
            m = static_cast<uint16_t>((static_cast<unsigned char>(out[0]) << 8) | static_cast<unsigned char>(out[1]));
        }
    }
    return m;
}

}  // namespace

std::string Utf8ToCp932CharRefs(std::string_view utf8) {
    TTextBuffer out;
    Utf8ToCp932CharRefs(utf8, out);
    return std::string(out.View());
}

char* TTextBuffer::Room(size_t used, size_t need) {
    if (used + need > cap_) {
        const size_t cap = std::max(cap_ * 2, used + need);
        auto grown = std::make_unique_for_overwrite<char[]>(cap);
        if (used) std::memcpy(grown.get(), data_.get(), used);
        data_ = std::move(grown);
        cap_ = cap;
    }
    return data_.get();
}

void TTextBuffer::Assign(std::string_view s) {
    char* d = Room(0, s.size());
    if (!s.empty()) std::memcpy(d, s.data(), s.size());
    size_ = s.size();
}

void TTextBuffer::Release() {
    data_.reset();
    size_ = cap_ = 0;
}

void Utf8ToCp932CharRefs(std::string_view utf8, TTextBuffer& out) {
    // Written through a pointer into a buffer sized for the input: a valid
    // sequence never grows, and only a reference ("&#x...;") may need more.
    const size_t n = utf8.size();
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    char* base = out.Room(0, n + 32);
    char* end = base + n + 32;
    char* w = base;
    const std::vector<uint16_t>& memo = Cp932Memo();
    auto room = [&](size_t need) {
        if (need > static_cast<size_t>(end - w)) {
            const auto used = static_cast<size_t>(w - base);
            const size_t more = std::max(need, static_cast<size_t>(end - base));
            base = out.Room(used, more);
            end = base + used + more;
            w = base + used;
        }
    };
    size_t i = 0;
    while (i < n) {
        // ASCII, sixteen bytes at a time, copied as they are read: most runs
        // between other characters are a few bytes long.
#if defined(__SSE2__)
        while (i + 16 <= n) {
            room(16);
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
            const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
            const unsigned ascii = high ? static_cast<unsigned>(__builtin_ctz(high)) : 16u;
            i += ascii;
            w += ascii;
            if (high) break;
        }
#endif
        while (i < n && s[i] < 0x80) {
            room(1);
            *w++ = static_cast<char>(s[i++]);
        }
        // Characters up to the next ASCII byte: two- and three-byte
        // sequences read straight, else a longer sequence, or a stray byte
        // shown as U+FFFD.
        while (i < n && s[i] >= 0x80) {
            // Runs of three-byte characters met before (most of a Japanese
            // page) go straight to their two bytes.
            // Four bytes are read to test three; the last character of the
            // page takes the longer way below. A surrogate's entry is never
            // filled, so it stops the run as an unknown character does.
            if ((s[i] & 0xF0) == 0xE0) {
                for (size_t room2 = static_cast<size_t>(end - w) / 2; i + 4 <= n && room2; --room2) {
                    uint32_t x;
                    std::memcpy(&x, s + i, 4);
                    x = le32toh(x);
                    if ((x & 0xC0C0F0u) != 0x8080E0u) break;
                    const uint32_t v = ((x & 0x0Fu) << 12) | ((x >> 2) & 0xFC0u) | ((x >> 16) & 0x3Fu);
                    const uint16_t m = v >= 0x800 ? memo[v] : 0;
                    if (m == 0 || m == 0xFFFF) break;
                    if (m >= 0x100) *w++ = static_cast<char>(m >> 8);
                    *w++ = static_cast<char>(m & 0xFF);
                    i += 3;
                }
            }
            if (i >= n || s[i] < 0x80) break;
            const unsigned char c = s[i];
            size_t len = 1;
            uint32_t cp = 0xFFFD;
            if (c >= 0xC2 && c <= 0xDF && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
                len = 2;
                cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            } else if ((c & 0xF0) == 0xE0 && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80 &&
                       (cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu)) >= 0x800 &&
                       !(cp >= 0xD800 && cp <= 0xDFFF)) {
                len = 3;
            } else if (c >= 0xC2 && c <= 0xF4) {
                cp = 0xFFFD;
                const size_t want = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
                uint32_t v = want == 2 ? (c & 0x1Fu) : want == 3 ? (c & 0x0Fu) : (c & 0x07u);
                size_t k = 1;
                while (k < want && i + k < n && (s[i + k] & 0xC0) == 0x80) {
                    v = (v << 6) | (s[i + k] & 0x3Fu);
                    ++k;
                }
                const bool valid = k == want && !(want == 3 && v < 0x800) &&
                                   !(want == 4 && (v < 0x10000 || v > 0x10FFFF)) && !(v >= 0xD800 && v <= 0xDFFF);
                if (valid) {
                    len = want;
                    cp = v;
                }
            } else {
                cp = 0xFFFD;
            }
            i += len;
            uint16_t m = 0xFFFF;
            if (cp < 0x10000 && len != 1) {
                m = memo[cp];  // the per-thread table, fetched once per page
                if (m == 0) m = Cp932Of(cp);
            }
            room(16);
            if (m != 0xFFFF) {
                if (m >= 0x100) *w++ = static_cast<char>(m >> 8);
                *w++ = static_cast<char>(m & 0xFF);
            } else {
                // "&#x" and upper-case hex digits; written by hand, as pages in
                // Latin scripts hold these by the thousand and a format call
                // costs more than the rest of the conversion.
                static constexpr char kHex[] = "0123456789ABCDEF";
                const int digits = (35 - __builtin_clz(cp | 1)) / 4;
                *w++ = '&';
                *w++ = '#';
                *w++ = 'x';
                for (int d = digits; d-- > 0;) *w++ = kHex[(cp >> (4 * d)) & 0xF];
                *w++ = ';';
            }
        }
    }
    out.SetSize(static_cast<size_t>(w - base));
}

std::string Utf8ToCp932Literal(const char* utf8) {
    auto r = Utf8ToCp932Strict(utf8);
    if (!r) {
        std::fprintf(stderr, "fixed text has no Shift-JIS form: %s\n", utf8);
        std::abort();
    }
    return *r;
}

void AnsiUpperInPlace(std::string& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsSjisLead(c)) {
            ++i;  // the trail byte is part of the character, never a letter
        } else if (c >= 'a' && c <= 'z') {
            s[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
}

std::string AnsiUpper(std::string_view s) {
    std::string r(s);
    AnsiUpperInPlace(r);
    return r;
}

namespace {
// Compares the upper-cased forms of a[0..n) and b[0..n) where both start on a
// character boundary; the upper-casing state follows a's characters.
bool EqualUpperPrefix(std::string_view a, std::string_view b, size_t n) {
    bool trailA = false, trailB = false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        unsigned char ua = (!trailA && ca >= 'a' && ca <= 'z') ? ca - 32 : ca;
        unsigned char ub = (!trailB && cb >= 'a' && cb <= 'z') ? cb - 32 : cb;
        if (ua != ub) return false;
        trailA = !trailA && IsSjisLead(ca);
        trailB = !trailB && IsSjisLead(cb);
    }
    return true;
}
}  // namespace

bool SameTextSjis(std::string_view a, std::string_view b) {
    return a.size() == b.size() && EqualUpperPrefix(a, b, a.size());
}

bool StartsTextSjis(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualUpperPrefix(s, prefix, prefix.size());
}

size_t SjisFind(std::string_view s, char c, size_t from) {
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (i >= from && s[i] == c) return i;
        if (IsSjisLead(b)) ++i;
    }
    return std::string_view::npos;
}

size_t SjisRFind(std::string_view s, char c) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (s[i] == c) found = i;
        if (IsSjisLead(b)) ++i;
    }
    return found;
}

size_t SjisRFindAny(std::string_view s, std::string_view chars) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (chars.find(s[i]) != std::string_view::npos) found = i;
        if (IsSjisLead(b)) ++i;
    }
    return found;
}

void SjisReplaceChar(std::string& s, char from, char to) {
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (s[i] == from) s[i] = to;
        else if (IsSjisLead(b)) ++i;
    }
}

size_t SjisFindText(std::string_view s, std::string_view needle, size_t from) {
    if (needle.empty()) return from <= s.size() ? from : std::string_view::npos;
    for (size_t i = 0; i + needle.size() <= s.size(); ++i) {
        if (i >= from && s.compare(i, needle.size(), needle) == 0) return i;
        if (IsSjisLead(static_cast<unsigned char>(s[i]))) ++i;
    }
    return std::string_view::npos;
}

}  // namespace platform
