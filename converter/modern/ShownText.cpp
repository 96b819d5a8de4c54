// Control characters and invisible marks replaced by what shows them.
#include "converter/modern/ShownText.h"

#include <algorithm>
#include <array>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace horofu {
namespace {

// U+2400 and on picture the C0 controls (␀, ␛, ␇…); U+2421 pictures DEL.
struct ControlPictures {
    std::array<std::array<char, 3>, 32> c0{};
    constexpr ControlPictures() {
        for (int b = 0; b < 32; ++b) c0[b] = {'\xE2', '\x90', static_cast<char>(0x80 + b)};
    }
};
constexpr ControlPictures kPictures;
constexpr std::string_view kDelete = "\xE2\x90\xA1";       // ␡
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD, for the C1 controls

// The marks that reorder text or hide between characters: Unicode's default ignorable code
// points (bidi controls, zero-width characters, variation selectors, tags), which show
// nothing, so that "ID:abc" and "ID:abc" and a tag after it would look alike. The Hangul
// fillers U+3164 and U+FFA0 are left out: fonts give them a blank's width, and U+3164 would
// make every kana (E3) a byte to look at.
constexpr struct {
    uint32_t first, last;
} kMarks[] = {
    {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C},   {0x115F, 0x1160},   {0x17B4, 0x17B5},
    {0x180B, 0x180F}, {0x200B, 0x200F}, {0x202A, 0x202E},   {0x2060, 0x206F},   {0xFE00, 0xFE0F},
    {0xFEFF, 0xFEFF}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

bool IsMark(uint32_t code) {
    for (const auto& range : kMarks) {
        if (code >= range.first && code <= range.last) return true;
    }
    return false;
}

// The code point of the character of two to four bytes at text[at], or 0. The text is UTF-8
// already (what was not is U+FFFD), so only the lead byte tells the length.
uint32_t CodeAt(std::string_view text, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead >= 0xC2 && lead < 0xE0 && at + 1 < text.size()) {
        length = 2;
        return (lead & 0x1Fu) << 6 | (byte(1) & 0x3Fu);
    }
    if (lead >= 0xE0 && lead < 0xF0 && at + 2 < text.size()) {
        length = 3;
        return (lead & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
    }
    if (lead >= 0xF0 && lead < 0xF5 && at + 3 < text.size()) {
        length = 4;
        return (lead & 0x07u) << 18 | (byte(1) & 0x3Fu) << 12 | (byte(2) & 0x3Fu) << 6 |
               (byte(3) & 0x3Fu);
    }
    return 0;
}

// Whether b leads a mark's bytes: C2 00AD, CD 034F, D8 061C, E1 115F-180F, E2 200B-206F,
// EF FE00-FFF8, F0 1BCA0-1D17A, F3 E0000-E0FFF.
constexpr bool LeadsMark(unsigned char b) {
    return b == 0xC2 || b == 0xCD || b == 0xD8 || b == 0xE1 || b == 0xE2 || b == 0xEF ||
           b == 0xF0 || b == 0xF3;
}

}  // namespace

std::size_t HiddenAt(std::string_view text, std::size_t at, Marks marks, MarkText& scratch,
                     std::string_view& replacement, bool& markup) {
    const unsigned char b = static_cast<unsigned char>(text[at]);
    markup = false;
    if (b < 0x20) {
        if (b == '\t' || b == '\n' || b == '\r') return 0;
        replacement = std::string_view(kPictures.c0[b].data(), 3);
        return 1;
    }
    if (b == 0x7F) {
        replacement = kDelete;
        return 1;
    }
    // Everything else to replace starts with one of these lead bytes.
    if (b != 0xC2 && (marks == Marks::Kept || !LeadsMark(b))) return 0;
    std::size_t length = 0;
    const uint32_t code = CodeAt(text, at, length);
    if (code >= 0x80 && code < 0xA0) {
        replacement = kReplacement;
        return length;
    }
    if (marks == Marks::Kept || !IsMark(code)) return 0;
    // "<span class="ctl">U+200B</span>": four hex digits at least, as code points are written.
    static constexpr std::string_view kOpen = "<span class=\"ctl\">U+", kClose = "</span>";
    char* p = scratch.data();
    p = std::copy(kOpen.begin(), kOpen.end(), p);
    int digits = code > 0xFFFF ? (code > 0xFFFFF ? 6 : 5) : 4;
    while (digits-- > 0) *p++ = "0123456789ABCDEF"[(code >> (4 * digits)) & 0xF];
    p = std::copy(kClose.begin(), kClose.end(), p);
    replacement = std::string_view(scratch.data(), static_cast<std::size_t>(p - scratch.data()));
    markup = true;
    return length;
}

namespace {

// Bytes that need more than a copy: the four that HTML escapes, and the lead bytes of what
// HiddenAt may replace (controls, DEL, C1 controls; with marks shown, the marks' lead bytes).
struct SpecialBytes {
    std::array<bool, 256> kept{};
    std::array<bool, 256> shown{};
    constexpr SpecialBytes() {
        for (int b = 0; b < 0x20; ++b) kept[b] = true;
        for (const unsigned char b : {'&', '<', '>', '"', '\x7F', '\xC2'}) kept[b] = true;
        shown = kept;
        for (int b = 0x80; b < 0x100; ++b) shown[b] = kept[b] || LeadsMark(b);
    }
};
constexpr SpecialBytes kSpecial;

// The first byte in [p, end) that needs more than a copy, or end; sixteen bytes at a time
// where the machine allows, since every byte of a page's text passes here.
const char* FindSpecial(const char* p, const char* end, Marks marks) {
#if defined(__SSE2__)
    const __m128i below = _mm_set1_epi8(0x1F);
    const auto eq = [](__m128i v, char b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(b)); };
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(v, below), v),
                                   _mm_or_si128(eq(v, '&'), eq(v, '<')));
        hit = _mm_or_si128(hit, _mm_or_si128(eq(v, '>'), eq(v, '"')));
        hit = _mm_or_si128(hit, _mm_or_si128(eq(v, '\x7F'), eq(v, '\xC2')));
        if (marks == Marks::Shown) {
            hit = _mm_or_si128(hit, _mm_or_si128(eq(v, '\xCD'), eq(v, '\xD8')));
            hit = _mm_or_si128(hit, _mm_or_si128(eq(v, '\xE1'), eq(v, '\xE2')));
            hit = _mm_or_si128(hit, _mm_or_si128(eq(v, '\xEF'), eq(v, '\xF0')));
            hit = _mm_or_si128(hit, eq(v, '\xF3'));
        }
        if (const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit))) {
            return p + __builtin_ctz(mask);
        }
    }
