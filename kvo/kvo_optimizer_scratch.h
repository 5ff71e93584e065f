// Working storage of the geob optimiser that a caller keeps from geode to
// geode: KvoGeode::Optimize grows it to the largest geob met and leaves it for
// the next call, so a run of many nodes allocates it once.
#pragma once

#include <memory>

namespace kvo_optimizer {
class Workspace;
}  // namespace kvo_optimizer

class KvoOptimizerScratch {
public:
    KvoOptimizerScratch();
    ~KvoOptimizerScratch();
    KvoOptimizerScratch(const KvoOptimizerScratch&) = delete;
    KvoOptimizerScratch& operator=(const KvoOptimizerScratch&) = delete;

    kvo_optimizer::Workspace& workspace() { return *workspace_; }

private:
    std::unique_ptr<kvo_optimizer::Workspace> workspace_;
};
