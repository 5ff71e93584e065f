#include "cli/outputs/output_plan.h"

#include <filesystem>
#include <map>

#include "cli/outputs/output_template.h"

namespace kvooutputs {

namespace {

// The panel's edit holds at most 260 characters.
constexpr size_t kMaxOutputDir = 260;

}  // namespace

bool PlanOutputFolders(const std::string& output, const std::vector<std::string>& scenes,
                       const std::string& workingDir, std::vector<OutputFolder>& folders,
                       std::string& error) {
    folders.clear();
    if (!CheckOutputTemplate(output, error)) return false;
    if (!IsOutputTemplate(output)) {
        folders.push_back({output, scenes});
        return true;
    }
    // Spellings of one folder ("out/a", "./out/a/") are one lifetime.
    std::map<std::string, size_t> byKey;
    for (const std::string& scene : scenes) {
        std::string dir;
        if (!ExpandOutputTemplate(output, scene, workingDir, dir, error)) return false;
        if (dir.size() > kMaxOutputDir) {
            error = scene + ": the output directory " + dir + " is longer than 260 characters";
            return false;
        }
        const std::string key =
            (std::filesystem::path(workingDir) / dir).lexically_normal().string();
        const auto [it, added] = byKey.emplace(key, folders.size());
        if (added) folders.push_back({dir, {}});
        folders[it->second].scenes.push_back(scene);
    }
    return true;
}

std::vector<std::string> ExportOrder(const std::vector<OutputFolder>& folders) {
    std::vector<std::string> order;
    for (const OutputFolder& folder : folders) {
        order.insert(order.end(), folder.scenes.begin(), folder.scenes.end());
    }
    return order;
}

}  // namespace kvooutputs
