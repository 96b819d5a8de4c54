// What the console draws on: the few drawing operations a redraw needs, so that the buffer's
// layout and drawing stay free of any window system.
#pragma once

#include <cstdint>

#include "console/ConsoleColor.h"

namespace horofu {

struct ConsoleSize {
    int32_t width = 0;
    int32_t height = 0;
};

// A console window seen by one redraw, in pixels of its client area. Each redraw calls
// BeginRedraw first and EndRedraw last; the other operations come in between.
class ConsoleSurface {
  public:
    virtual ~ConsoleSurface() = default;

    // Called by a redraw before anything else: e.g. take a device context on the window and
    // select the console font. Answers false when there is nothing to draw on; the redraw
    // then still scrolls the buffer but draws nothing (and EndRedraw is still called).
    virtual bool BeginRedraw() { return true; }
    // Called by a redraw after everything else: put back what BeginRedraw changed, and see
    // that the drawing has reached the window.
    virtual void EndRedraw() {}

    // The size of the window's client area.
    virtual ConsoleSize ClientSize() = 0;

    // The width of count bytes drawn in the console font.
    virtual int32_t TextWidth(const char* bytes, int32_t count) = 0;

    // Clears a rectangle by copying the same rectangle of the black background surface onto
    // the window.
    virtual void CopyBackground(int32_t x, int32_t y, int32_t width, int32_t height) = 0;

    // Draws one character (one byte, or the two bytes of a double-byte character) with its
    // top left corner at (x, y), in colour fg on an opaque cell of colour bg.
    virtual void DrawCharacter(int32_t x, int32_t y, const char* bytes, int32_t count,
                               ConsoleColor fg, ConsoleColor bg) = 0;

    // Draws a run of characters in one colour pair starting at (x, y): byte i is followed by
    // a move of advances[i] pixels (for a double-byte character: two cells on its first byte,
    // 0 on its second). The result must be the same pixels as drawing each character by
    // itself at its own cell, left to right, which is what this default does. A surface
    // overrides it to draw the run with one call.
    virtual void DrawRun(int32_t x, int32_t y, const char* bytes, const int32_t* advances,
                         int32_t count, ConsoleColor fg, ConsoleColor bg);

    // Moves the pixels of rows [distance, bottom) of the client area up to [0, bottom -
    // distance), leaving the rest as it is, and answers true; the redraw then draws only the
    // lines whose pixels did not come along. Pixels from column right on are background in
    // both places and need not move. Answers false (and moves nothing) when that cannot be
    // done: the redraw then draws every line. Called only when the window shows what the
    // redraws drew; a part of the window that waits for a repaint may hold anything, and a
    // surface that moves such pixels must see that the whole window gets repainted. This
    // default never scrolls.
    virtual bool ScrollUp(int32_t bottom, int32_t distance, int32_t right);
};

}  // namespace horofu
