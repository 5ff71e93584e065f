#include "cli/outputs/run_outputs.h"

#include <filesystem>

#include "cli/outputs/stale_outputs.h"
#include "export/node_file.h"

namespace kvooutputs {

namespace {

// The plug-in's side files, in the order a depfile lists them.
constexpr const char* kSideFiles[] = {"kvoexp.shd", "geometry.ini", "kvoexp_log.txt"};

std::vector<std::string> SideFilePaths(const std::string& dir) {
    std::vector<std::string> paths;
    for (const char* name : kSideFiles) paths.push_back(exporter::OutputPath(dir, name));
    return paths;
}

}  // namespace

void RunOutputs::BeginFolder(const std::string& dir) {
    folders_.push_back({dir, {}, {}, false});
    sideWatch_.Before(SideFilePaths(dir));
}

void RunOutputs::EndFolder(const std::vector<std::string>& kvoWritten) {
    if (folders_.empty() || folders_.back().ended) return;
    Folder& folder = folders_.back();
    folder.kvo.insert(kvoWritten.begin(), kvoWritten.end());
    for (const std::string& path : SideFilePaths(folder.dir)) {
        if (sideWatch_.Written(path)) folder.sideFiles.push_back(path);
    }
    folder.ended = true;
}

void RunOutputs::AddInputs(const std::string& scene, const std::vector<std::string>& filesRead) {
    // As the import worker records it ("./a.obj" is "a.obj").
    const std::string normal = std::filesystem::path(scene).lexically_normal().string();
    if (inputSet_.insert(normal).second) inputs_.push_back(normal);
    for (const std::string& path : filesRead) {
        if (inputSet_.insert(path).second) inputs_.push_back(path);
    }
}

void RunOutputs::AddTarget(const std::string& path) {
    if (otherTargetSet_.insert(path).second) otherTargets_.push_back(path);
}

std::vector<std::string> RunOutputs::Targets() const {
    std::vector<std::string> targets;
    for (const Folder& folder : folders_) {
        targets.insert(targets.end(), folder.kvo.begin(), folder.kvo.end());
        targets.insert(targets.end(), folder.sideFiles.begin(), folder.sideFiles.end());
    }
    targets.insert(targets.end(), otherTargets_.begin(), otherTargets_.end());
    return targets;
}

bool RunOutputs::Prune(std::vector<std::string>& removed, std::string& error) const {
    for (const Folder& folder : folders_) {
        if (folder.ended && !PruneStaleKvoFiles(folder.dir, folder.kvo, removed, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace kvooutputs
