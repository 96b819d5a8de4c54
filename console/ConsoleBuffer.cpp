// Laying printed bytes out in the console buffer, and scrolling it.
#include "console/ConsoleBuffer.h"

#include <algorithm>

namespace horofu {
namespace {

constexpr char kTab = 9;
constexpr char kLf = 10;
constexpr char kCr = 13;

void Put(ConsoleBuffer& buffer, char byte) {
    // Past the last text column the byte is dropped; the column stops there too, so a line
    // that never ends cannot run the cursor out of range.
    if (buffer.cursorColumn >= kConsoleTextBytes) return;
    ConsoleLine& line = buffer.Line(buffer.cursorLine);
    line.text[buffer.cursorColumn] = byte;
    line.foreground[buffer.cursorColumn] = buffer.printForeground;
    line.background[buffer.cursorColumn] = buffer.printBackground;
    ++buffer.cursorColumn;
}

}  // namespace

ConsoleBuffer::ConsoleBuffer() {
    for (auto& line : lines) line = std::make_unique<ConsoleLine>();
}

int32_t StoreConsoleText(ConsoleBuffer& buffer, std::string_view text) {
    int32_t steps = 0;
    const std::size_t end = std::min(text.size(), text.find('\0'));
    for (std::size_t i = 0; i < end; ++i) {
        const char byte = text[i];
        if (byte == kTab) {
            // Tab stops are every 8 columns; a TAB on a stop moves a full 8.
            const int32_t n = 8 - buffer.cursorColumn % 8;
            for (int32_t k = 0; k < n; ++k) Put(buffer, ' ');
        } else if (byte == kCr && i + 1 < end && text[i + 1] == kLf) {
            ++i;
            buffer.cursorColumn = 0;
            if (buffer.cursorLine == kConsoleLastLine) {
                ScrollConsoleBuffer(buffer);
                ++steps;
            }
            ++buffer.cursorLine;
        } else {
            Put(buffer, byte);
        }
    }
    return steps;
}

void ScrollConsoleBuffer(ConsoleBuffer& buffer) {
    std::move(buffer.lines.begin() + 1, buffer.lines.end(), buffer.lines.begin());
    buffer.lines[kConsoleLastLine] = std::make_unique<ConsoleLine>();
    --buffer.cursorLine;
}

int32_t ApplyScrollRule(ConsoleBuffer& buffer, int32_t clientHeight, int32_t lineHeight) {
    int32_t steps = 0;
    while (
        buffer.cursorLine > kConsoleLastLine ||
        (buffer.cursorLine > 0 && (int64_t{buffer.cursorLine} + 1) * lineHeight > clientHeight)) {
        ScrollConsoleBuffer(buffer);
        ++steps;
    }
    return steps;
}

}  // namespace horofu
