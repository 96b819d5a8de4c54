// Saves what a window's client area shows, so that two ways of drawing can be compared.
#pragma once

#include <windows.h>

#include <cstdio>
#include <vector>

namespace horofu::testing {

// Writes the client area's pixels as a binary PPM file; false when that fails. Called by the
// console probe and the echo benchmark after their prints.
inline bool DumpClientPixels(HWND window, const char* path) {
    RECT client{};
    if (!GetClientRect(window, &client)) return false;
    const int width = client.right, height = client.bottom;
    HDC windowDc = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        std::vector<unsigned char> rgb;
        rgb.reserve(static_cast<size_t>(width) * height * 3);
        const auto* pixel = static_cast<const unsigned char*>(bits);  // blue, green, red, 0
        for (int i = 0; i < width * height; ++i, pixel += 4) {
            rgb.push_back(pixel[2]);
            rgb.push_back(pixel[1]);
            rgb.push_back(pixel[0]);
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        FILE* out = std::fopen(path, "wb");
        ok = out != nullptr;
        if (ok) {
            std::fprintf(out, "P6\n%d %d\n255\n", width, height);
            ok = std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
            ok = std::fclose(out) == 0 && ok;
        }
    }
    DeleteDC(memory);
    ReleaseDC(window, windowDc);
    return ok;
}

}  // namespace horofu::testing
