// The remembered refresh numbers against the formulas written out literally:
// every step of small budgets, long runs past percentage boundaries, jumps
// back and forward, and counts at the ends of the 32-bit range.
#include "plugin/progress_memo.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <string>

namespace {

int ReferencePercentage(uint32_t done, uint32_t total) {
    if (total == 0) return 0;
    const double percent = static_cast<double>(done) / static_cast<double>(total) * 100.0;
    return percent >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(percent);
}

struct Reference {
    int object, overall;
    std::string label;
};

Reference ReferenceRefresh(uint32_t stepsDone, uint32_t steps, uint32_t done, uint32_t count) {
    Reference r;
    r.object = ReferencePercentage(stepsDone, steps);
    long long overall = ReferencePercentage(done, count);
    if (count != 0) overall += static_cast<uint32_t>(r.object) / count;
    r.overall = overall > INT_MAX ? INT_MAX : static_cast<int>(overall);
    char text[96];
    std::snprintf(text, sizeof text, "Total Progress: %i%% (%i of %i)", r.overall,
                  static_cast<int>(done), static_cast<int>(count));
    r.label = text;
    return r;
}

void ExpectSame(progress::ProgressMemo& memo, uint32_t stepsDone, uint32_t steps, uint32_t done,
                uint32_t count) {
    const progress::ProgressMemo::Result got = memo.Refresh(stepsDone, steps, done, count);
    const Reference want = ReferenceRefresh(stepsDone, steps, done, count);
    ASSERT_EQ(got.objectPercent, want.object) << stepsDone << " of " << steps;
    ASSERT_EQ(got.overallPercent, want.overall) << stepsDone << " of " << steps;
    ASSERT_EQ(std::string(got.label), want.label) << stepsDone << " of " << steps;
}

TEST(ProgressMemo, EveryStepOfSmallBudgetsMatchesTheFormulas) {
    for (uint32_t steps : {0u, 1u, 3u, 7u, 11u, 99u, 100u, 101u, 110u, 1100u, 1234u, 3001u}) {
        for (uint32_t count : {1u, 3u, 4u, 7u}) {
            progress::ProgressMemo memo;
            for (uint32_t done = 0; done < count; ++done) {
                // Past the budget too: k groups take more than it.
                for (uint32_t s = 0; s <= steps + steps / 2 + 2; ++s) {
                    ExpectSame(memo, s, steps, done, count);
                }
            }
        }
    }
}

TEST(ProgressMemo, LargeBudgetsStepByStepAcrossBoundaries) {
    // Budgets whose boundaries fall where double rounding is closest to an integer.
    for (uint32_t steps : {1100000u, 16777217u, 67108869u, 4294967295u, 2147483647u}) {
        progress::ProgressMemo memo;
        for (int p = 0; p <= 100; ++p) {
            const uint64_t exact = (uint64_t{static_cast<unsigned>(p)} * steps + 99) / 100;
            for (int64_t d = -3; d <= 3; ++d) {
                const int64_t s = static_cast<int64_t>(exact) + d;
                if (s < 0 || s > UINT32_MAX) continue;
                ExpectSame(memo, static_cast<uint32_t>(s), steps, 0, 1);
            }
        }
    }
}

TEST(ProgressMemo, JumpsBackAndForthAndChangedCountersAreNoticed) {
    std::mt19937 random(19);
    progress::ProgressMemo memo;
    uint32_t steps = 5000, done = 0, count = 3, stepsDone = 0;
    for (int i = 0; i < 200000; ++i) {
        switch (random() % 16) {
            case 0:
                stepsDone = random() % (steps + 2000);  // back or far ahead
                break;
            case 1:
                steps = random() % 20000;
                break;
            case 2:
                done = random() % (count + 2);
                break;
            case 3:
                count = random() % 9;
                break;
            case 4:
                stepsDone = random();  // anywhere in the 32-bit range
                break;
            default:
                stepsDone += random() % 3;
        }
        ExpectSame(memo, stepsDone, steps, done, count);
    }
}

TEST(ProgressMemo, EndsOfTheRange) {
    struct Case {
        uint32_t stepsDone, steps, done, count;
    };
    const Case cases[] = {{UINT32_MAX, 1, 0, 1},
                          {UINT32_MAX, 2, 0, 1},
                          {UINT32_MAX - 1, UINT32_MAX, 0, 1},
                          {UINT32_MAX, UINT32_MAX, 0, 1},
                          {21474837, 1, 0, 1},
                          {21474836, 1, 0, 1},
                          {0, 0, UINT32_MAX, 1},
                          {5, 0, 1, 0},
                          {1150, 1100, 0, 1},
                          {55, 110, 1, 4}};
    for (const Case& c : cases) {
        progress::ProgressMemo memo;
        ExpectSame(memo, c.stepsDone, c.steps, c.done, c.count);
        ExpectSame(memo, c.stepsDone, c.steps, c.done, c.count);  // from the memo
    }
}

}  // namespace
