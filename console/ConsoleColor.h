// Colour values of the console cells, laid out like the platform's COLORREF.
#pragma once

#include <cstdint>

namespace horofu {

// Red in bits 0 to 7, green in 8 to 15, blue in 16 to 23, the top byte 0.
using ConsoleColor = uint32_t;

// A colour from the low 8 bits of each part. Used for the print colours at console start and
// by anything that wants to name a colour.
constexpr ConsoleColor ConsoleRgb(int32_t r, int32_t g, int32_t b) {
    return (static_cast<uint32_t>(r) & 0xFF) | ((static_cast<uint32_t>(g) & 0xFF) << 8) |
           ((static_cast<uint32_t>(b) & 0xFF) << 16);
}

}  // namespace horofu
