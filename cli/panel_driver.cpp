#include "cli/panel_driver.h"

namespace kvocli {

namespace {

constexpr int kNormals = 1076;
constexpr int kUpNormals = 1077;

}  // namespace

std::string WindowText(HWND window) {
    if (!window) return {};
    char buffer[1024];
    const int n = GetWindowTextA(window, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

bool PanelDriver::FindPages(std::string& error) {
    outputPage_ = optionsPage_ = nullptr;
    for (const Interface::RollupPage& page : ip_.RollupPages()) {
        if (!IsWindow(page.window)) continue;
        if (page.title == "Valdrin KVO Exporter") outputPage_ = page.window;
        if (page.title == "Options") optionsPage_ = page.window;
    }
    if (!outputPage_ || !optionsPage_) {
        error =
            "the plug-in did not open its panel (pages \"Valdrin KVO Exporter\" and "
            "\"Options\")";
        return false;
    }
    return true;
}

bool PanelDriver::Checked(int id) const {
    return IsDlgButtonChecked(optionsPage_, id) == BST_CHECKED;
}

void PanelDriver::Click(int id) {
    SendMessageA(GetDlgItem(optionsPage_, id), BM_CLICK, 0, 0);
}

std::vector<std::string> PanelDriver::ApplyChecks(const std::array<int, kCheckBoxCount>& checks) {
    std::vector<std::string> refused;
    for (int i = 0; i < kCheckBoxCount; ++i) {
        const int id = kCheckBoxes[i].controlId;
        if (checks[i] < 0 || Checked(id) == (checks[i] == 1)) continue;
        // A cleared Normals box disables Up Normals: a user ticks Normals,
        // sets Up Normals and clears Normals again.
        const bool detour = id == kUpNormals && !IsWindowEnabled(GetDlgItem(optionsPage_, id));
        if (detour) Click(kNormals);
        Click(id);
        if (detour) Click(kNormals);
        if (Checked(id) != (checks[i] == 1)) refused.push_back(kCheckBoxes[i].label);
    }
    return refused;
}

void PanelDriver::SetOutputDir(const std::string& dir) {
    SendMessageA(GetDlgItem(outputPage_, ids::kOutputDirEdit), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(dir.c_str()));
}

void PanelDriver::PressExport() {
    SendMessageA(GetDlgItem(outputPage_, ids::kExportButton), BM_CLICK, 0, 0);
}

HWND PanelDriver::ProgressDialog() const {
    const std::vector<HWND>& dialogs = ip_.RegisteredDialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
        if (IsWindow(*it)) return *it;
    }
    return nullptr;
}

}  // namespace kvocli
