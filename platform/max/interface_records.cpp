// The parts of the host interface stand-in that are the same headless and on
// Windows: construction, message delivery, records of mouse forwarding and
// modeless dialogs, the configuration directory and the custom-control
// initialisation.
#include <algorithm>

#include "platform/max/host_records.h"
#include "platform/max/host_scene.h"
#include "platform/max/interface_internal.h"

namespace {

int customControlsInits = 0;
HINSTANCE customControlsModule = nullptr;

}  // namespace

void DeliverHostMessage(const std::vector<HWND>& dialogs, MSG& msg) {
    for (HWND dialog : dialogs) {
        if (IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

Interface::Interface() = default;

Interface::~Interface() {
    if (panel_ != nullptr) DestroyWindow(panel_);
}

void Interface::RollupMouseMessage(HWND /*page*/, UINT message, WPARAM /*wParam*/,
                                   LPARAM /*lParam*/) {
    if (message == WM_MOUSEMOVE || message == WM_LBUTTONDOWN || message == WM_LBUTTONUP) {
        ++mouseMessages_;
    }
}

void Interface::RegisterDlgWnd(HWND dialog) {
    if (dialog == nullptr) return;
    if (std::find(dialogs_.begin(), dialogs_.end(), dialog) == dialogs_.end()) {
        dialogs_.push_back(dialog);
    }
}

int Interface::UnRegisterDlgWnd(HWND dialog) {
    auto found = std::find(dialogs_.begin(), dialogs_.end(), dialog);
    if (found == dialogs_.end()) return FALSE;
    dialogs_.erase(found);
    return TRUE;
}

const char* Interface::GetDir(int which) {
    return which == APP_PLUGCFG_DIR ? pluginCfgDir_.c_str() : "";
}

void InitCustomControls(HINSTANCE hInst) {
    ++customControlsInits;
    customControlsModule = hInst;
}

int CustomControlsInitCount() {
    return customControlsInits;
}

HINSTANCE LastCustomControlsModule() {
    return customControlsModule;
}

INode* Interface::GetRootNode() {
    return scene_ != nullptr ? scene_->GetRootNode() : nullptr;
}
