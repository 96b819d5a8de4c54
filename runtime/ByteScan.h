// Finding the first of a few marked bytes in a run, sixteen bytes at a time where possible.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string_view>

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
    if (end - p >= 16) {
        const __m128i b0 = _mm_set1_epi8(static_cast<char>(set.Byte(0)));
        const __m128i b1 = _mm_set1_epi8(static_cast<char>(set.Byte(1)));
        const __m128i b2 = _mm_set1_epi8(static_cast<char>(set.Byte(2)));
        const __m128i b3 = _mm_set1_epi8(static_cast<char>(set.Byte(3)));
        auto hits = [&](const char* at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i any =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, b0), _mm_cmpeq_epi8(v, b1)),
                             _mm_or_si128(_mm_cmpeq_epi8(v, b2), _mm_cmpeq_epi8(v, b3)));
            return static_cast<unsigned>(_mm_movemask_epi8(any));
        };
        for (; end - p >= 16; p += 16) {
            if (const unsigned mask = hits(p)) return p + __builtin_ctz(mask);
        }
        if (p == end) return end;
        // The last few bytes: look at the final sixteen again, skipping those already seen.
        const char* const last = end - 16;
        const unsigned mask = hits(last) >> (p - last);
        return mask != 0 ? p + __builtin_ctz(mask) : end;
    }
#endif
    while (p < end && !set.Has(static_cast<unsigned char>(*p))) ++p;
    return p;
}

// The first position i in [p, end - 1) with p[i] == first and p[i + 1] == second, or end.
// Two bytes make far fewer false starts than one in Japanese text, where a lead byte such as
// 81 or 93 is common.
inline const char* FindPair(const char* p, const char* end, unsigned char first,
                            unsigned char second) {
#if defined(__SSE2__)
    if (end - p >= 17) {
        const __m128i f = _mm_set1_epi8(static_cast<char>(first));
        const __m128i s = _mm_set1_epi8(static_cast<char>(second));
        auto starts = [&](const char* at) {
            const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
            return static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(v0, f), _mm_cmpeq_epi8(v1, s))));
        };
        for (; end - p >= 17; p += 16) {
            if (const unsigned mask = starts(p)) return p + __builtin_ctz(mask);
        }
        if (end - p < 2) return end;
        // The last pairs: look at the final seventeen bytes again, skipping those seen.
        const char* const last = end - 17;
        const unsigned mask = starts(last) >> (p - last);
        return mask != 0 ? p + __builtin_ctz(mask) : end;
    }
#endif
    for (; end - p >= 2; ++p) {
        if (static_cast<unsigned char>(p[0]) == first &&
            static_cast<unsigned char>(p[1]) == second) {
            return p;
        }
    }
    return end;
}

// Whether what stands in s at at. Byte by byte: the marks compared are a few bytes long, and
// the header and reply scans ask at every full-width character, where a call to memcmp costs
// more than the comparison.
inline bool BytesAt(std::string_view s, std::size_t at, std::string_view what) {
    if (at > s.size() || s.size() - at < what.size()) return false;
    for (std::size_t i = 0; i < what.size(); ++i) {
        if (s[at + i] != what[i]) return false;
    }
    return true;
}

}  // namespace horofu
