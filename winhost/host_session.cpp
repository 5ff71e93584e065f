#include "winhost/host_session.h"

#include <algorithm>

#include "hostdrive/scene_selection.h"
#include "winhost/scene_file.h"

namespace winhost {

HostSession::HostSession()
    : ip_(std::make_unique<Interface>()), panel_(std::make_unique<hostdrive::PanelDriver>(*ip_)) {}

HostSession::~HostSession() {
    Close();
}

bool HostSession::Open(const std::string& dllPath, const std::string& configDir,
                       std::string& error) {
    if (!library_.Load(dllPath, error)) {
        error = "cannot load " + dllPath + ": " + error;
        return false;
    }
    watcher_ = std::make_unique<MessageBoxWatcher>([this](HWND window) {
        const std::vector<HWND>& known = ip_->RegisteredDialogs();
        return std::find(known.begin(), known.end(), window) != known.end();
    });
    return panel_->Open(library_, configDir, error);
}

bool HostSession::LoadScene(const std::string& path, std::string& error) {
    auto host = std::make_unique<HostScene>();
    {
        // The scene form lives only until the host scene is built.
        kvoscene::Scene scene;
        if (!ReadSceneFile(path, scene, error)) return false;
        hostdrive::BuildSelectedScene(scene, *host, {});
    }
    ip_->SetScene(host.get());
    scene_ = std::move(host);
    return true;
}

void HostSession::ClosePanel() {
    panel_->Close();
}

// Windows the plug-in still owns through the command panel are destroyed
// with it while their dialog procedures are still loaded.
void HostSession::Close() {
    ClosePanel();
    watcher_.reset();
    ip_->SetMessagePump(nullptr);
    ip_->SetScene(nullptr);
    panel_.reset();
    ip_ = std::make_unique<Interface>();
    panel_ = std::make_unique<hostdrive::PanelDriver>(*ip_);
    library_.Unload();
    scene_.reset();
}

}  // namespace winhost
