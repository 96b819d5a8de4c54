// A console drawing target for tests that keeps the pixels it is given.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "console/ConsoleSurface.h"

namespace horofu::testing {

// A window's pixels, each naming what covers it: the character (its bytes and the pixel's
// place inside the glyph) and its colours, or the black background. A character is as wide
// as its bytes in cells, but for a lone CR or LF, which is two cells wide. With scrolling on, it
// also moves pixels and draws runs itself by their advances, the way a fast window does.
class CanvasSurface : public ConsoleSurface {
  public:
    struct Pixel {
        uint32_t code = 0;  // bytes of the character, plus 1; 0 for the background
        int32_t dx = 0, dy = 0;
        ConsoleColor fg = 0, bg = 0;
        bool operator==(const Pixel&) const = default;
    };

    CanvasSurface(int32_t width, int32_t height, int32_t cellWidth, int32_t lineHeight,
                  bool scrolls)
        : cellWidth_(cellWidth), lineHeight_(lineHeight), scrolls_(scrolls) {
        Resize(width, height);
    }

    // A new client size, keeping the pixels that stay inside, as a window does until its
    // repaint.
    void Resize(int32_t width, int32_t height) {
        std::vector<Pixel> fresh(static_cast<std::size_t>(width) * height);
        for (int32_t y = 0; y < std::min(height, height_); ++y)
            for (int32_t x = 0; x < std::min(width, width_); ++x)
                fresh[y * width + x] = pixels_[y * width_ + x];
        pixels_ = std::move(fresh);
        width_ = width;
        height_ = height;
    }

    // Two redraws under way at once, from two threads, set overlapped.
    bool BeginRedraw() override {
        if (inside_.fetch_add(1) != 0) overlapped = true;
        return true;
    }
    void EndRedraw() override { inside_.fetch_sub(1); }
    ConsoleSize ClientSize() override { return {width_, height_}; }
    int32_t TextWidth(const char* bytes, int32_t count) override {
        int32_t width = 0;
        for (int32_t i = 0; i < count; ++i) width += ByteWidth(bytes[i]);
        return width;
    }
    void CopyBackground(int32_t x, int32_t y, int32_t width, int32_t height) override {
        Fill(x, y, width, height, [](int32_t, int32_t) { return Pixel{}; });
    }
    void DrawCharacter(int32_t x, int32_t y, const char* bytes, int32_t count, ConsoleColor fg,
                       ConsoleColor bg) override {
        uint32_t code = 0;
        for (int32_t i = 0; i < count; ++i) code = code << 8 | static_cast<unsigned char>(bytes[i]);
        Fill(x, y, TextWidth(bytes, count), lineHeight_, [&](int32_t dx, int32_t dy) {
            return Pixel{code + 1, dx, dy, fg, bg};
        });
    }
    void DrawRun(int32_t x, int32_t y, const char* bytes, const int32_t* advances, int32_t count,
                 ConsoleColor fg, ConsoleColor bg) override {
        if (!scrolls_) return ConsoleSurface::DrawRun(x, y, bytes, advances, count, fg, bg);
        // A character is a byte with a non-zero advance and the zero-advance bytes after it.
        for (int32_t i = 0; i < count;) {
            int32_t n = 1;
            while (i + n < count && advances[i + n] == 0) ++n;
            DrawCharacter(x, y, bytes + i, n, fg, bg);
            for (int32_t k = 0; k < n; ++k) x += advances[i + k];
            i += n;
        }
    }
    bool ScrollUp(int32_t bottom, int32_t distance, int32_t right) override {
        if (!scrolls_ || refuseScroll) return false;
        ++scrollsDone;
        for (int32_t y = 0; y + distance < bottom; ++y)
            std::copy_n(&pixels_[(y + distance) * width_], right, &pixels_[y * width_]);
        return true;
    }

    const Pixel& At(int32_t x, int32_t y) const { return pixels_[y * width_ + x]; }

    bool operator==(const CanvasSurface& other) const {
        return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
    }

    std::atomic<bool> overlapped{false};
    bool refuseScroll = false;
    int32_t scrollsDone = 0;

  private:
    // A lone CR or LF shows as a glyph two cells wide, as fonts without a glyph for a byte
    // tend to show a wide box; every other byte fills its cell.
    int32_t ByteWidth(char b) const { return b == '\r' || b == '\n' ? 2 * cellWidth_ : cellWidth_; }

    template <class Make>
    void Fill(int32_t x, int32_t y, int32_t width, int32_t height, Make make) {
        for (int32_t py = std::max(y, 0); py < std::min(y + height, height_); ++py)
            for (int32_t px = std::max(x, 0); px < std::min(x + width, width_); ++px)
                pixels_[py * width_ + px] = make(px - x, py - y);
    }

    std::atomic<int> inside_{0};
    int32_t cellWidth_, lineHeight_;
    bool scrolls_;
    int32_t width_ = 0, height_ = 0;
    std::vector<Pixel> pixels_;
};

}  // namespace horofu::testing
