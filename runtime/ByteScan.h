// Finding the first of a few marked bytes in a run, sixteen bytes at a time where possible.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace horofu {

// Up to four bytes to look for, and a table of them for the bytes tested one by one.
class ByteSet {
public:
    constexpr ByteSet(std::initializer_list<unsigned char> bytes) {
        std::size_t i = 0;
        for (unsigned char b : bytes) {
            marked_[b] = true;
            if (i < bytes_.size()) bytes_[i++] = b;
        }
        for (; i < bytes_.size(); ++i) bytes_[i] = bytes_[0];  // repeats change nothing
    }
    constexpr bool Has(unsigned char b) const { return marked_[b]; }
    constexpr unsigned char Byte(std::size_t i) const { return bytes_[i]; }

private:
    std::array<bool, 256> marked_{};
    std::array<unsigned char, 4> bytes_{};
};

// The first byte in [p, end) that set marks, or end.
inline const char* FindFirstOf(const char* p, const char* end, const ByteSet& set) {
#if defined(__SSE2__)
    const __m128i b0 = _mm_set1_epi8(static_cast<char>(set.Byte(0)));
    const __m128i b1 = _mm_set1_epi8(static_cast<char>(set.Byte(1)));
    const __m128i b2 = _mm_set1_epi8(static_cast<char>(set.Byte(2)));
    const __m128i b3 = _mm_set1_epi8(static_cast<char>(set.Byte(3)));
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, b0), _mm_cmpeq_epi8(v, b1)),
                                          _mm_or_si128(_mm_cmpeq_epi8(v, b2), _mm_cmpeq_epi8(v, b3)));
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    while (p < end && !set.Has(static_cast<unsigned char>(*p))) ++p;
    return p;
}

}  // namespace horofu
