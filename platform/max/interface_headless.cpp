// The headless host interface: rollup pages in a command-panel window of the
// window stand-in, the message pump and window centring.
#include <algorithm>

#include "platform/max/interface_internal.h"
#include "platform/max/max_sdk.h"
#include "platform/win32/headless.h"

namespace {

constexpr int kPanelWidth = 120;  // dialog units, wide enough for a 108-unit page
constexpr int kPanelHeight = 600;
constexpr int kPageGap = 4;
constexpr RECT kScreen = {0, 0, 1024, 768};

// The messages posted before the call, each delivered as above. Kept out of
// line, so the usual empty queue costs ProcessMessages no more than a test.
__attribute__((noinline)) void DeliverPosted(const std::vector<HWND>& dialogs, size_t pending) {
    MSG msg{};
    for (; pending > 0; --pending) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) break;
        DeliverHostMessage(dialogs, msg);
    }
}

}  // namespace

HWND Interface::PanelWindow() {
    if (panel_ == nullptr || !IsWindow(panel_)) {
        panel_ =
            CreateWindowExA(0, "Static", "Command Panel", WS_POPUP | WS_VISIBLE, 0, 0, kPanelWidth,
                            kPanelHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    return panel_;
}

// The page is created inside the call, below the pages already there.
HWND Interface::AddRollupPage(HINSTANCE hInst, const char* dlgTemplate, DLGPROC dlgProc,
                              const char* title, LPARAM param, DWORD flags, int category) {
    int top = kPageGap;
    for (const RollupPage& page : pages_) {
        RECT rect{0, 0, 0, 0};
        if (GetWindowRect(page.window, &rect)) {
            RECT panel{0, 0, 0, 0};
            GetWindowRect(panel_, &panel);
            top = std::max<int>(top, rect.bottom - panel.top + kPageGap);
        }
    }
    HWND page = CreateDialogParamA(hInst, dlgTemplate, PanelWindow(), dlgProc, param);
    if (page == nullptr) return nullptr;
    SetWindowPos(page, nullptr, kPageGap / 2, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const int templateId = IS_INTRESOURCE(dlgTemplate)
                               ? static_cast<int>(reinterpret_cast<ULONG_PTR>(dlgTemplate))
                               : -1;
    pages_.push_back(RollupPage{page, title != nullptr ? title : "", templateId, flags, category});
    return page;
}

void Interface::DeleteRollupPage(HWND page) {
    auto found = std::find_if(pages_.begin(), pages_.end(),
                              [page](const RollupPage& p) { return p.window == page; });
    if (found == pages_.end()) return;
    pages_.erase(found);
    DestroyWindow(page);
}

// The owner's pump first (tests script clicks, the console host turns Ctrl-C
// into one), then the messages already posted, each through the registered
// dialogs first. Messages posted meanwhile wait for the next call.
BOOL Interface::ProcessMessages() {
    if (pump_) pump_();
    const size_t pending = headless::PendingMessages();
    if (pending > 0) DeliverPosted(dialogs_, pending);  // usually none: polled per face and corner
    return TRUE;
}

// Centres the window over its parent (or the screen without one).
void CenterWindow(HWND window, HWND parent) {
    RECT own{0, 0, 0, 0};
    if (!GetWindowRect(window, &own)) return;
    RECT over = kScreen;
    if (parent != nullptr && !GetWindowRect(parent, &over)) over = kScreen;
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int x = over.left + ((over.right - over.left) - width) / 2;
    int y = over.top + ((over.bottom - over.top) - height) / 2;
    if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) {  // child windows move in parent units
        RECT base{0, 0, 0, 0};
        GetWindowRect(GetParent(window), &base);
        x -= base.left;
        y -= base.top;
    }
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
