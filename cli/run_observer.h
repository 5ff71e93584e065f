// Watches an export run from inside the message pump that
// KVOExporter::IsCancelled runs: draws the progress dialog's state on the
// terminal at most ten times a second and turns Ctrl-C into a click on the
// dialog's Cancel button. Cheap enough to run once per face.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <string>

#include "platform/max/max_sdk.h"

namespace kvocli {

class RunObserver {
public:
    RunObserver(const volatile sig_atomic_t* interrupted, bool drawProgress)
        : interrupted_(interrupted), draw_(drawProgress) {}

    // Before Export: the progress dialog to read and to cancel.
    void Begin(HWND dialog);
    void Pump();
    // After Export has returned: clears the progress line.
    void End();

    bool CancelClicked() const { return cancelClicked_; }
    // The dialog's overall label, "... (done of count)".
    std::string OverallLabel() const;

private:
    void Draw();
    void ClearLine();

    const volatile sig_atomic_t* interrupted_;
    bool draw_;
    HWND dialog_ = nullptr;
    bool cancelClicked_ = false;
    bool lineShown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
    unsigned callsSinceClock_ = 0;  // the clock is read every kCallsPerClockRead calls
};

// Reads "(done of count)" from the dialog's overall label.
bool ParseOverallLabel(const std::string& text, uint32_t& done, uint32_t& count);

}  // namespace kvocli
