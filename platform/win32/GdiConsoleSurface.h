// The console window as a drawing surface, drawn with GDI.
#pragma once

#include <windows.h>

#include <vector>

#include "console/ConsoleSurface.h"

namespace horofu {

// How lines reach the window. Runs: one ExtTextOutA per line with a cell position for every
// character, widths from a table, and a scroll moves the pixels already on the window.
// CharacterByCharacter: one TextOutA per character, one GetTextExtentPoint32A per line, and
// every visible line drawn again after a scroll; the same pixels, far slower, kept for
// comparison by the benchmark.
enum class GdiDrawing { Runs, CharacterByCharacter };

// The width of every character in the console font, measured on first use: single bytes,
// and byte pairs that start with a lead byte. One per console, shared by its surfaces, used
// only under the console's lock.
class GlyphWidths {
  public:
    GlyphWidths() : widths_(65536, -1) {}
    // Width of the character at bytes (count 1 or 2) as drawn on dc in the console font.
    int32_t Of(HDC dc, const char* bytes, int32_t count);

  private:
    std::vector<int32_t> widths_;  // by byte, or by lead byte * 256 + trail byte; -1 unknown
};

class GdiConsoleSurface : public ConsoleSurface {
  public:
    // Draws on paintDc when given (a paint handler's, between BeginPaint and EndPaint), else
    // on a device context of the window taken for each redraw. background is the memory
    // device context holding the black background surface.
    GdiConsoleSurface(HWND window, HDC paintDc, HDC background, HFONT font, GlyphWidths& widths,
                      GdiDrawing drawing)
        : window_(window),
          paintDc_(paintDc),
          background_(background),
          font_(font),
          widths_(widths),
          drawing_(drawing) {}

    bool BeginRedraw() override;
    void EndRedraw() override;
    ConsoleSize ClientSize() override;
    int32_t TextWidth(const char* bytes, int32_t count) override;
    void CopyBackground(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void DrawCharacter(int32_t x, int32_t y, const char* bytes, int32_t count, ConsoleColor fg,
                       ConsoleColor bg) override;
    void DrawRun(int32_t x, int32_t y, const char* bytes, const int32_t* advances, int32_t count,
                 ConsoleColor fg, ConsoleColor bg) override;
    bool ScrollUp(int32_t bottom, int32_t distance, int32_t right) override;

  private:
    void SetColours(ConsoleColor fg, ConsoleColor bg);

    HWND window_;
    HDC paintDc_;
    HDC background_;
    HFONT font_;
    GlyphWidths& widths_;
    GdiDrawing drawing_;
    HDC dc_ = nullptr;  // the device context of the redraw under way
    HGDIOBJ previousFont_ = nullptr;
};

}  // namespace horofu
