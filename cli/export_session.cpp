#include "cli/export_session.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/file_watch.h"
#include "cli/scene_selection.h"
#include "export/node_file.h"
#include "platform/max/host_scene.h"
#include "platform/win32/headless.h"
#include "scene/host_scene_builder.h"

namespace kvocli {

ExportSession::ExportSession(const CliOptions& options, const volatile sig_atomic_t* interrupted,
                             bool drawProgress)
    : options_(options), panel_(ip_), observer_(interrupted, drawProgress) {}

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
    ip_.SetPluginConfigDir(configDir);
    ip_.SetMessagePump([this] { observer_.Pump(); });
    if (!panel_.Open(module_, error)) {
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

namespace {

struct SelectedNode {
    std::string name;
    std::string path;     // the .kvo file the plug-in writes for it
    std::string problem;  // why the plug-in will refuse to write it, or ""
};

}  // namespace

void ExportSession::ExportScene(kvoscene::Scene scene, SceneOutcome& outcome) {
    const auto start = std::chrono::steady_clock::now();
    HostScene host;
    const std::vector<INode*> nodes = kvoscene::BuildHostScene(scene, host);
    std::vector<SelectedNode> selected;
    std::vector<std::string> paths;
    unsigned deeperGeometry = 0;
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const kvoscene::Node& node = scene.nodes[i];
        const bool geometry = node.kind == kvoscene::NodeKind::Geometry;
        if (!IsSelected(node, options_.selectGlobs)) {
            deeperGeometry += geometry && node.parent != kvoscene::kNone;
            continue;
        }
        nodes[i]->SetSelected(true);
        if (geometry) {
            selected.push_back(
                {node.name,
                 exporter::OutputPath(options_.outputDir, exporter::NodeFileName(node.name)),
                 exporter::FileNameProblem(node.name)});
            paths.push_back(selected.back().path);
        } else {
            ++outcome.notGeometry;
        }
    }
    scene = kvoscene::Scene();  // the host scene holds every mesh from here on
    if (selected.empty() && deeperGeometry > 0) {
        std::fprintf(stderr,
                     "kvoexp: %s: no selected root child is geometry; %u geometry nodes lie "
                     "deeper (--collapse merges them into their root child)\n",
                     outcome.scene.c_str(), deeperGeometry);
    }
    ip_.SetScene(&host);
    for (const std::string& label : panel_.ApplyChecks(options_.checks)) {
        std::fprintf(stderr, "kvoexp: warning: the check box \"%s\" would not change\n",
                     label.c_str());
    }
    panel_.SetOutputDir(options_.outputDir);
    const unsigned errorsBefore = errorsShown_;
    FileWatch watch;
    watch.Before(paths);
    observer_.Begin(panel_.ProgressDialog());
    panel_.PressExport();
    observer_.End();
    ip_.SetScene(nullptr);

    outcome.errorsShown = errorsShown_ - errorsBefore;
    outcome.cancelled = observer_.CancelClicked();
    // The dialog's count of written nodes bounds what the files show (two
    // nodes of one name write one file).
    uint32_t done = 0, count = 0;
    uint32_t limit = static_cast<uint32_t>(selected.size());
    if (ParseOverallLabel(observer_.OverallLabel(), done, count) && count == selected.size()) {
        limit = done;
    }
    std::set<std::string> files;
    for (const SelectedNode& node : selected) {
        if (outcome.exported < limit && watch.Written(node.path)) {
            ++outcome.exported;
            files.insert(node.path);
            const std::string writer = "node '" + node.name + "' of " + outcome.scene;
            const std::string earlier = written_.Record(node.path, writer, outcome.scene);
            if (!earlier.empty()) {
                std::fprintf(stderr, "kvoexp: warning: %s written twice: by %s, then by %s\n",
                             node.path.c_str(), earlier.c_str(), writer.c_str());
            }
        } else if (!outcome.cancelled) {
            ++outcome.failed;
            std::fprintf(stderr, "kvoexp: %s: node '%s' was not written%s%s\n",
                         outcome.scene.c_str(), node.name.c_str(), node.problem.empty() ? "" : ": ",
                         node.problem.c_str());
        }
    }
    outcome.filesWritten = static_cast<unsigned>(files.size());
    outcome.exportSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace kvocli
