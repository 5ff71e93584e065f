#include "winhost/window_queries.h"

namespace winhost {

namespace {

struct ChildSearch {
    const std::string* className;
    const std::string* text;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<ChildSearch*>(data);
    if (ClassName(child) == *search->className && WindowText(child) == *search->text) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string ClassName(HWND window) {
    char buffer[256];
    const int length = GetClassNameA(window, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

bool HasBorder(HWND window) {
    return (GetWindowLongA(window, GWL_STYLE) & WS_BORDER) != 0 ||
           (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
}

RECT RectInParent(HWND window) {
    RECT rect{0, 0, 0, 0};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// MapDialogRect scales each field alone, as the dialog manager scales a
// control's position and size: map x, y, width and height, then add.
RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height) {
    RECT units{x, y, width, height};
    MapDialogRect(dialog, &units);
    return RECT{units.left, units.top, units.left + units.right, units.top + units.bottom};
}

HWND FindChildByText(HWND parent, const std::string& className, const std::string& text) {
    ChildSearch search{&className, &text, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace winhost
