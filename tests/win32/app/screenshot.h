// What the screen shows of a window: its pixels, and a PNG file of them for a person to
// look at.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // rows top to bottom
    // The pixel at x, y of the window's rectangle.
    COLORREF At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// Captures the window's rectangle from the screen; nullopt when it could not.
std::optional<Capture> CaptureWindow(HWND window);
bool SavePng(const Capture& capture, const std::string& path);
// Both of the above; false when either failed.
bool SaveWindowPng(HWND window, const std::string& path);

}  // namespace kelvra::test
