// Creating, showing, enabling and destroying windows and dialogs.
#include <algorithm>
#include <cctype>

#include "platform/win32/headless_state.h"

namespace {

using headless::detail::Find;
using headless::detail::GetState;
using headless::detail::Kind;
using headless::detail::Window;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

Kind KindOfClass(const std::string& className) {
    const std::string name = Lower(className);
    if (name == "static") return Kind::Static;
    if (name == "edit") return Kind::Edit;
    if (name == "button") return Kind::Button;
    if (name == Lower(PROGRESS_CLASS)) return Kind::Progress;
    if (name == "#32770") return Kind::Dialog;
    return Kind::Container;
}

RECT MakeRect(int x, int y, int cx, int cy) {
    return RECT{x, y, x + cx, y + cy};
}

// WM_DESTROY goes to the window first, then to its children.
void SendDestroy(HWND window, std::vector<HWND>* destroyed) {
    Window* w = Find(window);
    if (w == nullptr) return;
    w->destroying = true;
    destroyed->push_back(window);
    SendMessageA(window, WM_DESTROY, 0, 0);
    w = Find(window);
    if (w == nullptr) return;
    const std::vector<HWND> children = w->children;
    for (HWND child : children) {
        if (Window* c = Find(child); c != nullptr && !c->destroying) SendDestroy(child, destroyed);
    }
}

}  // namespace

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                     int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID /*lpParam*/) {
    if (hWndParent != nullptr && Find(hWndParent) == nullptr) return nullptr;
    if ((dwStyle & WS_CHILD) && hWndParent == nullptr) return nullptr;
    auto w = std::make_unique<Window>();
    w->className = lpClassName != nullptr && !IS_INTRESOURCE(lpClassName) ? lpClassName : "";
    w->kind = KindOfClass(w->className);
    if (w->kind == Kind::Dialog) w->kind = Kind::Container;  // no dialog procedure
    w->text = lpWindowName != nullptr ? lpWindowName : "";
    w->style = dwStyle;
    w->exStyle = dwExStyle;
    w->rect = MakeRect(X, Y, nWidth, nHeight);
    w->module = hInstance;
    if (dwStyle & WS_CHILD) {
        w->parent = hWndParent;
        w->id = static_cast<int>(reinterpret_cast<intptr_t>(hMenu));
    } else {
        w->owner = hWndParent;
    }
    return headless::detail::AddWindow(std::move(w));
}

HWND CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                        DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    auto& s = GetState();
    const headless::ResourceTable* resources = headless::ModuleResources(hInstance);
    if (resources == nullptr) {
        s.lastResourceError = "CreateDialogParamA: the module has no registered resources";
        return nullptr;
    }
    if (!IS_INTRESOURCE(lpTemplateName)) {
        s.lastResourceError = "CreateDialogParamA: only numbered dialog templates are supported";
        return nullptr;
    }
    const int templateId = static_cast<int>(reinterpret_cast<ULONG_PTR>(lpTemplateName));
    auto found = resources->dialogs.find(templateId);
    if (found == resources->dialogs.end()) {
        s.lastResourceError =
            "CreateDialogParamA: no dialog template " + std::to_string(templateId);
        return nullptr;
    }
    const headless::DialogTemplate& t = found->second;
    if (hWndParent != nullptr && Find(hWndParent) == nullptr) {
        s.lastResourceError = "CreateDialogParamA: the parent window does not exist";
        return nullptr;
    }
    if ((t.style & WS_CHILD) && hWndParent == nullptr) {
        s.lastResourceError = "CreateDialogParamA: a child dialog needs a parent window";
        return nullptr;
    }
    auto d = std::make_unique<Window>();
    d->kind = Kind::Dialog;
    d->className = "#32770";
    d->text = t.caption;
    d->style = t.style & ~WS_VISIBLE;  // shown after WM_INITDIALOG, as the dialog manager does
    d->exStyle = t.exStyle;
    d->rect = MakeRect(t.x, t.y, t.cx, t.cy);
    if (!(t.style & WS_CHILD)) {  // a pop-up opens at its owner's origin
        RECT ownerRect{0, 0, 0, 0};
        if (GetWindowRect(hWndParent, &ownerRect)) {
            d->rect = MakeRect(ownerRect.left + t.x, ownerRect.top + t.y, t.cx, t.cy);
        }
    }
    d->module = hInstance;
    d->templateId = templateId;
    d->dlgProc = lpDialogFunc;
    ((t.style & WS_CHILD) ? d->parent : d->owner) = hWndParent;
    const HWND dialog = headless::detail::AddWindow(std::move(d));
    for (const headless::ControlTemplate& c : t.controls) {
        auto w = std::make_unique<Window>();
        w->className = c.className;
        w->kind = KindOfClass(c.className);
        w->text = c.text;
        w->style = c.style;
        w->exStyle = c.exStyle;
        w->id = c.id;
        w->rect = MakeRect(c.x, c.y, c.cx, c.cy);
        w->parent = dialog;
        w->module = hInstance;
        headless::detail::AddWindow(std::move(w));
    }
    s.lastResourceError.clear();
    const HWND firstTab = headless::detail::FirstTabStop(dialog);
    const LRESULT focusDefault =
        SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), dwInitParam);
    if (Find(dialog) == nullptr) return nullptr;  // destroyed by its own procedure
    // A dialog created visible gets the default focus when WM_INITDIALOG asks for it.
    if (focusDefault && (t.style & WS_VISIBLE)) {
        if (HWND tab = headless::detail::FirstTabStop(dialog)) SetFocus(tab);
    }
    if ((t.style & WS_VISIBLE) && Find(dialog) != nullptr) ShowWindow(dialog, SW_SHOWNORMAL);
    return Find(dialog) != nullptr ? dialog : nullptr;
}

