// Saves what the screen shows of a window as a PNG file, for a person to look at.
#pragma once

#include <windows.h>

#include <string>

namespace kelvra::test {

// Captures the window's rectangle from the screen; returns false when it could not.
bool SaveWindowPng(HWND window, const std::string& path);

}  // namespace kelvra::test
