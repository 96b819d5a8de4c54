// Control characters and invisible marks replaced by what shows them.
#include "converter/modern/ShownText.h"

#include <array>
#include <cstdint>

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

// The marks that reorder text or hide between characters, and their markup: a framed "U+…"
// that no thread text can imitate (its < is escaped).
struct ShownMark {
    uint32_t code;
    std::string_view markup;
};
#define HOROFU_MARK(hex) \
    { 0x##hex, "<span class=\"ctl\">U+" #hex "</span>" }
constexpr ShownMark kMarks[] = {
    HOROFU_MARK(00AD), HOROFU_MARK(061C), HOROFU_MARK(180E), HOROFU_MARK(200B), HOROFU_MARK(200C),
    HOROFU_MARK(200D), HOROFU_MARK(200E), HOROFU_MARK(200F), HOROFU_MARK(202A), HOROFU_MARK(202B),
    HOROFU_MARK(202C), HOROFU_MARK(202D), HOROFU_MARK(202E), HOROFU_MARK(2060), HOROFU_MARK(2061),
    HOROFU_MARK(2062), HOROFU_MARK(2063), HOROFU_MARK(2064), HOROFU_MARK(2066), HOROFU_MARK(2067),
    HOROFU_MARK(2068), HOROFU_MARK(2069), HOROFU_MARK(FEFF),
};
#undef HOROFU_MARK

// The code point of the two- or three-byte character at text[at], or 0. The text is UTF-8
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
    return 0;
}

}  // namespace

std::size_t HiddenAt(std::string_view text, std::size_t at, Marks marks,
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
    if (b != 0xC2 && (marks == Marks::Kept || (b != 0xD8 && b != 0xE1 && b != 0xE2 && b != 0xEF))) {
        return 0;
    }
    std::size_t length = 0;
    const uint32_t code = CodeAt(text, at, length);
    if (code >= 0x80 && code < 0xA0) {
        replacement = kReplacement;
        return length;
    }
    if (marks == Marks::Kept) return 0;
    for (const ShownMark& mark : kMarks) {
        if (mark.code == code) {
            replacement = mark.markup;
            markup = true;
            return length;
        }
    }
    return 0;
}

void AppendShown(std::string_view text, Marks marks, std::string& out) {
    ForEachShown(
        text, marks,
        [&](std::string_view piece) {
            for (const char c : piece) {
                switch (c) {
                    case '&':
                        out += "&amp;";
                        break;
                    case '<':
                        out += "&lt;";
                        break;
                    case '>':
                        out += "&gt;";
                        break;
                    case '"':
                        out += "&quot;";
                        break;
                    default:
                        out += c;
                }
            }
        },
        [&](std::string_view markup) { out.append(markup); });
}

void PutShown(PageWriter& out, std::string_view text, Marks marks) {
    ForEachShown(
        text, marks, [&](std::string_view piece) { out.PutEscaped(piece); },
        [&](std::string_view markup) { out.Put(markup); });
}

}  // namespace horofu
