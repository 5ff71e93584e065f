// Watches one export run through the progress dialog, from inside the message
// pump that KVOExporter::IsCancelled runs: draws the dialog's state on the
// terminal, turns Ctrl-C into a click on its Cancel button, and tells which
// nodes the plug-in reported as written.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/max/max_sdk.h"

namespace kvocli {

struct ExpectedNode {
    std::string name;
    std::string path;  // the .kvo file the plug-in writes for it
    bool written = false;
};

class RunObserver {
public:
    RunObserver(const volatile sig_atomic_t* interrupted, bool drawProgress)
        : interrupted_(interrupted), draw_(drawProgress) {}

    // Before Export: the selected geometry nodes in scene order and the
    // progress dialog to read.
    void Begin(HWND dialog, std::vector<ExpectedNode> nodes);
    // The message pump's work; cheap enough to run once per face.
    void Pump();
    // After Export has returned.
    void End();

    const std::vector<ExpectedNode>& Nodes() const { return nodes_; }
    uint32_t Exported() const { return done_; }
    bool CancelClicked() const { return cancelClicked_; }

private:
    void CloseSpan();
    void Draw(bool force);
    void ClearLine();

    const volatile sig_atomic_t* interrupted_;
    bool draw_;
    HWND dialog_ = nullptr;
    HWND status_ = nullptr;
    HWND details_ = nullptr;
    HWND label_ = nullptr;
    HWND bar_ = nullptr;
    HWND button_ = nullptr;
    std::vector<ExpectedNode> nodes_;
    std::string spanPath_;  // the file of the node in progress
    bool inSpan_ = false;
    uint32_t done_ = 0;     // nodes counted as finished so far
    uint32_t surplus_ = 0;  // finished nodes not yet matched to a file
    bool cancelClicked_ = false;
    bool lineShown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

// Reads "(done of count)" from the dialog's overall label.
bool ParseOverallLabel(const std::string& text, uint32_t& done, uint32_t& count);

}  // namespace kvocli
