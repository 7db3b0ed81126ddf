#pragma once

#include <cstddef>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The first place from k on that holds c, or n. Most searches in a page's
// markup end within a few bytes, where a library call costs more than the
// search; sixteen bytes are compared at a time.
inline size_t ByteFrom(const char* d, size_t k, size_t n, char c) {
#if defined(__SSE2__)
    const __m128i want = _mm_set1_epi8(c);
    for (; k + 16 <= n; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k));
        if (const auto m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, want))))
            return k + static_cast<size_t>(__builtin_ctz(m));
    }
#endif
    while (k < n && d[k] != c) ++k;
    return k;
}

// The first place from k on that holds a byte of 0x80 or more, or n.
inline size_t HighByteFrom(const char* d, size_t k, size_t n) {
#if defined(__SSE2__)
    for (; k + 16 <= n; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k));
        if (const auto m = static_cast<unsigned>(_mm_movemask_epi8(v))) return k + static_cast<size_t>(__builtin_ctz(m));
    }
#endif
    while (k < n && static_cast<unsigned char>(d[k]) < 0x80) ++k;
    return k;
}