#endif
    const std::array<bool, 256>& special = marks == Marks::Shown ? kSpecial.shown : kSpecial.kept;
    while (p < end && !special[static_cast<unsigned char>(*p)]) ++p;
    return p;
}

// Hands text to put(bytes) as the page shows it: copied runs, escapes, and what shows the
// characters HiddenAt replaces. Called by AppendShown and PutShown.
template <typename Put>
void Show(std::string_view text, Marks marks, Put put) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin; p < end;) {
        const char* const stop = FindSpecial(p, end, marks);
        if (stop != p) put(std::string_view(p, static_cast<std::size_t>(stop - p)));
        if (stop == end) return;
        p = stop + 1;
        switch (*stop) {
            case '&':
                put("&amp;");
                continue;
            case '<':
                put("&lt;");
                continue;
            case '>':
                put("&gt;");
                continue;
            case '"':
                put("&quot;");
                continue;
            default:
                break;
        }
        // Pictures, U+FFFD and the marks' markup hold nothing to escape.
        std::string_view replacement;
        bool markup = false;
        MarkText scratch;
        const std::size_t length = HiddenAt(text, static_cast<std::size_t>(stop - begin), marks,
                                            scratch, replacement, markup);
        if (length == 0) {
            put(std::string_view(stop, 1));
        } else {
            put(replacement);
            p = stop + length;
        }
    }
}

}  // namespace

void AppendShown(std::string_view text, Marks marks, std::string& out) {
    Show(text, marks, [&](std::string_view bytes) { out.append(bytes); });
}

void PutShown(PageWriter& out, std::string_view text, Marks marks) {
    Show(text, marks, [&](std::string_view bytes) { out.Put(bytes); });
}

}  // namespace horofu
