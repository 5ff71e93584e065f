#include "hostdrive/panel_driver.h"

#include "plugin/resource.h"

namespace hostdrive {

bool PanelDriver::Open(const PluginModule& module, const std::string& configDir,
                       std::string& error) {
    ip_.SetPluginConfigDir(configDir);
    return Open(module, error);
}

bool PanelDriver::Open(const PluginModule& module, std::string& error) {
    Close();
    ClassDesc* desc = module.LibNumberClasses != nullptr && module.LibNumberClasses() > 0
                          ? module.LibClassDesc(0)
                          : nullptr;
    if (desc == nullptr || desc->SuperClassID() != UTILITY_CLASS_ID) {
        error = "the plug-in module offers no utility class";
        return false;
    }
    utility_ = static_cast<UtilityObj*>(desc->Create(FALSE));
    if (utility_ == nullptr) {
        error = "the plug-in's class descriptor made no utility object";
        return false;
    }
    utility_->BeginEditParams(&ip_, &iu_);
    outputPage_ = Page(IDD_OUTPUT);
    optionsPage_ = Page(IDD_OPTIONS);
    aboutPage_ = Page(IDD_ABOUT);
    if (outputPage_ == nullptr || optionsPage_ == nullptr || aboutPage_ == nullptr) {
        error = "the plug-in did not add its three rollup pages";
        Close();
        return false;
    }
    return true;
}

void PanelDriver::Close() {
    if (utility_ != nullptr) {
        utility_->EndEditParams(&ip_, &iu_);
        utility_->DeleteThis();
        utility_ = nullptr;
    }
    outputPage_ = optionsPage_ = aboutPage_ = nullptr;
}

HWND PanelDriver::Page(int templateId) const {
    for (const Interface::RollupPage& page : ip_.RollupPages()) {
        if (page.templateId == templateId && IsWindow(page.window)) return page.window;
    }
    return nullptr;
}

void PanelDriver::Click(HWND page, int id) {
    SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

bool PanelDriver::Checked(int id) const {
    return IsDlgButtonChecked(optionsPage_, id) == BST_CHECKED;
}

bool PanelDriver::Enabled(int id) const {
    return IsWindowEnabled(GetDlgItem(optionsPage_, id)) != FALSE;
}

std::vector<std::string> PanelDriver::ApplyChecks(const CheckStates& states) {
    std::vector<std::string> refused;
    for (int i = 0; i < kCheckBoxCount; ++i) {
        const int id = kCheckBoxes[i].controlId;
        if (states[i] < 0 || Checked(id) == (states[i] == 1)) continue;
        // A cleared Normals box disables Up Normals: a user ticks Normals,
        // sets Up Normals and clears Normals again.
        const bool detour = id == IDC_UP_NORMALS && !Enabled(id);
        if (detour) Click(optionsPage_, IDC_NORMALS);
        Click(optionsPage_, id);
        if (detour) Click(optionsPage_, IDC_NORMALS);
        if (Checked(id) != (states[i] == 1)) refused.push_back(kCheckBoxes[i].label);
    }
    return refused;
}

void PanelDriver::SetOutputDir(const std::string& dir) {
    SendMessageA(GetDlgItem(outputPage_, IDC_OUTPUT_DIR), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(dir.c_str()));
}

void PanelDriver::PressExport() {
    Click(outputPage_, IDC_EXPORT);
}

HWND PanelDriver::ProgressDialog() const {
    const std::vector<HWND>& dialogs = ip_.RegisteredDialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
        if (IsWindow(*it)) return *it;
    }
    return nullptr;
}

std::string WindowText(HWND window) {
    if (window == nullptr) return {};
    char buffer[1024];
    const int length = GetWindowTextA(window, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string DlgItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

}  // namespace hostdrive
