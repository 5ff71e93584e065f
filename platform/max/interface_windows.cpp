// The host interface on Windows: rollup pages are real dialogs created from
// the plug-in's resources inside a top-level window that plays the command
// panel, each under a title button that rolls it up and down; registered
// modeless dialogs get their messages through IsDialogMessage; the message
// pump is a PeekMessage loop; plus the host's control helpers.
#include <algorithm>

#include "platform/max/interface_internal.h"
#include "platform/max/max_sdk.h"

namespace {

constexpr char kPanelClass[] = "KvoexpCommandPanel";
constexpr char kHeaderOfPage[] = "KvoexpRollupHeader";
constexpr char kPageOfHeader[] = "KvoexpRollupPage";
constexpr int kMargin = 4;         // pixels around and between the pages
constexpr int kHeaderHeight = 18;  // the page's title button
constexpr int kMinPanelWidth = 160;
constexpr POINT kPanelOrigin = {240, 24};  // room on both sides for dialogs centred on it

bool RolledUp(HWND page) {
    return (GetWindowLongA(page, GWL_STYLE) & WS_VISIBLE) == 0;
}

HWND HeaderOf(HWND page) {
    return static_cast<HWND>(GetPropA(page, kHeaderOfPage));
}

void SetHeaderText(HWND header, const std::string& title, bool rolledUp) {
    const std::string text = std::string(rolledUp ? "+ " : "- ") + title;
    SetWindowTextA(header, text.c_str());
}

// Stacks the pages top to bottom in the order they were added, each below its
// title button, and fits the panel around them.
void LayOutPages(HWND panel, const std::vector<Interface::RollupPage>& pages) {
    int width = kMinPanelWidth - 2 * kMargin;
    for (const Interface::RollupPage& page : pages) {
        RECT rect{0, 0, 0, 0};
        GetWindowRect(page.window, &rect);
        width = std::max<int>(width, rect.right - rect.left);
    }
    int y = kMargin;
    for (const Interface::RollupPage& page : pages) {
        const HWND header = HeaderOf(page.window);
        const bool rolledUp = RolledUp(page.window);
        SetHeaderText(header, page.title, rolledUp);
        SetWindowPos(header, nullptr, kMargin, y, width, kHeaderHeight, SWP_NOZORDER);
        y += kHeaderHeight;
        if (!rolledUp) {
            RECT rect{0, 0, 0, 0};
            GetWindowRect(page.window, &rect);
            SetWindowPos(page.window, nullptr, kMargin, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            y += rect.bottom - rect.top;
        }
        y += kMargin;
    }
    RECT frame{0, 0, width + 2 * kMargin, y + kMargin};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(panel, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(panel, GWL_EXSTYLE)));
    SetWindowPos(panel, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(panel, nullptr, TRUE);
}

// A click on a page's title button rolls the page up or down.
LRESULT CALLBACK PanelWndProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(panel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && lParam != 0) {
        const HWND header = reinterpret_cast<HWND>(lParam);
        const HWND page = static_cast<HWND>(GetPropA(header, kPageOfHeader));
        auto* host = reinterpret_cast<Interface*>(GetWindowLongPtrA(panel, GWLP_USERDATA));
        if (page != nullptr && host != nullptr) {
            ShowWindow(page, RolledUp(page) ? SW_SHOW : SW_HIDE);
            LayOutPages(panel, host->RollupPages());
        }
        return 0;
    }
    return DefWindowProcA(panel, message, wParam, lParam);
}

bool RegisterPanelClass(HINSTANCE module) {
    WNDCLASSA panelClass{};
    if (GetClassInfoA(module, kPanelClass, &panelClass)) return true;
    panelClass.lpfnWndProc = PanelWndProc;
    panelClass.hInstance = module;
    panelClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    panelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panelClass.lpszClassName = kPanelClass;
    return RegisterClassA(&panelClass) != 0;
}

}  // namespace

HWND Interface::PanelWindow() {
    if (panel_ == nullptr || !IsWindow(panel_)) {
        const HINSTANCE module = GetModuleHandleA(nullptr);
        if (!RegisterPanelClass(module)) return nullptr;
        panel_ = CreateWindowExA(0, kPanelClass, "Command Panel",
                                 WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN | WS_VISIBLE,
                                 kPanelOrigin.x, kPanelOrigin.y, kMinPanelWidth, 200, nullptr,
                                 nullptr, module, this);
    }
    return panel_;
}

// The page is created inside the call from the module's own template, as a
// child of the panel, below a title button; a closed page starts rolled up.
HWND Interface::AddRollupPage(HINSTANCE hInst, const char* dlgTemplate, DLGPROC dlgProc,
                              const char* title, LPARAM param, DWORD flags, int category) {
    const HWND panel = PanelWindow();
    if (panel == nullptr) return nullptr;
    const HWND page = CreateDialogParamA(hInst, dlgTemplate, panel, dlgProc, param);
    if (page == nullptr) return nullptr;
    const std::string text = title != nullptr ? title : "";
    const HWND header =
        CreateWindowExA(0, "BUTTON", text.c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 0,
                        0, panel, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(header, WM_SETFONT, SendMessageA(page, WM_GETFONT, 0, 0), FALSE);
    SetPropA(page, kHeaderOfPage, header);
    SetPropA(header, kPageOfHeader, page);
    if (flags & APPENDROLL_CLOSED) ShowWindow(page, SW_HIDE);
    const int templateId = IS_INTRESOURCE(dlgTemplate)
                               ? static_cast<int>(reinterpret_cast<ULONG_PTR>(dlgTemplate))
                               : -1;
    pages_.push_back(RollupPage{page, text, templateId, flags, category});
    LayOutPages(panel, pages_);
    return page;
}

void Interface::DeleteRollupPage(HWND page) {
    auto found = std::find_if(pages_.begin(), pages_.end(),
                              [page](const RollupPage& p) { return p.window == page; });
    if (found == pages_.end()) return;
    pages_.erase(found);
    const HWND header = HeaderOf(page);
    RemovePropA(page, kHeaderOfPage);
    if (header != nullptr) {
        RemovePropA(header, kPageOfHeader);
        DestroyWindow(header);
    }
    DestroyWindow(page);
    if (panel_ != nullptr) LayOutPages(panel_, pages_);
}

// The owner's pump first (a test host clicks there), then every message in
// the thread's queue, each through the registered dialogs first.
BOOL Interface::ProcessMessages() {
    if (pump_) pump_();
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DeliverHostMessage(dialogs_, msg);
    return TRUE;
}

// Centres the window over its parent or owner (the work area without one),
// in screen coordinates for pop-ups and in the parent's client coordinates
// for child windows.
void CenterWindow(HWND window, HWND parent) {
    RECT own{0, 0, 0, 0};
    if (!GetWindowRect(window, &own)) return;
    RECT over{0, 0, 0, 0};
    if (parent == nullptr || !GetWindowRect(parent, &over)) {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &over, 0);
    }
    POINT origin{over.left + ((over.right - over.left) - (own.right - own.left)) / 2,
                 over.top + ((over.bottom - over.top) - (own.bottom - own.top)) / 2};
    if ((GetWindowLongA(window, GWL_STYLE) & WS_CHILD) && GetParent(window) != nullptr) {
        ScreenToClient(GetParent(window), &origin);
    }
    SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
