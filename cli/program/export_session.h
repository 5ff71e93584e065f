// One plug-in lifetime: loads the module, opens its panel once, exports
// each scene by pressing Export on it, and closes and unloads at the end.
#pragma once

#include <csignal>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "cli/checks/written_files.h"
#include "cli/import/embedded_images.h"
#include "cli/outputs/folder_guard.h"
#include "cli/outputs/texture_copies.h"
#include "cli/program/cli_options.h"
#include "cli/program/run_observer.h"
#include "cli/program/run_summary.h"
#include "hostdrive/module_loader.h"
#include "hostdrive/panel_driver.h"
#include "platform/max/max_sdk.h"
#include "scene/compact_scene.h"

namespace kvocli {

class ExportSession {
public:
    // `outputDir` is where the files go: the -o directory, or a private one
    // for a dry run, whose paths are then shown as if under the -o directory.
    ExportSession(const CliOptions& options, const std::string& outputDir,
                  const volatile sig_atomic_t* interrupted, bool drawProgress);
    ~ExportSession();
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    // Loads the module and opens the panel; false with a message on failure.
    bool Open(const std::string& modulePath, const std::string& configDir, std::string& error);
    // Exports one imported scene: warns about what the export will lose,
    // presses Export, and checks every written file against the scene. The
    // scene form is freed once the host scene is built from it.
    // `embedded`: the images the scene file holds, extracted with --copy-textures.
    void ExportScene(kvoscene::Scene scene, SceneOutcome& outcome,
                     const std::vector<kvoimport::EmbeddedImage>& embedded = {});
    // The next scene's place among the invocation's scenes, for the progress line.
    void NumberScene(unsigned number, unsigned count, const std::string& path) {
        observer_.SetScene(number, count, path);
    }
    // Closes the panel and unloads the module (also done by the destructor).
    void Close();
    // The files written so far by this invocation.
    const kvochecks::WrittenFiles& Written() const { return written_; }
    // Whether the output folder was moved or replaced during an export.
    bool FolderMoved() const { return folderMoved_; }
    // The side files an Export of this lifetime asked the plug-in for.
    const std::set<std::string>& SideFilesAsked() const { return sideFilesAsked_; }

private:
    void Warn(SceneOutcome& outcome, kvochecks::ExportWarning warning);
    void CheckMaterialNames(SceneOutcome& outcome);
    void RecordWrite(SceneOutcome& outcome, const kvochecks::NodeReport& node);
    void CheckBudgets(SceneOutcome& outcome, const kvochecks::NodeReport& node,
                      std::set<std::string>& texturesSeen);
    std::string ShownPath(const std::string& path) const;
    void NoteSideFilesAsked();
    void PumpFolderGuard();
    bool FolderStopped(SceneOutcome& outcome, bool exported);

    const CliOptions& options_;
    std::string outputDir_;
    std::string shownDir_;
    hostdrive::PluginModule module_;
    Interface ip_;
    hostdrive::PanelDriver panel_;
    RunObserver observer_;
    kvochecks::WrittenFiles written_;
    kvooutputs::TextureCopies textureCopies_;
    unsigned errorsShown_ = 0;
    std::set<std::string> sideFilesAsked_;
    kvooutputs::FolderGuard folder_;
    bool folderMoved_ = false;
    std::map<std::string, std::string> materialSources_;  // sanitised name -> scene's name
};

}  // namespace kvocli
