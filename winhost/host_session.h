// One plug-in lifetime in the Windows host: the DLL loaded, its panel opened
// in the command panel through hostdrive's panel driver, a scene from a
// compact scene file, and at the end the panel closed and the DLL unloaded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hostdrive/module_loader.h"
#include "hostdrive/panel_driver.h"
#include "platform/max/host_scene.h"
#include "winhost/message_box_watcher.h"

namespace winhost {

class HostSession {
public:
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Loads the DLL, creates the utility and opens its panel with the given
    // plug-in configuration directory; false with a message on failure.
    bool Open(const std::string& dllPath, const std::string& configDir, std::string& error);
    // Reads a compact scene file into the host scene and selects every
    // child of the root, as the console host does.
    bool LoadScene(const std::string& path, std::string& error);
    // Closes the utility's panel (EndEditParams); the command panel stays.
    void ClosePanel();
    // Closes the panel, destroys the command panel and unloads the DLL.
    void Close();

    Interface& Host() { return *ip_; }
    hostdrive::PanelDriver& Panel() { return *panel_; }
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return watcher_->Boxes(); }

private:
    hostdrive::PluginModule library_;
    std::unique_ptr<Interface> ip_;
    std::unique_ptr<hostdrive::PanelDriver> panel_;
    std::unique_ptr<HostScene> scene_;
    std::unique_ptr<MessageBoxWatcher> watcher_;
};

}  // namespace winhost
