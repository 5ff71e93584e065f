#include "winhost/message_box_watcher.h"

#include "winhost/window_queries.h"

namespace winhost {

namespace {

constexpr char kWatcherClass[] = "KvoexpMessageBoxWatcher";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMilliseconds = 50;

struct BoxSearch {
    std::function<bool(HWND)>* isKnown;
    std::vector<HWND> found;
};

// A message box: a visible dialog-class window of this thread that is not
// one of the host's known dialogs.
BOOL CALLBACK CollectBox(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<BoxSearch*>(data);
    if (ClassName(window) == "#32770" && IsWindowVisible(window) && !(*search->isKnown)(window)) {
        search->found.push_back(window);
    }
    return TRUE;
}

// The box's message: the texts of its static controls (the icon has none).
BOOL CALLBACK CollectStaticText(HWND child, LPARAM data) {
    auto* text = reinterpret_cast<std::string*>(data);
    if (ClassName(child) == "Static") {
        const std::string part = WindowText(child);
        if (!part.empty()) *text += text->empty() ? part : "\n" + part;
    }
    return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(std::function<bool(HWND)> isKnown)
    : isKnown_(std::move(isKnown)) {
    const HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA watcherClass{};
    if (!GetClassInfoA(module, kWatcherClass, &watcherClass)) {
        watcherClass.lpfnWndProc = WndProc;
        watcherClass.hInstance = module;
        watcherClass.lpszClassName = kWatcherClass;
        RegisterClassA(&watcherClass);
    }
    window_ =
        CreateWindowExA(0, kWatcherClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, this);
    if (window_ != nullptr) SetTimer(window_, kTimerId, kTimerMilliseconds, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
    if (window_ == nullptr) return;
    KillTimer(window_, kTimerId);
    DestroyWindow(window_);
}

LRESULT CALLBACK MessageBoxWatcher::WndProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_TIMER && wParam == kTimerId) {
        auto* watcher =
            reinterpret_cast<MessageBoxWatcher*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (watcher != nullptr) watcher->DismissOpenBoxes();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void MessageBoxWatcher::DismissOpenBoxes() {
    BoxSearch search{&isKnown_, {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectBox, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.found) {
        MessageBoxRecord record;
        record.caption = WindowText(box);
        EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&record.text));
        const HWND ok = GetDlgItem(box, IDOK);
        record.pressedOk = ok != nullptr && WindowText(ok) == "OK";
        boxes_.push_back(record);
        if (ok != nullptr) {
            SendMessageA(ok, BM_CLICK, 0, 0);
        } else {
            SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    }
}

}  // namespace winhost
