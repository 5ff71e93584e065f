// The saturating arithmetic of the optimiser's counts, and its guard against
// geometry that breaks its invariants.
#include <climits>

#include "kvo/kvo_invariants.h"
#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {

bool GeobIsSound(const KvoGeob& geob) {
    std::vector<std::string> causes;
    CheckGeob(geob, KvoStrictness::kOptimize, "geob", causes);
    return causes.empty();
}

int32_t ClampCount(uint64_t count) {
    return count > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(count);
}

void AddToCounter(int32_t* counter, uint64_t amount) {
    if (counter == nullptr) return;
    const int64_t sum = static_cast<int64_t>(*counter) + ClampCount(amount);
    *counter = sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}

}  // namespace kvo_optimizer
