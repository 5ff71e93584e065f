#include "cli/program/export_session.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/checks/budgets.h"
#include "cli/checks/export_verification.h"
#include "cli/checks/nothing_to_export.h"
#include "cli/checks/printable_text.h"
#include "cli/checks/save_failure.h"
#include "cli/checks/scene_checks.h"
#include "cli/checks/unique_names.h"
#include "cli/outputs/file_watch.h"
#include "cli/program/scene_textures.h"
#include "export/node_file.h"
#include "hostdrive/scene_selection.h"
#include "platform/max/host_scene.h"
#include "platform/win32/headless.h"
#include "plugin/resource.h"

namespace kvocli {

ExportSession::ExportSession(const CliOptions& options, const std::string& outputDir,
                             const volatile sig_atomic_t* interrupted, bool drawProgress)
    : options_(options),
      outputDir_(outputDir),
      shownDir_(options.outputDir.empty() ? outputDir : options.outputDir),
      panel_(ip_),
      observer_(interrupted, drawProgress) {
    textureCopies_.SetLimits({options.textures.maxSide, options.textures.powerOfTwo});
}

ExportSession::~ExportSession() {
    Close();
}

bool ExportSession::Open(const std::string& modulePath, const std::string& configDir,
                         std::string& error) {
    if (!module_.Load(modulePath, error)) {
        error = "cannot load the plug-in module " + modulePath + ": " + error;
        return false;
    }
    headless::SetMessageBoxHook([this](const headless::MessageBoxRecord& box) {
        ++errorsShown_;
        std::fprintf(stderr, "kvoexp: error: %s\n", box.text.c_str());
    });
    folder_.Open(outputDir_);
    ip_.SetMessagePump([this] {
        observer_.Pump();
        PumpFolderGuard();
    });
    if (!panel_.Open(module_, configDir, error)) {
        error = modulePath + ": " + error;
        Close();
        return false;
    }
    return true;
}

void ExportSession::Close() {
    panel_.Close();
    ip_.SetMessagePump(nullptr);
    ip_.SetScene(nullptr);
    module_.Unload();
    headless::SetMessageBoxHook(nullptr);
}

void ExportSession::Warn(SceneOutcome& outcome, kvochecks::ExportWarning warning) {
    options_.warningPolicy.Print(outcome.scene, warning);
    outcome.warnings.push_back(std::move(warning));
}

// Two distinct materials of this lifetime written under one sanitised name.
void ExportSession::CheckMaterialNames(SceneOutcome& outcome) {
    for (const kvochecks::NodeReport& node : outcome.nodes) {
        for (const kvochecks::MaterialGroup& group : node.groups) {
            const kvochecks::MaterialReport& m = group.material;
            if (m.sourceName.empty()) continue;
            const auto [it, first] = materialSources_.emplace(m.name, m.sourceName);
            if (first || it->second == m.sourceName) continue;
            Warn(outcome, {kvochecks::WarningCode::kMaterialNameCollision, node.name,
                           "materials " + kvochecks::Quoted(it->second) + " and " +
                               kvochecks::Quoted(m.sourceName) + " are both written as " +
                               kvochecks::Quoted(m.name)});
            it->second = m.sourceName;  // warn once per new pair
        }
    }
}

// A file written twice, or beside one whose name differs only in letter case.
void ExportSession::RecordWrite(SceneOutcome& outcome, const kvochecks::NodeReport& node) {
    const std::string shown = ShownPath(node.file);
    const std::string writer = "node " + kvochecks::Quoted(node.name) + " of " + outcome.scene;
    const kvochecks::EarlierWrite earlier = written_.Record(shown, writer, outcome.scene);
    if (earlier.writer.empty()) return;
    if (earlier.path == shown) {
        Warn(outcome, {kvochecks::WarningCode::kNameCollision, node.name,
                       kvochecks::PrintableText(shown) + " written twice: by " + earlier.writer +
                           ", then by " + writer});
    } else {
        Warn(outcome, {kvochecks::WarningCode::kNameCollision, node.name,
                       kvochecks::PrintableText(shown) + " (" + writer + ") and " +
                           kvochecks::PrintableText(earlier.path) + " (" + earlier.writer +
                           ") differ only in letter case: one file on Windows"});
    }
}

void ExportSession::NoteSideFilesAsked() {
    const std::pair<int, const char*> boxes[] = {{IDC_GENERATE_SHADER, "kvoexp.shd"},
                                                 {IDC_GENERATE_GEOMETRY, "geometry.ini"},
                                                 {IDC_GENERATE_LOG, "kvoexp_log.txt"}};
    for (const auto& [box, name] : boxes) {
        if (panel_.Checked(box)) sideFilesAsked_.insert(name);
    }
}

void ExportSession::CheckBudgets(SceneOutcome& outcome, const kvochecks::NodeReport& node,
                                 std::set<std::string>& texturesSeen) {
    for (kvochecks::ExportWarning& w : kvochecks::CheckFileBudgets(node, options_.budgets)) {
        Warn(outcome, std::move(w));
    }
    for (kvochecks::ExportWarning& w :
         kvochecks::CheckTextureBudget(node, options_.budgets, texturesSeen)) {
        Warn(outcome, std::move(w));
    }
}

std::string ExportSession::ShownPath(const std::string& path) const {
    if (shownDir_ == outputDir_ || path.compare(0, outputDir_.size(), outputDir_) != 0) {
        return path;
    }
    return shownDir_ + path.substr(outputDir_.size());
}

// The output folder moved or replaced: Cancel is pressed at once. The plug-in
// writes relative to the folder it opened, so the node in hand still goes
// into the moved folder, whole.
void ExportSession::PumpFolderGuard() {
    if (folderMoved_ || !folder_.Poll()) return;
    folderMoved_ = true;
    SendMessageA(GetDlgItem(panel_.ProgressDialog(), IDC_CANCEL_CLOSE), BM_CLICK, 0, 0);
}

// After an export, or before one once the folder has moved: the error, and
// the writer's temporary files removed from the folder as opened.
bool ExportSession::FolderStopped(SceneOutcome& outcome, bool exported) {
    if (!folderMoved_ && !folder_.Moved()) return false;
    folderMoved_ = true;
    std::fprintf(stderr, "kvoexp: error: %s: the output folder was moved or replaced%s%s%s\n",
                 kvochecks::PrintableText(shownDir_).c_str(),
                 exported ? " during the export of " : "; ",
                 kvochecks::PrintableText(outcome.scene).c_str(),
                 exported ? "; the export stopped" : " was not exported");
    folder_.RemoveTemporaries();
    ++outcome.errorsShown;
    return true;
}

void ExportSession::ExportScene(kvoscene::Scene scene, SceneOutcome& outcome,
                                const std::vector<kvoimport::EmbeddedImage>& embedded) {
    const auto start = std::chrono::steady_clock::now();
    // Looked at before each scene: texture copies and the plug-in's own opening
    // of the folder go by its path.
    if (FolderStopped(outcome, false)) return;
    const std::string nothing = kvochecks::NothingToExport(scene, options_.selectGlobs);
    if (!nothing.empty()) {
        std::fprintf(stderr, "kvoexp: error: %s: nothing to export: %s\n",
                     kvochecks::PrintableText(outcome.scene).c_str(), nothing.c_str());
        outcome.nothingToExport = true;
    }
    for (kvochecks::ExportWarning& warning :
         kvochecks::MakeFileNamesUnique(scene, options_.selectGlobs)) {
        Warn(outcome, std::move(warning));
    }
    if (!outcome.nothingToExport) {
        SceneTextures textures = PrepareSceneTextures(
            scene, {outcome.scene, outputDir_, options_.selectGlobs, &options_.textures}, embedded,
            options_.textures.copy ? &textureCopies_ : nullptr);
        for (kvochecks::ExportWarning& warning : textures.warnings)
            Warn(outcome, std::move(warning));
        outcome.textures = std::move(textures);
    }
    HostScene host;
    hostdrive::BuildSelectedScene(scene, host, options_.selectGlobs);
    ip_.SetScene(&host);
    for (const std::string& label : panel_.ApplyChecks(options_.checks)) {
        std::fprintf(stderr, "kvoexp: warning: the check box \"%s\" would not change\n",
                     label.c_str());
    }
    panel_.SetOutputDir(outputDir_);

    kvochecks::SceneCheckSettings settings;
    settings.scenePath = outcome.scene;
    settings.outputDir = outputDir_;
    settings.selectGlobs = options_.selectGlobs;
    settings.texturePaths = options_.textures.paths;
    settings.geometryIni = panel_.Checked(IDC_GENERATE_GEOMETRY);
    settings.localize = panel_.Checked(IDC_LOCALIZE);
    settings.vertexColors = panel_.Checked(IDC_VERTEX_COLORS);
    kvochecks::SceneCheck check = kvochecks::CheckScene(scene, settings);
    scene = kvoscene::Scene();  // the host scene holds every mesh from here on
    outcome.nodes = std::move(check.nodes);
    for (kvochecks::ExportWarning& warning : check.warnings) Warn(outcome, std::move(warning));
    CheckMaterialNames(outcome);

    if (outcome.nothingToExport) {
        // The plug-in would only ask to select objects: it is not run.
        ip_.SetScene(nullptr);
        outcome.notGeometry = static_cast<unsigned>(outcome.nodes.size());
        outcome.exportSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return;
    }
    std::vector<std::string> paths;
    for (const kvochecks::NodeReport& node : outcome.nodes) {
        if (!node.file.empty()) paths.push_back(node.file);
    }
    const unsigned errorsBefore = errorsShown_;
    kvooutputs::FileWatch watch;
    watch.Before(paths);
    // Looked at once more just before the plug-in opens the folder by its path.
    const bool movedBefore = folderMoved_ || folder_.Moved();
    if (!movedBefore) {
        observer_.Begin(panel_.ProgressDialog());
        panel_.PressExport();
        observer_.End();
    }
    ip_.SetScene(nullptr);

    outcome.errorsShown = errorsShown_ - errorsBefore;
    FolderStopped(outcome, !movedBefore);
    // The plug-in opens the side files once an Export gets past its checks.
    if (!outcome.nodes.empty() && outcome.errorsShown == 0) NoteSideFilesAsked();
    // A moved folder stops the export as Cancel does; its paths lead elsewhere now.
    outcome.cancelled = observer_.CancelClicked() || folderMoved_;
    std::set<std::string> files, texturesSeen;
    for (kvochecks::NodeReport& node : outcome.nodes) {
        if (node.kind != "geometry") {
            ++outcome.notGeometry;
            continue;
        }
        if (watch.Written(node.file)) {
            node.written = true;
            ++outcome.exported;
            files.insert(node.file);
            std::vector<kvochecks::ExportWarning> losses;
            kvochecks::VerifyWrittenNode(node, losses, !options_.reportPath.empty());
            for (kvochecks::ExportWarning& loss : losses) Warn(outcome, std::move(loss));
            RecordWrite(outcome, node);
            CheckBudgets(outcome, node, texturesSeen);
        } else if (!outcome.cancelled) {
            ++outcome.failed;
            const std::string cause = kvochecks::SaveFailureCause(node.file, node.name);
            std::fprintf(stderr, "kvoexp: %s: node %s was not written%s%s\n",
                         kvochecks::PrintableText(outcome.scene).c_str(),
                         kvochecks::Quoted(node.name).c_str(), cause.empty() ? "" : ": ",
                         cause.c_str());
            outcome.warnings.push_back({kvochecks::WarningCode::kSaveFailed, node.name,
                                        "node " + kvochecks::Quoted(node.name) +
                                            " was not written" +
                                            (cause.empty() ? "" : ": " + cause)});
        }
        node.file = ShownPath(node.file);
    }
    outcome.filesWritten = static_cast<unsigned>(files.size());
    outcome.exportSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace kvocli
