// Pictures of windows as they are on the screen, for the documentation.
#pragma once

#include <string>

#include "platform/win32/win32_api.h"

namespace winhost {

// Repaints the window and its children, then copies its screen area into a
// 24-bit BMP file; false when the file cannot be written.
bool SaveWindowPicture(HWND window, const std::string& bmpPath);

}  // namespace winhost
