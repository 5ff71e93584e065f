// One plug-in lifetime: loads the module, opens its panel once, exports
// each scene by pressing Export on it, and closes and unloads at the end.
#pragma once

#include <csignal>
#include <memory>
#include <string>

#include "cli/cli_options.h"
#include "cli/run_observer.h"
#include "cli/run_summary.h"
#include "cli/written_files.h"
#include "hostdrive/module_loader.h"
#include "hostdrive/panel_driver.h"
#include "platform/max/max_sdk.h"
#include "scene/compact_scene.h"

namespace kvocli {

class ExportSession {
public:
    ExportSession(const CliOptions& options, const volatile sig_atomic_t* interrupted,
                  bool drawProgress);
    ~ExportSession();
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    // Loads the module and opens the panel; false with a message on failure.
    bool Open(const std::string& modulePath, const std::string& configDir, std::string& error);
    // Exports one imported scene into the outcome's counters. The scene form
    // is freed once the host scene is built from it.
    void ExportScene(kvoscene::Scene scene, SceneOutcome& outcome);
    // Closes the panel and unloads the module (also done by the destructor).
    void Close();
    // The .kvo files written so far.
    const WrittenFiles& Written() const { return written_; }

private:
    const CliOptions& options_;
    hostdrive::PluginModule module_;
    Interface ip_;
    hostdrive::PanelDriver panel_;
    RunObserver observer_;
    WrittenFiles written_;
    unsigned errorsShown_ = 0;
};

}  // namespace kvocli
