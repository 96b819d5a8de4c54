// Decoding named and numeric character references.
#include "converter/modern/CharacterReferences.h"

#include <algorithm>
#include <array>

#include "converter/modern/HtmlEntities.h"
#include "runtime/Ascii.h"
#include "runtime/JapaneseDecoders.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace {

constexpr std::size_t kLongestName = 32;  // longer than any name of the list

// Windows-1252's characters for 80-9F, which browsers give numeric references there.
constexpr std::array<uint16_t, 32> kWindows1252{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const HtmlEntity* FindEntity(std::string_view name) {
    const HtmlEntity* const end = kHtmlEntities + kHtmlEntityCount;
    const HtmlEntity* found =
        std::lower_bound(kHtmlEntities, end, name,
                         [](const HtmlEntity& e, std::string_view n) { return e.name < n; });
    return found != end && found->name == name ? found : nullptr;
}

bool IsHexDigit(char c) {
    return IsAsciiDigit(c) || (AsciiLower(c) >= 'a' && AsciiLower(c) <= 'f');
}

// The numeric reference at html[at] ("&#…"): its value (capped above U+10FFFF) and length, 0
// when there are no digits.
std::size_t NumericAt(std::string_view html, std::size_t at, uint32_t& value) {
    std::size_t p = at + 2;
    const bool hex = p < html.size() && (html[p] == 'x' || html[p] == 'X');
    if (hex) ++p;
    const std::size_t digits = p;
    value = 0;
    while (p < html.size() && (hex ? IsHexDigit(html[p]) : IsAsciiDigit(html[p]))) {
        const char c = AsciiLower(html[p]);
        const uint32_t digit =
            IsAsciiDigit(c) ? static_cast<uint32_t>(c - '0') : static_cast<uint32_t>(c - 'a' + 10);
        value = std::min<uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
        ++p;
    }
    if (p == digits) return 0;
    if (p < html.size() && html[p] == ';') ++p;
    return p - at;
}

}  // namespace

std::size_t DecodeReference(std::string_view html, std::size_t at, std::string& out,
                            uint64_t& invalid) {
    if (at + 1 >= html.size()) return 0;
    if (html[at + 1] == '#') {
        uint32_t value;
        const std::size_t length = NumericAt(html, at, value);
        if (length == 0) return 0;
        if (value >= 0xD800 && value <= 0xDBFF && html.substr(at + length).starts_with("&#")) {
            uint32_t low;
            const std::size_t second = NumericAt(html, at + length, low);
            if (second > 0 && low >= 0xDC00 && low <= 0xDFFF) {
                AppendCodePoint(0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00), out);
                return length + second;
            }
        }
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            out.append(kReplacementCharacter);
            ++invalid;
        } else if (value >= 0x80 && value <= 0x9F) {
            AppendCodePoint(kWindows1252[value - 0x80], out);
        } else {
            AppendCodePoint(value, out);
        }
        return length;
    }
    std::size_t end = at + 1;
    while (end < html.size() && end - at <= kLongestName &&
           (IsAsciiLetter(html[end]) || IsAsciiDigit(html[end]))) {
        ++end;
    }
    if (end == at + 1) return 0;
    if (end < html.size() && html[end] == ';') {
        if (const HtmlEntity* e = FindEntity(html.substr(at + 1, end - at))) {
            out.append(e->text);
            return end + 1 - at;
        }
    }
    // A legacy name without its semicolon, the longest that fits ("&notit" is "¬it").
    for (std::size_t n = end - at - 1; n >= 2; --n) {
        if (const HtmlEntity* e = FindEntity(html.substr(at + 1, n))) {
            out.append(e->text);
            return n + 1;
        }
    }
    return 0;
}

}  // namespace horofu