// Windows owned by it or by its descendants go first, then the window
// with its children.
BOOL DestroyWindow(HWND hWnd) {
    Window* w = Find(hWnd);
    if (w == nullptr) return FALSE;
    if (w->destroying) return TRUE;
    auto& s = GetState();
    std::vector<HWND> owned;  // by the window or by anything inside it
    for (auto& entry : s.windows) {
        const HWND owner = entry.second->owner;
        if (owner != nullptr && headless::detail::IsInside(hWnd, owner)) {
            owned.push_back(entry.second->handle);
        }
    }
    for (HWND o : owned) DestroyWindow(o);
    w = Find(hWnd);
    if (w == nullptr || w->destroying) return TRUE;
    if (s.focus != nullptr && headless::detail::IsInside(hWnd, s.focus)) {
        HWND parent = (w->style & WS_CHILD) ? w->parent : nullptr;
        SetFocus(parent);
        if (s.focus != nullptr && headless::detail::IsInside(hWnd, s.focus)) s.focus = nullptr;
    }
    std::vector<HWND> destroyed;
    SendDestroy(hWnd, &destroyed);
    w = Find(hWnd);
    if (w != nullptr) {
        if (Window* parent = Find(w->parent)) {
            auto& siblings = parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), hWnd), siblings.end());
        }
    }
    for (HWND gone : destroyed) {
        headless::detail::RemoveWindow(gone);
        if (s.focus == gone) s.focus = nullptr;
    }
    s.queue.erase(
        std::remove_if(s.queue.begin(), s.queue.end(),
                       [](const MSG& m) { return m.hwnd != nullptr && Find(m.hwnd) == nullptr; }),
        s.queue.end());
    return TRUE;
}

// Showing a hidden top-level dialog activates it: the focus moves to its
// first tab stop unless it is already inside. Hiding a window that holds the
// focus takes the focus away.
BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    Window* w = Find(hWnd);
    if (w == nullptr) return FALSE;
    const bool wasVisible = (w->style & WS_VISIBLE) != 0;
    auto& s = GetState();
    if (nCmdShow == SW_HIDE) {
        w->style &= ~WS_VISIBLE;
        if (s.focus != nullptr && headless::detail::IsInside(hWnd, s.focus)) {
            SetFocus((w->style & WS_CHILD) ? w->parent : nullptr);
        }
        return wasVisible ? TRUE : FALSE;
    }
    w->style |= WS_VISIBLE;
    if (w->kind == Kind::Dialog) w->dialogEnded = false;
    if (!wasVisible && w->kind == Kind::Dialog && !(w->style & WS_CHILD) &&
        !headless::detail::IsInside(hWnd, s.focus)) {
        if (HWND tab = headless::detail::FirstTabStop(hWnd)) SetFocus(tab);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hWnd) {
    return Find(hWnd) != nullptr ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    Window* w = Find(hWnd);
    if (w == nullptr) return FALSE;
    const bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (bEnable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        auto& s = GetState();
        if (s.focus != nullptr && headless::detail::IsInside(hWnd, s.focus)) SetFocus(nullptr);
    }
    return wasDisabled ? TRUE : FALSE;
}

// On a modeless dialog it records the result and hides the dialog.
BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    Window* w = Find(hDlg);
    if (w == nullptr) return FALSE;
    w->dialogResult = nResult;
    ShowWindow(hDlg, SW_HIDE);
    if ((w = Find(hDlg)) != nullptr) w->dialogEnded = true;
    return TRUE;
}
