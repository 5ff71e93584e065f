// One memory budget for all import processes of an invocation.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/import/worker_process.h"

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

TEST(WorkerMemory, TheBudgetIsSharedByTheProcesses) {
    rlimit current{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &current), 0);
    if (current.rlim_cur != RLIM_INFINITY) GTEST_SKIP() << "an address-space limit is inherited";
    const struct {
        uint64_t budget;
        unsigned processes;
        uint64_t share;
    } cases[] = {{0, 4, 0},
                 {512 * kMiB, 1, 512 * kMiB},
                 {512 * kMiB, 2, 256 * kMiB},
                 {512 * kMiB, 8, 64 * kMiB},
                 {512 * kMiB, 0, 512 * kMiB}};
    for (const auto& c : cases) {
        EXPECT_EQ(kvoimport::WorkerMemoryShare(c.budget, c.processes), c.share)
            << c.budget << " for " << c.processes;
    }
}

// A smaller limit the program inherited is the one that applies, and the one
// a message names.
TEST(WorkerMemory, AnInheritedLimitCapsTheShare) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{3000 * kMiB, 3000 * kMiB};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(2);
        const bool ok = kvoimport::WorkerMemoryShare(8000 * kMiB, 2) == 3000 * kMiB &&
                        kvoimport::WorkerMemoryShare(0, 2) == 3000 * kMiB &&
                        kvoimport::WorkerMemoryShare(4000 * kMiB, 2) == 2000 * kMiB;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot set a limit here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
