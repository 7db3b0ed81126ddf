// Text at the edges of the program. Inside, every string is Shift-JIS (CP932)
// bytes; these helpers convert to and from UTF-8 where text meets the file
// system, the terminal or the window, and give the byte-level helpers that
// must never split a double-byte character.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// CP932 -> UTF-8. Returns nullopt when the bytes are not valid CP932
// (including a lead byte cut off at the end).
std::optional<std::string> Cp932ToUtf8Strict(std::string_view cp932);

// CP932 -> UTF-8 for display: bytes that do not convert become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// True when every byte is below 0x80: the text is the same in every
// encoding the program reads. Inline, as it is asked of whole pages and
// of single names alike.
inline bool IsAscii(std::string_view s) {
    const char* d = s.data();
    const size_t n = s.size();
    size_t k = 0;
#if defined(__SSE2__)
    // A page at a time: sixty-four bytes are gathered per test.
    for (; k + 64 <= n; k += 64) {
        const auto* p = reinterpret_cast<const __m128i*>(d + k);
        const __m128i v = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(p), _mm_loadu_si128(p + 1)),
                                       _mm_or_si128(_mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3)));
        if (_mm_movemask_epi8(v)) return false;
    }
#endif
    unsigned any = 0;
    for (; k < n; ++k) any |= static_cast<unsigned char>(d[k]);
    return any < 0x80;
}

// UTF-8 -> CP932. Returns nullopt when some character has no CP932 form
// or the input is not valid UTF-8.
std::optional<std::string> Utf8ToCp932Strict(std::string_view utf8);

// UTF-8 -> CP932 for display: characters without a CP932 form are written
// as <U+XXXX> so that a name stays recognisable (and never silently mangled).
std::string Utf8ToCp932(std::string_view utf8);

// UTF-8 -> CP932 for the text of a page: a character without a CP932 form
// becomes the HTML character reference "&#xHHHH;" and a byte that is not
// UTF-8 becomes "&#xFFFD;", so the text keeps its meaning as HTML.
std::string Utf8ToCp932CharRefs(std::string_view utf8);

// Text written byte by byte by a conversion: it grows without being
// zero-filled first, and keeps its memory from use to use.
class TTextBuffer {
public:
    std::string_view View() const { return {data_.get(), size_}; }
    void Assign(std::string_view s);
    // Room for need more bytes after the first used ones, which are kept;
    // returns where the text begins.
    char* Room(size_t used, size_t need);
    void SetSize(size_t n) { size_ = n; }
    void Release();

private:
    std::unique_ptr<char[]> data_;
    size_t size_ = 0, cap_ = 0;
};
// The same into out.
void Utf8ToCp932CharRefs(std::string_view utf8, TTextBuffer& out);

// For fixed texts of the program written in the source as UTF-8.
// Aborts when the text has no CP932 form: that is a programming error.
std::string Utf8ToCp932Literal(const char* utf8);

// A fixed text of the program as CP932 bytes, converted once per call site.
#define SJ(utf8_literal)                                                                  \
    ([]() -> const std::string& {                                                         \
        static const std::string sj_text_ = ::platform::Utf8ToCp932Literal(utf8_literal); \
        return sj_text_;                                                                  \
    }())

// True for a CP932 lead byte (0x81-0x9F, 0xE0-0xFC).
inline bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Upper-cases ASCII letters only and skips the trail byte of every
// double-byte character (a trail byte may lie in 0x61-0x7A).
std::string AnsiUpper(std::string_view s);
void AnsiUpperInPlace(std::string& s);

// Case-insensitive equality and prefix test with AnsiUpper semantics.
bool SameTextSjis(std::string_view a, std::string_view b);
bool StartsTextSjis(std::string_view s, std::string_view prefix);

// Double-byte safe search for a single ASCII byte: returns the index of the
// first (or last) occurrence that is not the trail byte of a double-byte
// character, or npos.
size_t SjisFind(std::string_view s, char c, size_t from = 0);
size_t SjisRFind(std::string_view s, char c);
// Last occurrence of any of the given ASCII bytes, double-byte safe.
size_t SjisRFindAny(std::string_view s, std::string_view chars);
// Replaces every occurrence of one ASCII byte by another, double-byte safe.
void SjisReplaceChar(std::string& s, char from, char to);
// Double-byte safe substring search (needle is ASCII or CP932 text); the
// match must start on a character boundary.
size_t SjisFindText(std::string_view s, std::string_view needle, size_t from = 0);

}  // namespace platform
