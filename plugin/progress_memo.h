// The progress refresh's numbers and overall label, remembered between calls:
// the object percentage stays the same over a range of steps, which is found
// once, so a refresh that changes nothing costs a few comparisons. The
// results are exactly those of the truncated double-precision formulas.
#pragma once

#include <cstdint>

namespace progress {

// done / total x 100 in double precision, truncated toward zero; 0 without a
// total, and never beyond what an int holds.
int Percentage(uint32_t done, uint32_t total);

class ProgressMemo {
public:
    struct Result {
        int objectPercent;
        int overallPercent;
        const char* label;  // "Total Progress: %i%% (%i of %i)", valid until the next call
    };

    Result Refresh(uint32_t stepsDone, uint32_t steps, uint32_t objectsDone, uint32_t objectCount);

private:
    void FindObjectRange(uint32_t stepsDone, uint32_t steps);

    // stepsDone in [from_, until_) with steps_ gives objectPercent_.
    bool objectKnown_ = false;
    uint32_t steps_ = 0;
    uint32_t from_ = 0;
    uint64_t until_ = 0;
    int objectPercent_ = 0;
    // The overall percentage and label of these inputs.
    bool labelKnown_ = false;
    int labelObjectPercent_ = 0;
    uint32_t labelDone_ = 0;
    uint32_t labelCount_ = 0;
    int overallPercent_ = 0;
    char label_[96] = {};
};

}  // namespace progress
