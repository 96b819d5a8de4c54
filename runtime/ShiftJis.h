// Shift-JIS (code page 932) byte classes: the one place that knows which bytes open a
// double-byte character, which may follow one, and how text is walked character by character.
#pragma once

#include <cstddef>
#include <string_view>

namespace horofu {

// True for the bytes that open a double-byte character (81-9F, E0-FC).
constexpr bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// True for the bytes that may follow a lead byte as its second byte (40-7E, 80-FC). ASCII
// letters, '@', '[', '\' and the like are among them; '/', '.', digits and blanks are not.
constexpr bool IsTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The bytes of the character that starts at text[j] as the system walks text: a lead byte
// takes the byte after it, whatever that byte is, unless it is the last one.
constexpr std::size_t CharacterBytes(std::string_view text, std::size_t j) {
    return IsLeadByte(static_cast<unsigned char>(text[j])) && j + 1 < text.size() ? 2 : 1;
}

// Whether text[j] is the second byte of a character when text is walked from its start with
// CharacterBytes. A byte that cannot lead is always followed by a character start, so only
// the run of lead-range bytes right before j matters: j is a second byte when it is odd.
constexpr bool IsTrailByteAt(std::string_view text, std::size_t j) {
    std::size_t run = 0;
    while (run < j && IsLeadByte(static_cast<unsigned char>(text[j - run - 1]))) ++run;
    return (run & 1) != 0;
}

}  // namespace horofu
