#include "cli/export_session.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/host_scene_builder.h"
#include "cli/scene_selection.h"
#include "cli/written_files.h"
#include "platform/max/path_separator.h"
#include "platform/win32/headless.h"

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
    ClassDesc* desc = module_.LibNumberClasses() > 0 ? module_.LibClassDesc(0) : nullptr;
    if (!desc || desc->SuperClassID() != UTILITY_CLASS_ID) {
        error = "the plug-in module " + modulePath + " offers no utility class";
        module_.Unload();
        return false;
    }
    utility_ = static_cast<UtilityObj*>(desc->Create(FALSE));
    if (!utility_) {
        error = "the plug-in's class descriptor made no utility object";
        module_.Unload();
        return false;
    }
    headless::SetMessageBoxHook([this](const headless::MessageBoxRecord& box) {
        ++errorsShown_;
        std::fprintf(stderr, "kvoexp: error: %s\n", box.text.c_str());
    });
    ip_.SetPluginConfigDir(configDir);
    ip_.SetMessagePump([this] { observer_.Pump(); });
    utility_->BeginEditParams(&ip_, &iu_);
    if (!panel_.FindPages(error)) {
        Close();
        return false;
    }
    return true;
}

void ExportSession::Close() {
    if (utility_) {
        utility_->EndEditParams(&ip_, &iu_);
        utility_->DeleteThis();
        utility_ = nullptr;
    }
    ip_.SetMessagePump(nullptr);
    ip_.SetScene(nullptr);
    module_.Unload();
    headless::SetMessageBoxHook(nullptr);
}

namespace {

struct SelectedNode {
    std::string name;
    std::string path;  // the .kvo file the plug-in writes for it
};

}  // namespace

void ExportSession::ExportScene(const kvoscene::Scene& scene, SceneOutcome& outcome) {
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
                {node.name, options_.outputDir + kPathSeparator + node.name + ".kvo"});
            paths.push_back(selected.back().path);
        } else {
            ++outcome.notGeometry;
        }
    }
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
            const std::string earlier = written_.Record(node.path, writer);
            if (!earlier.empty()) {
                std::fprintf(stderr, "kvoexp: warning: %s written twice: by %s, then by %s\n",
                             node.path.c_str(), earlier.c_str(), writer.c_str());
            }
        } else if (!outcome.cancelled) {
            ++outcome.failed;
            std::fprintf(stderr, "kvoexp: %s: node '%s' was not written\n", outcome.scene.c_str(),
                         node.name.c_str());
        }
    }
    outcome.filesWritten = static_cast<unsigned>(files.size());
    outcome.exportSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace kvocli
