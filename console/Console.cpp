// Printing into the console and drawing its lines, serialised by the console's lock.
#include "console/Console.h"

#include <algorithm>
#include <array>

#include "runtime/ShiftJis.h"

namespace horofu {

void Console::SetMetrics(const ConsoleMetrics& metrics) {
    std::lock_guard<std::mutex> guard(lock_);
    metrics_ = metrics;
}

void Console::AttachWindow(ConsoleSurface* window) {
    std::lock_guard<std::mutex> guard(lock_);
    window_ = window;
    windowKnown_ = false;
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

void Console::Paint(ConsoleSurface& surface) {
    std::lock_guard<std::mutex> guard(lock_);
    RedrawLocked(surface, -1, 0, 0, true);
}

void Console::RedrawLocked(ConsoleSurface& surface, int32_t firstLine, int32_t lastLine,
                           int32_t stepsTaken, bool clearFirst) {
    const bool drawing = surface.BeginRedraw();
    const ConsoleSize size = surface.ClientSize();
    if (drawing && clearFirst) {
        surface.CopyBackground(0, 0, size.width, size.height);
        inked_.fill(0);
        irregular_.fill(false);
        windowKnown_ = true;
    }
    const int64_t lineHeight = metrics_.lineHeight;
    const int32_t steps = stepsTaken + ApplyScrollRule(buffer_, size.height, metrics_.lineHeight);
    if (!drawing) {
        windowKnown_ = false;
        surface.EndRedraw();
        return;
    }

    // Rows that show any part of a line: row i starts at pixel i * lineHeight.
    int32_t visible = 0;
    while (visible < kConsoleLines && visible * lineHeight < size.height) ++visible;

    std::array<bool, kConsoleLines> draw{};
    std::array<int32_t, kConsoleLines> widths;  // text widths measured so far, -1 if not
    widths.fill(-1);
    if (firstLine != -1 && steps == 0) {
        for (int32_t i = std::max(firstLine, 0); i <= lastLine && i < visible; ++i) draw[i] = true;
    } else {
        draw.fill(true);
        // After a scroll, the rows still on the window can move up with the text they show;
        // then only rows whose pixels did not come along are drawn. Old line k (counted
        // before any step) shows at new row k - steps; it came along whole if its row was
        // wholly inside the client area and the print did not change it. Only the part of
        // the rows left of every row's ink needs to move: the rest is background throughout.
        const int64_t bottom = std::min<int64_t>(size.height, kConsoleLines * lineHeight);
        const int64_t distance = steps * lineHeight;
        const int64_t lastChanged = int64_t{lastLine} + stepsTaken;
        if (firstLine != -1 && windowKnown_ && distance < bottom) {
            // A row whose glyphs do not fill exactly its cells shows, where none of them
            // lands, what its place on the window showed before. Moved, or drawn over moved
            // pixels, it would show what another place showed: then every row is drawn again
            // in place instead.
            std::array<bool, kConsoleLines> cameAlong{};
            bool regular = true;
            for (int32_t i = 0; i < visible && regular; ++i) {
                const int64_t old = int64_t{i} + steps;
                cameAlong[i] = old <= kConsoleLastLine && (old + 1) * lineHeight <= size.height &&
                               (old < firstLine || old > lastChanged);
                if (cameAlong[i]) {
                    regular = !irregular_[old];
                } else {
                    widths[i] = LineWidth(surface, i);
                    regular = widths[i] == buffer_.Line(i).Length() * metrics_.cellWidth;
                }
            }
            const int32_t right =
                std::min(size.width, *std::max_element(inked_.begin(), inked_.begin() + visible));
            if (regular && surface.ScrollUp(static_cast<int32_t>(bottom),
                                            static_cast<int32_t>(distance), right)) {
                for (int32_t i = 0; i < kConsoleLines; ++i) {
                    draw[i] = !cameAlong[i];
                    inked_[i] = cameAlong[i] ? inked_[i + steps] : 0;
                    irregular_[i] = false;  // came along regular, or drawn below
                }
            }
        }
    }
    for (int32_t i = 0; i < visible; ++i) {
        if (draw[i]) DrawLine(surface, i, size.width, widths[i]);
    }
    surface.EndRedraw();
}

int32_t Console::LineWidth(ConsoleSurface& surface, int32_t i) {
    const ConsoleLine& line = buffer_.Line(i);
    const int32_t length = line.Length();
    return length == 0 ? 0 : surface.TextWidth(line.text.data(), length);
}

void Console::DrawLine(ConsoleSurface& surface, int32_t i, int32_t clientWidth, int32_t width) {
    const ConsoleLine& line = buffer_.Line(i);
    const char* text = line.text.data();
    const int32_t length = line.Length();
    const int32_t cell = metrics_.cellWidth;
    const int32_t y = i * metrics_.lineHeight;

    if (width < 0) width = LineWidth(surface, i);
    surface.CopyBackground(width, y, clientWidth, metrics_.lineHeight);
    // A glyph may reach a little past its cells; two cells of room cover the widest.
    inked_[i] = length == 0 ? 0 : std::max(width, length * cell) + 2 * cell;
    irregular_[i] = width != length * cell;

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
