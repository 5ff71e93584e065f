#include "cli/checks/scene_selection.h"

#include <fnmatch.h>

namespace kvochecks {

bool IsSelected(const kvoscene::Node& node, const std::vector<std::string>& globs) {
    if (node.parent != kvoscene::kNone) return false;
    if (globs.empty()) return true;
    for (const std::string& glob : globs) {
        if (fnmatch(glob.c_str(), node.name.c_str(), 0) == 0) return true;
    }
    return false;
}

}  // namespace kvochecks
