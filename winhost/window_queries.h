// Small questions the host asks about windows: text, class, geometry.
#pragma once

#include <string>

#include "hostdrive/panel_driver.h"
#include "platform/win32/win32_api.h"

namespace winhost {

using hostdrive::DlgItemText;
using hostdrive::WindowText;

std::string ClassName(HWND window);
// True when the window has a border: WS_BORDER, or the sunken edge that the
// dialog manager gives bordered controls of extended templates.
bool HasBorder(HWND window);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);
// A control's dialog-unit position and size in pixels of `dialog`, as the
// dialog manager places it (through MapDialogRect).
RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height);
// The first child of `parent` with this class and text, or null.
HWND FindChildByText(HWND parent, const std::string& className, const std::string& text);

}  // namespace winhost
