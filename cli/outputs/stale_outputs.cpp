#include "cli/outputs/stale_outputs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "export/node_file.h"

namespace kvooutputs {

namespace fs = std::filesystem;

std::vector<std::string> StaleKvoFiles(const std::string& dir,
                                       const std::set<std::string>& written) {
    std::vector<std::string> stale;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statError;
        if (!it->is_regular_file(statError) || it->is_symlink(statError)) continue;
        const std::string name = it->path().filename().string();
        if (it->path().extension() != ".kvo") continue;
        const std::string path = exporter::OutputPath(dir, name);
        if (written.count(path) == 0) stale.push_back(path);
    }
    std::sort(stale.begin(), stale.end());
    return stale;
}

bool PruneStaleKvoFiles(const std::string& dir, const std::set<std::string>& written,
                        std::vector<std::string>& removed, std::string& error) {
    for (const std::string& path : StaleKvoFiles(dir, written)) {
        std::error_code ec;
        if (!fs::remove(path, ec) && ec) {
            error = "cannot remove the stale file " + path + ": " + ec.message();
            return false;
        }
        removed.push_back(path);
    }
    return true;
}

}  // namespace kvooutputs
