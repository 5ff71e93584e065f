#include <fnmatch.h>

#include "hostdrive/scene_selection.h"

namespace hostdrive {

bool MatchesGlob(const std::string& glob, const std::string& name) {
    return fnmatch(glob.c_str(), name.c_str(), 0) == 0;
}

}  // namespace hostdrive
