// Watches an export run from inside the message pump that
// KVOExporter::IsCancelled runs: draws the progress dialog's state on the
// terminal at most ten times a second and turns Ctrl-C into a click on the
// dialog's Cancel button. Cheap enough to run once per face and corner.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/max/max_sdk.h"

namespace kvocli {

class RunObserver {
public:
    // The line goes to `terminal` (standard error by default), fitted to its width.
    RunObserver(const volatile sig_atomic_t* interrupted, bool drawProgress,
                std::FILE* terminal = stderr)
        : interrupted_(interrupted), draw_(drawProgress), terminal_(terminal) {}

    // Before Export: the progress dialog to read and to cancel.
    void Begin(HWND dialog);
    // Inline: it runs once per face and corner, and mostly only counts.
    void Pump() {
        if ((interrupted_ != nullptr && *interrupted_) ||
            (draw_ && ++callsSinceClock_ >= kCallsPerClockRead)) {
            PumpSlow();
        }
    }
    // The scene the next runs export: its place among the invocation's scenes.
    void SetScene(unsigned number, unsigned count, const std::string& path) {
        sceneNumber_ = number;
        sceneCount_ = count;
        scenePath_ = path;
    }
    // After Export has returned: clears the progress line.
    void End();

    bool CancelClicked() const { return cancelClicked_; }
    // The dialog's overall label, "... (done of count)".
    std::string OverallLabel() const;

private:
    // Even reading the clock would cost more than everything else the pump
    // does, so it is read only every so many calls.
    static constexpr unsigned kCallsPerClockRead = 256;

    void PumpSlow();
    void Draw();
    void ClearLine();

    const volatile sig_atomic_t* interrupted_;
    bool draw_;
    std::FILE* terminal_;
    HWND dialog_ = nullptr;
    bool cancelClicked_ = false;
    bool lineShown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
    unsigned callsSinceClock_ = 0;
    unsigned sceneNumber_ = 0;
    unsigned sceneCount_ = 0;
    std::string scenePath_;
};

// Reads "(done of count)" from the dialog's overall label.
bool ParseOverallLabel(const std::string& text, uint32_t& done, uint32_t& count);

}  // namespace kvocli
