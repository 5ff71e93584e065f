#include "winhost/host_session.h"

#include <algorithm>

#include "cli/host_scene_builder.h"
#include "plugin/resource.h"
#include "winhost/scene_file.h"

namespace winhost {

HostSession::HostSession() : ip_(std::make_unique<Interface>()) {}

HostSession::~HostSession() {
    Close();
}

bool HostSession::Open(const std::string& dllPath, const std::string& configDir,
                       std::string& error) {
    if (!library_.Load(dllPath, error)) {
        error = "cannot load " + dllPath + ": " + error;
        return false;
    }
    ClassDesc* desc = library_.LibNumberClasses() > 0 ? library_.LibClassDesc(0) : nullptr;
    if (desc == nullptr || desc->SuperClassID() != UTILITY_CLASS_ID) {
        error = "the DLL offers no utility class";
        return false;
    }
    utility_ = static_cast<UtilityObj*>(desc->Create(FALSE));
    if (utility_ == nullptr) {
        error = "the class descriptor made no utility object";
        return false;
    }
    watcher_ = std::make_unique<MessageBoxWatcher>([this](HWND window) {
        const std::vector<HWND>& known = ip_->RegisteredDialogs();
        return std::find(known.begin(), known.end(), window) != known.end();
    });
    ip_->SetPluginConfigDir(configDir);
    utility_->BeginEditParams(ip_.get(), &iu_);
    for (const Interface::RollupPage& page : ip_->RollupPages()) {
        if (page.templateId == IDD_OUTPUT) outputPage_ = page.window;
        if (page.templateId == IDD_OPTIONS) optionsPage_ = page.window;
        if (page.templateId == IDD_ABOUT) aboutPage_ = page.window;
    }
    if (outputPage_ == nullptr || optionsPage_ == nullptr || aboutPage_ == nullptr) {
        error = "the plug-in did not add its three rollup pages";
        return false;
    }
    return true;
}

bool HostSession::LoadScene(const std::string& path, std::string& error) {
    kvoscene::Scene scene;
    if (!ReadSceneFile(path, scene, error)) return false;
    auto host = std::make_unique<HostScene>();
    const std::vector<INode*> nodes = kvoscene::BuildHostScene(scene, *host);
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        if (scene.nodes[i].parent == kvoscene::kNone) nodes[i]->SetSelected(true);
    }
    ip_->SetScene(host.get());
    scene_ = std::move(host);
    return true;
}

void HostSession::ClosePanel() {
    if (utility_ != nullptr) {
        utility_->EndEditParams(ip_.get(), &iu_);
        utility_->DeleteThis();
        utility_ = nullptr;
    }
    outputPage_ = optionsPage_ = aboutPage_ = nullptr;
}

// Windows the plug-in still owns through the command panel are destroyed
// with it while their dialog procedures are still loaded.
void HostSession::Close() {
    ClosePanel();
    watcher_.reset();
    ip_->SetMessagePump(nullptr);
    ip_->SetScene(nullptr);
    ip_ = std::make_unique<Interface>();
    library_.Unload();
    scene_.reset();
}

HWND HostSession::ProgressDialog() const {
    const std::vector<HWND>& dialogs = ip_->RegisteredDialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
        if (IsWindow(*it)) return *it;
    }
    return nullptr;
}

bool HostSession::Checked(int id) const {
    return IsDlgButtonChecked(optionsPage_, id) == BST_CHECKED;
}

void HostSession::Click(HWND page, int id) {
    SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

std::vector<std::string> HostSession::ApplyChecks(const CheckStates& states) {
    std::vector<std::string> refused;
    for (int i = 0; i < kCheckBoxCount; ++i) {
        const int id = kCheckBoxes[i].controlId;
        if (states[i] < 0 || Checked(id) == (states[i] == 1)) continue;
        // A disabled Up Normals box: tick Normals, set it, clear Normals again.
        const bool detour = id == IDC_UP_NORMALS && !IsWindowEnabled(GetDlgItem(optionsPage_, id));
        if (detour) Click(optionsPage_, IDC_NORMALS);
        Click(optionsPage_, id);
        if (detour) Click(optionsPage_, IDC_NORMALS);
        if (Checked(id) != (states[i] == 1)) refused.push_back(kCheckBoxes[i].label);
    }
    return refused;
}

void HostSession::SetOutputDir(const std::string& dir) {
    SendMessageA(GetDlgItem(outputPage_, IDC_OUTPUT_DIR), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(dir.c_str()));
}

void HostSession::PressExport() {
    Click(outputPage_, IDC_EXPORT);
}

}  // namespace winhost
