// The window table and the window calls that only read or move windows.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/win32/headless_state.h"

namespace headless {
namespace detail {

State* theState = nullptr;

State& CreateState() {
    if (theState == nullptr) theState = new State;  // intentionally never freed
    return *theState;
}

HWND AddWindow(std::unique_ptr<Window> window) {
    State& s = GetState();
    const uintptr_t id = s.nextHandle;
    s.nextHandle += kHandleStep;  // handles are never reused, so stale ones stay harmless
    HWND handle = reinterpret_cast<HWND>(id);
    window->handle = handle;
    if (Window* parent = Find(window->parent)) parent->children.push_back(handle);
    const size_t slot = SlotOf(handle);
    if (s.slots.size() <= slot) s.slots.resize(slot + 1, nullptr);
    s.slots[slot] = window.get();
    s.windows[id] = std::move(window);
    return handle;
}

void RemoveWindow(HWND handle) {
    State& s = GetState();
    const size_t slot = SlotOf(handle);
    if (slot < s.slots.size()) s.slots[slot] = nullptr;
    s.windows.erase(reinterpret_cast<uintptr_t>(handle));
}

void RemoveAllWindows() {
    State& s = GetState();
    s.windows.clear();
    std::fill(s.slots.begin(), s.slots.end(), nullptr);
}

bool IsInside(HWND ancestor, HWND window) {
    for (Window* w = Find(window); w != nullptr; w = Find(w->parent)) {
        if (w->handle == ancestor) return true;
    }
    return false;
}

HWND FirstTabStop(HWND dialog) {
    Window* d = Find(dialog);
    if (d == nullptr) return nullptr;
    for (HWND child : d->children) {
        Window* c = Find(child);
        if (c != nullptr && (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) &&
            !(c->style & WS_DISABLED)) {
            return child;
        }
    }
    return nullptr;
}

void NotifyParent(HWND control, WORD code) {
    Window* c = Find(control);
    if (c == nullptr || c->parent == nullptr) return;
    SendMessageA(c->parent, WM_COMMAND, MAKEWPARAM(c->id, code), reinterpret_cast<LPARAM>(control));
}

}  // namespace detail
}  // namespace headless

using headless::detail::Find;
using headless::detail::Window;

BOOL IsWindow(HWND hWnd) {
    return Find(hWnd) != nullptr ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hWnd) {
    Window* w = Find(hWnd);
    if (w == nullptr) return FALSE;
    for (; w != nullptr; w = Find(w->parent)) {
        if (!(w->style & WS_VISIBLE)) return FALSE;
    }
    return TRUE;
}

BOOL IsWindowEnabled(HWND hWnd) {
    Window* w = Find(hWnd);
    return w != nullptr && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    Window* d = Find(hDlg);
    if (d == nullptr) return nullptr;
    for (HWND child : d->children) {
        Window* c = Find(child);
        if (c != nullptr && c->id == nIDDlgItem) return child;
    }
    return nullptr;
}

int GetDlgCtrlID(HWND hWnd) {
    Window* w = Find(hWnd);
    return w != nullptr ? w->id : 0;
}

// A child's parent; a top-level window's owner.
HWND GetParent(HWND hWnd) {
    Window* w = Find(hWnd);
    if (w == nullptr) return nullptr;
    return (w->style & WS_CHILD) ? w->parent : w->owner;
}

int GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
    Window* w = Find(hWnd);
    if (w == nullptr || lpClassName == nullptr || nMaxCount <= 0) return 0;
    const size_t n = std::min(w->className.size(), static_cast<size_t>(nMaxCount - 1));
    std::memcpy(lpClassName, w->className.data(), n);
    lpClassName[n] = '\0';
    return static_cast<int>(n);
}

LONG GetWindowLongA(HWND hWnd, int nIndex) {
    Window* w = Find(hWnd);
    if (w == nullptr) return 0;
    switch (nIndex) {
        case GWL_STYLE:
            return static_cast<LONG>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(w->exStyle);
        case GWL_ID:
            return w->id;
        default:
            return 0;
    }
}

LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex) {
    Window* w = Find(hWnd);
    if (w == nullptr) return 0;
    if (nIndex == GWLP_HINSTANCE) return reinterpret_cast<LONG_PTR>(w->module);
    return GetWindowLongA(hWnd, nIndex);
}

// Screen rectangle; one dialog unit is one pixel in the stand-in.
BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    Window* w = Find(hWnd);
    if (w == nullptr || lpRect == nullptr) return FALSE;
    LONG x = 0, y = 0;
    for (Window* a = w; a != nullptr; a = (a->style & WS_CHILD) ? Find(a->parent) : nullptr) {
        x += a->rect.left;
        y += a->rect.top;
    }
    lpRect->left = x;
    lpRect->top = y;
    lpRect->right = x + (w->rect.right - w->rect.left);
    lpRect->bottom = y + (w->rect.bottom - w->rect.top);
    return TRUE;
}

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect) {
    return Find(hDlg) != nullptr && lpRect != nullptr ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hWnd, HWND /*hWndInsertAfter*/, int X, int Y, int cx, int cy, UINT uFlags) {
    Window* w = Find(hWnd);
    if (w == nullptr) return FALSE;
    const LONG width = w->rect.right - w->rect.left;
    const LONG height = w->rect.bottom - w->rect.top;
    if (!(uFlags & SWP_NOMOVE)) {
        w->rect.left = X;
        w->rect.top = Y;
    }
    w->rect.right = w->rect.left + ((uFlags & SWP_NOSIZE) ? width : cx);
    w->rect.bottom = w->rect.top + ((uFlags & SWP_NOSIZE) ? height : cy);
    return TRUE;
}

HWND GetFocus() {
    return headless::detail::GetState().focus;
}

// The focus moves first; then the edit that lost it and the edit that got it
// tell their parents (EN_KILLFOCUS, EN_SETFOCUS), as the real controls do.
HWND SetFocus(HWND hWnd) {
    using headless::detail::Kind;
    auto& s = headless::detail::GetState();
    const HWND previous = s.focus;
    if (hWnd != nullptr) {
        if (Find(hWnd) == nullptr) return nullptr;
        for (Window* a = Find(hWnd); a != nullptr; a = Find(a->parent)) {
            if (a->style & WS_DISABLED) return nullptr;
        }
    }
    if (hWnd == previous) return previous;
    s.focus = hWnd;
    Window* old = Find(previous);
    if (old != nullptr && old->kind == Kind::Edit) {
        headless::detail::NotifyParent(previous, EN_KILLFOCUS);
    }
    Window* now = Find(hWnd);
    if (now != nullptr && s.focus == hWnd && now->kind == Kind::Edit) {
        headless::detail::NotifyParent(hWnd, EN_SETFOCUS);
    }
    return Find(previous) != nullptr ? previous : nullptr;
}
