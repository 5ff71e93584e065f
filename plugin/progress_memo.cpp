#include "plugin/progress_memo.h"

#include <charconv>
#include <climits>
#include <cstddef>

namespace progress {

namespace {

// "Total Progress: %i%% (%i of %i)" as snprintf would write it.
void FormatOverallLabel(char* out, size_t size, int percent, int done, int count) {
    char* at = out;
    char* const end = out + size - 1;  // room for the terminator
    const auto text = [&](const char* s) {
        for (; *s != '\0' && at < end; ++s) *at++ = *s;
    };
    const auto number = [&](int value) {
        char digits[16];
        const auto written = std::to_chars(digits, digits + sizeof digits, value);
        for (const char* d = digits; d < written.ptr && at < end; ++d) *at++ = *d;
    };
    text("Total Progress: ");
    number(percent);
    text("% (");
    number(done);
    text(" of ");
    number(count);
    text(")");
    *at = '\0';
}

constexpr uint64_t kPastLast = uint64_t{UINT32_MAX} + 1;

}  // namespace

int Percentage(uint32_t done, uint32_t total) {
    if (total == 0) return 0;
    const double quotient = static_cast<double>(done) / static_cast<double>(total);
    const double percent = quotient * 100.0;
    if (percent >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(percent);
}

// Percentage is monotonic in `done` (each rounding step is), so the steps that
// give the same percentage form one range; its end is found from the exact
// threshold and corrected by evaluating the formula itself.
void ProgressMemo::FindObjectRange(uint32_t stepsDone, uint32_t steps) {
    const int p = Percentage(stepsDone, steps);
    objectKnown_ = true;
    steps_ = steps;
    from_ = stepsDone;
    objectPercent_ = p;
    if (steps == 0 || p == INT_MAX) {
        until_ = kPastLast;
        return;
    }
    // The first count whose exact percentage passes p: ceil((p + 1) x steps / 100).
    const uint64_t exact = ((static_cast<uint64_t>(p) + 1) * steps + 99) / 100;
    uint64_t until = exact > stepsDone ? exact : uint64_t{stepsDone} + 1;
    while (until > uint64_t{stepsDone} + 1 &&
           Percentage(static_cast<uint32_t>(until - 1), steps) > p) {
        --until;
    }
    while (until < kPastLast && Percentage(static_cast<uint32_t>(until), steps) <= p) ++until;
    until_ = until;
}

ProgressMemo::Result ProgressMemo::Refresh(uint32_t stepsDone, uint32_t steps, uint32_t objectsDone,
                                           uint32_t objectCount) {
    if (!objectKnown_ || steps != steps_ || stepsDone < from_ || stepsDone >= until_) {
        FindObjectRange(stepsDone, steps);
    }
    if (!labelKnown_ || objectPercent_ != labelObjectPercent_ || objectsDone != labelDone_ ||
        objectCount != labelCount_) {
        long long overall = Percentage(objectsDone, objectCount);
        if (objectCount != 0) overall += static_cast<uint32_t>(objectPercent_) / objectCount;
        overallPercent_ = overall > INT_MAX ? INT_MAX : static_cast<int>(overall);
        FormatOverallLabel(label_, sizeof label_, overallPercent_, static_cast<int>(objectsDone),
                           static_cast<int>(objectCount));
        labelKnown_ = true;
        labelObjectPercent_ = objectPercent_;
        labelDone_ = objectsDone;
        labelCount_ = objectCount;
    }
    return Result{objectPercent_, overallPercent_, label_};
}

}  // namespace progress
