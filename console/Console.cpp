// Printing into the console and drawing its lines, serialised by the console's lock.
#include "console/Console.h"

#include <algorithm>
#include <array>

namespace horofu {
namespace {

// True for the second byte of a valid Shift-JIS double-byte character.
bool IsTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

}  // namespace

void Console::SetMetrics(const ConsoleMetrics& metrics) {
    std::lock_guard<std::mutex> guard(lock_);
    metrics_ = metrics;
}

void Console::AttachWindow(ConsoleSurface* window) {
    std::lock_guard<std::mutex> guard(lock_);
    window_ = window;
}

void Console::Print(const Text& text) {
    std::lock_guard<std::mutex> guard(lock_);
    if (window_ == nullptr) return;
    const int32_t firstLine = buffer_.cursorLine;
    const int32_t steps = StoreConsoleText(buffer_, text.View());
    RedrawLocked(*window_, firstLine, buffer_.cursorLine, steps);
}

void Console::Redraw(ConsoleSurface& surface, int32_t firstLine, int32_t lastLine) {
    std::lock_guard<std::mutex> guard(lock_);
    RedrawLocked(surface, firstLine, lastLine, 0);
}

void Console::RedrawLocked(ConsoleSurface& surface, int32_t firstLine, int32_t lastLine,
                           int32_t stepsTaken) {
    const bool drawing = surface.BeginRedraw();
    const ConsoleSize size = surface.ClientSize();
    const int64_t lineHeight = metrics_.lineHeight;
    const int32_t steps = stepsTaken + ApplyScrollRule(buffer_, size.height, metrics_.lineHeight);
    if (!drawing) {
        surface.EndRedraw();
        return;
    }

    // Rows that show any part of a line: row i starts at pixel i * lineHeight.
    int32_t visible = 0;
    while (visible < kConsoleLines && visible * lineHeight < size.height) ++visible;

    std::array<bool, kConsoleLines> draw{};
    if (firstLine != -1 && steps == 0) {
        for (int32_t i = std::max(firstLine, 0); i <= lastLine && i < visible; ++i) draw[i] = true;
    } else {
        draw.fill(true);
        // After a scroll, the rows still on the window can move up with the text they show;
        // then only rows whose pixels did not come along are drawn. Old line k (counted
        // before any step) shows at new row k - steps; it came along whole if its row was
        // wholly inside the client area and the print did not change it.
        const int64_t bottom = std::min<int64_t>(size.height, kConsoleLines * lineHeight);
        const int64_t distance = steps * lineHeight;
        const int64_t lastChanged = int64_t{lastLine} + stepsTaken;
        if (firstLine != -1 && distance < bottom &&
            surface.ScrollUp(static_cast<int32_t>(bottom), static_cast<int32_t>(distance))) {
            for (int32_t i = 0; i < visible; ++i) {
                const int64_t old = int64_t{i} + steps;
                const bool cameAlong = old <= kConsoleLastLine &&
                                       (old + 1) * lineHeight <= size.height &&
                                       (old < firstLine || old > lastChanged);
                draw[i] = !cameAlong;
            }
        }
    }
    for (int32_t i = 0; i < visible; ++i) {
        if (draw[i]) DrawLine(surface, i, size.width);
    }
    surface.EndRedraw();
}

void Console::DrawLine(ConsoleSurface& surface, int32_t i, int32_t clientWidth) {
    const ConsoleLine& line = buffer_.Line(i);
    const char* text = line.text.data();
    const int32_t length = line.Length();
    const int32_t cell = metrics_.cellWidth;
    const int32_t y = i * metrics_.lineHeight;

    surface.CopyBackground(surface.TextWidth(text, length), y, clientWidth, metrics_.lineHeight);

    // Characters go out in runs of one colour pair (a double-byte character takes the
    // colours of its first byte), each at its own cell. A lead byte without a valid second
    // byte is drawn in a run of its own, exactly as a drawing of one character at a time
    // would hand it over.
    std::array<int32_t, kConsoleLineBytes> advances{};
    for (int32_t j = 0; j < length;) {
        const int32_t start = j;
        const ConsoleColor fg = line.foreground[j];
        const ConsoleColor bg = line.background[j];
        while (j < length) {
            const auto b = static_cast<unsigned char>(text[j]);
            if (j > start && (line.foreground[j] != fg || line.background[j] != bg)) break;
            if (!IsLeadByte(b)) {
                advances[j++] = cell;
                continue;
            }
            const bool paired =
                j + 1 < length && IsTrailByte(static_cast<unsigned char>(text[j + 1]));
            if (paired) {
                advances[j] = 2 * cell;
                advances[j + 1] = 0;
                j += 2;
                continue;
            }
            if (j > start) break;
            // Alone: a lead byte at the end of the text, or one before a byte that cannot
            // follow it; one character either way.
            const int32_t n = j + 1 < length ? 2 : 1;
            advances[j] = n * cell;
            if (n == 2) advances[j + 1] = 0;
            j += n;
            break;
        }
        surface.DrawRun(start * cell, y, text + start, advances.data() + start, j - start, fg, bg);
    }
}

Console& ProcessConsole() {
    static Console console;
    return console;
}

void ConsolePrint(const Text& text) {
    ProcessConsole().Print(text);
}

void RedrawConsoleLines(ConsoleSurface& surface, int32_t firstLine, int32_t lastLine) {
    ProcessConsole().Redraw(surface, firstLine, lastLine);
}

}  // namespace horofu
