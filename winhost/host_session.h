// One plug-in lifetime in the Windows host: the DLL loaded, the utility
// created through its descriptor, its panel opened in the command panel, a
// scene from a compact scene file, clicks on the panel's controls as real
// messages, and at the end the panel closed and the DLL unloaded.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/max/max_sdk.h"
#include "winhost/check_boxes.h"
#include "winhost/message_box_watcher.h"
#include "winhost/plugin_library.h"

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
    PluginLibrary& Library() { return library_; }
    HWND OutputPage() const { return outputPage_; }
    HWND OptionsPage() const { return optionsPage_; }
    HWND AboutPage() const { return aboutPage_; }
    // The progress dialog that runs show: the last one registered and alive.
    HWND ProgressDialog() const;
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return watcher_->Boxes(); }

    // Sets each requested box by clicking it when its state differs; returns
    // the labels of boxes that would not take the state.
    std::vector<std::string> ApplyChecks(const CheckStates& states);
    void Click(HWND page, int id);
    bool Checked(int id) const;
    void SetOutputDir(const std::string& dir);
    // Returns when the export run is over: the click is handled synchronously.
    void PressExport();

private:
    PluginLibrary library_;
    std::unique_ptr<Interface> ip_;
    IUtil iu_;
    UtilityObj* utility_ = nullptr;
    std::unique_ptr<HostScene> scene_;
    std::unique_ptr<MessageBoxWatcher> watcher_;
    HWND outputPage_ = nullptr;
    HWND optionsPage_ = nullptr;
    HWND aboutPage_ = nullptr;
};

}  // namespace winhost
