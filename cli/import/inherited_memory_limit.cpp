#include "cli/import/inherited_memory_limit.h"

#include <sys/resource.h>

namespace kvoimport {

uint64_t EffectiveWorkerMemoryLimit(uint64_t requested) {
    rlimit inherited{};
    if (getrlimit(RLIMIT_AS, &inherited) != 0 || inherited.rlim_cur == RLIM_INFINITY) {
        return requested;
    }
    const uint64_t limit = static_cast<uint64_t>(inherited.rlim_cur);
    return requested == 0 || limit < requested ? limit : requested;
}

}  // namespace kvoimport
