#include "hostdrive/scene_selection.h"

namespace hostdrive {

// '*' and '?' only: the Windows test host selects every root child and gives
// no patterns.
bool MatchesGlob(const std::string& glob, const std::string& name) {
    size_t g = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (g < glob.size() && (glob[g] == '?' || glob[g] == name[n])) {
            ++g;
            ++n;
        } else if (g < glob.size() && glob[g] == '*') {
            star = g++;
            resume = n;
        } else if (star != std::string::npos) {
            g = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == '*') ++g;
    return g == glob.size();
}

}  // namespace hostdrive
