// The process's console: its buffer, the cell metrics and the lock that serialises printing
// with painting, and the print and redraw operations built on them.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "console/ConsoleBuffer.h"
#include "console/ConsoleSurface.h"
#include "runtime/Text.h"

namespace horofu {

// Pixel size of one byte column and of one line in the console font.
struct ConsoleMetrics {
    int32_t cellWidth = 8;
    int32_t lineHeight = 16;
};

class Console {
  public:
    Console() = default;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Called by the window when it is created, once the font has been measured.
    void SetMetrics(const ConsoleMetrics& metrics);

    // The surface that Print draws on: the console window as seen from whatever thread
    // prints. Called by the window when it is created, and with null when it is destroyed,
    // after which Print does nothing. The surface must outlive its attachment.
    void AttachWindow(ConsoleSurface* window);

    // Stores text at the cursor and draws the lines it touched (or, after a scroll, every
    // visible line) on the attached window before returning. Called on the main thread for
    // every echoed record. Does nothing while no window is attached.
    void Print(const Text& text);

    // Applies the scroll rule for the surface's client height, then draws lines firstLine to
    // lastLine, or every visible line when firstLine is -1 (lastLine is then ignored). Called
    // through RedrawConsoleLines, and by tests; Print and Paint share its drawing.
    void Redraw(ConsoleSurface& surface, int32_t firstLine, int32_t lastLine);

    // What a paint does, under the same lock: clears the whole client area from the
    // background surface, then redraws every line. Called by the window's paint handler.
    void Paint(ConsoleSurface& surface);

    // The buffer, for the window code and for tests that look at the layout. Not to be used
    // while another thread may print or paint.
    ConsoleBuffer& Buffer() { return buffer_; }

  private:
    // Redraw with the lock held. stepsTaken are scroll steps already taken since firstLine
    // and lastLine were noted (lastLine counted after them, firstLine before). clearFirst
    // clears the whole client area before anything is drawn.
    void RedrawLocked(ConsoleSurface& surface, int32_t firstLine, int32_t lastLine,
                      int32_t stepsTaken, bool clearFirst = false);
    // The width of line i's text in the console font.
    int32_t LineWidth(ConsoleSurface& surface, int32_t i);
    // Clears the strip right of line i's text and draws its characters at their cells. width
    // is the text's width, or -1 when not yet measured.
    void DrawLine(ConsoleSurface& surface, int32_t i, int32_t clientWidth, int32_t width);

    std::mutex lock_;  // one print with its redraw, or one paint's redraw, at a time
    ConsoleBuffer buffer_;
    ConsoleMetrics metrics_;
    ConsoleSurface* window_ = nullptr;
    // What the window shows, as far as the redraws know: whether its pixels are the last
    // redraw's (from the first paint on); for each row the pixel column from which on it
    // shows only background, and whether its text is wider or narrower than its cells.
    bool windowKnown_ = false;
    std::array<int32_t, kConsoleLines> inked_{};
    std::array<bool, kConsoleLines> irregular_{};
};

// The one console of the process, created on first use (by the console thread when it
// starts).
Console& ProcessConsole();

// The echo of the conversion: prints text on the process's console. Called on the main
// thread, only after the console has started.
void ConsolePrint(const Text& text);

// Redraws lines of the process's console on surface; see Console::Redraw. The portable
// core's line-drawing operation; the console window's paint handler calls Console::Paint,
// which also clears the client area first.
void RedrawConsoleLines(ConsoleSurface& surface, int32_t firstLine, int32_t lastLine);

}  // namespace horofu
