#include "cli/export_session.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/host_scene_builder.h"
#include "cli/scene_selection.h"
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

void ExportSession::ExportScene(const kvoscene::Scene& scene, SceneOutcome& outcome) {
    const auto start = std::chrono::steady_clock::now();
    HostScene host;
    const std::vector<INode*> nodes = kvoscene::BuildHostScene(scene, host);
    std::vector<ExpectedNode> expected;
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const kvoscene::Node& node = scene.nodes[i];
        if (!IsSelected(node, options_.selectGlobs)) continue;
        nodes[i]->SetSelected(true);
        if (node.kind == kvoscene::NodeKind::Geometry) {
            expected.push_back(
                {node.name, options_.outputDir + kPathSeparator + node.name + ".kvo"});
        } else {
            ++outcome.notGeometry;
        }
    }
    ip_.SetScene(&host);
    for (const std::string& label : panel_.ApplyChecks(options_.checks)) {
        std::fprintf(stderr, "kvoexp: warning: the check box \"%s\" would not change\n",
                     label.c_str());
    }
    panel_.SetOutputDir(options_.outputDir);
    const unsigned errorsBefore = errorsShown_;
    observer_.Begin(panel_.ProgressDialog(), std::move(expected));
    panel_.PressExport();
    observer_.End();
    ip_.SetScene(nullptr);

    outcome.errorsShown = errorsShown_ - errorsBefore;
    outcome.cancelled = observer_.CancelClicked();
    std::set<std::string> files;
    for (const ExpectedNode& node : observer_.Nodes()) {
        std::error_code ec;
        if (node.written && std::filesystem::is_regular_file(node.path, ec)) {
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
