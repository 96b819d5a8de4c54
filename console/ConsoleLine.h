// One line record of the console buffer: its bytes and the colours of each byte column.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "console/ConsoleColor.h"

namespace horofu {

// Byte columns per line record. The text ends at the first zero byte and the last byte always
// stays zero, so a line holds at most kConsoleTextBytes bytes of text.
inline constexpr int32_t kConsoleLineBytes = 255;
inline constexpr int32_t kConsoleTextBytes = kConsoleLineBytes - 1;

// Created zero-filled: no text, every colour black. Held by pointer in the buffer so that a
// scroll moves records, never their bytes.
struct ConsoleLine {
    std::array<char, kConsoleLineBytes> text{};
    std::array<ConsoleColor, kConsoleLineBytes> foreground{};  // colour of the byte itself
    std::array<ConsoleColor, kConsoleLineBytes> background{};  // colour of the cell behind it

    // Bytes of text before the first zero byte.
    int32_t Length() const {
        const void* end = std::memchr(text.data(), 0, text.size());
        return static_cast<int32_t>(static_cast<const char*>(end) - text.data());
    }
};

}  // namespace horofu
