// Drawing console lines on the window with GDI.
#include "platform/win32/GdiConsoleSurface.h"

#include <type_traits>

#include <string_view>

#include "runtime/ShiftJis.h"

namespace horofu {

static_assert(std::is_same_v<int32_t, INT>, "advances go to ExtTextOutA as they are");

int32_t GlyphWidths::Of(HDC dc, const char* bytes, int32_t count) {
    const auto first = static_cast<unsigned char>(bytes[0]);
    const int32_t key = count == 2 ? first << 8 | static_cast<unsigned char>(bytes[1]) : first;
    if (widths_[key] < 0) {
        SIZE size{};
        GetTextExtentPoint32A(dc, bytes, count, &size);
        widths_[key] = size.cx;
    }
    return widths_[key];
}

bool GdiConsoleSurface::BeginRedraw() {
    dc_ = paintDc_ != nullptr ? paintDc_ : GetDC(window_);
    if (dc_ == nullptr) return false;  // the window is gone
    previousFont_ = SelectObject(dc_, font_);
    return true;
}

void GdiConsoleSurface::EndRedraw() {
    if (dc_ == nullptr) return;
    SelectObject(dc_, previousFont_);
    // GDI may hold drawing calls back in a batch; a print is to be on the window when it
    // returns.
    GdiFlush();
    if (paintDc_ == nullptr) ReleaseDC(window_, dc_);
    dc_ = nullptr;
}

ConsoleSize GdiConsoleSurface::ClientSize() {
    RECT client{};
    if (!GetClientRect(window_, &client)) return {};
    return {client.right - client.left, client.bottom - client.top};
}

int32_t GdiConsoleSurface::TextWidth(const char* bytes, int32_t count) {
    if (drawing_ == GdiDrawing::CharacterByCharacter) {
        SIZE size{};
        GetTextExtentPoint32A(dc_, bytes, count, &size);
        return size.cx;
    }
    // A text's extent is the sum of its characters' widths.
    int32_t width = 0;
    const std::string_view text(bytes, static_cast<std::size_t>(count));
    for (int32_t j = 0; j < count;) {
        const auto n = static_cast<int32_t>(CharacterBytes(text, j));
        width += widths_.Of(dc_, bytes + j, n);
        j += n;
    }
    return width;
}

void GdiConsoleSurface::CopyBackground(int32_t x, int32_t y, int32_t width, int32_t height) {
    BitBlt(dc_, x, y, width, height, background_, x, y, SRCCOPY);
}

void GdiConsoleSurface::SetColours(ConsoleColor fg, ConsoleColor bg) {
    SetTextColor(dc_, fg);
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, bg);
}

void GdiConsoleSurface::DrawCharacter(int32_t x, int32_t y, const char* bytes, int32_t count,
                                      ConsoleColor fg, ConsoleColor bg) {
    SetColours(fg, bg);
    TextOutA(dc_, x, y, bytes, count);
}

void GdiConsoleSurface::DrawRun(int32_t x, int32_t y, const char* bytes, const int32_t* advances,
                                int32_t count, ConsoleColor fg, ConsoleColor bg) {
    if (drawing_ == GdiDrawing::CharacterByCharacter)
        return ConsoleSurface::DrawRun(x, y, bytes, advances, count, fg, bg);
    SetColours(fg, bg);
    // One ExtTextOutA paints the cells of all its characters first and their glyphs after;
    // one character at a time, each cell covers whatever the character before it drew
    // there. That is the same only while each glyph fills exactly its cells: a character
    // of another width goes out by itself, between the runs before and after it.
    // Advances are one per byte: a double-byte character's two add up to its two cells.
    int32_t start = 0;
    int32_t startX = x;
    const auto flush = [&](int32_t end) {
        if (end > start)
            ExtTextOutA(dc_, startX, y, 0, nullptr, bytes + start, static_cast<UINT>(end - start),
                        advances + start);
    };
    const std::string_view text(bytes, static_cast<std::size_t>(count));
    for (int32_t j = 0; j < count;) {
        const auto n = static_cast<int32_t>(CharacterBytes(text, j));
        const int32_t cells = advances[j] + (n == 2 ? advances[j + 1] : 0);
        if (widths_.Of(dc_, bytes + j, n) != cells) {
            flush(j);
            TextOutA(dc_, x, y, bytes + j, n);
            start = j + n;
            startX = x + cells;
        }
        x += cells;
        j += n;
    }
    flush(count);
}

bool GdiConsoleSurface::ScrollUp(int32_t bottom, int32_t distance, int32_t right) {
    if (drawing_ == GdiDrawing::CharacterByCharacter || paintDc_ != nullptr) return false;
    RECT area{0, 0, right, bottom};
    RECT uncovered{};
    if (!ScrollDC(dc_, 0, -distance, &area, &area, nullptr, &uncovered)) return false;
    // What could not be moved (a part of the window hidden from the device context) besides
    // the strip left at the bottom is left to a repaint, which draws the whole window.
    if (!IsRectEmpty(&uncovered) && uncovered.top < bottom - distance)
        InvalidateRect(window_, &uncovered, FALSE);
    return true;
}

}  // namespace horofu
