// The console's text: 101 line records, the cursor and the print colours, and how printed
// bytes are laid out and scrolled in it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "console/ConsoleColor.h"
#include "console/ConsoleLine.h"

namespace horofu {

// Lines 0 to 100; line 0 is drawn at the top of the window.
inline constexpr int32_t kConsoleLines = 101;
inline constexpr int32_t kConsoleLastLine = kConsoleLines - 1;

struct ConsoleBuffer {
    std::array<std::unique_ptr<ConsoleLine>, kConsoleLines> lines;
    int32_t cursorColumn = 0;  // byte column in the cursor line that the next byte goes to
    int32_t cursorLine = 0;    // line that receives printed bytes
    ConsoleColor printForeground = ConsoleRgb(255, 255, 255);
    ConsoleColor printBackground = ConsoleRgb(0, 0, 0);

    // 101 empty lines, the cursor at the top left, white on black.
    ConsoleBuffer();

    ConsoleLine& Line(int32_t i) { return *lines[i]; }
    const ConsoleLine& Line(int32_t i) const { return *lines[i]; }
};

// Lays text out at the cursor, up to its end or its first zero byte: a TAB fills spaces up to
// the next multiple of 8, CR directly followed by LF starts the next line, and every other
// byte (a lone CR or LF too) takes one column in the print colours. Bytes that would land at
// column 254 or beyond are dropped. A line end past line 100 takes a scroll step first, so
// the cursor line never leaves the buffer. Called by the console's print; answers the
// number of scroll steps taken.
int32_t StoreConsoleText(ConsoleBuffer& buffer, std::string_view text);

// Drops line 0, moves the records of lines 1 to 100 up by one, puts an empty line at 100 and
// moves the cursor up a line (its column stays). Called by the scroll rule and by
// StoreConsoleText.
void ScrollConsoleBuffer(ConsoleBuffer& buffer);

// The scroll rule, run before every redraw: takes scroll steps while the cursor line is not
// wholly inside a client area clientHeight pixels high (unless it is line 0) or lies past
// line 100. Answers the number of steps taken.
int32_t ApplyScrollRule(ConsoleBuffer& buffer, int32_t clientHeight, int32_t lineHeight);

}  // namespace horofu
