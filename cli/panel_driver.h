// Drives the plug-in's panel as a user would: types the output directory,
// clicks check boxes whose state differs, presses Export.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "platform/max/max_sdk.h"

namespace kvocli {

// Control ids of the panel and of the progress dialog.
namespace ids {
constexpr int kOutputDirEdit = 1069;
constexpr int kExportButton = 1066;
constexpr int kStatusLine = 1074;
constexpr int kDetailsLine = 1075;
constexpr int kOverallLabel = 1073;
constexpr int kOverallBar = 1072;
constexpr int kProgressButton = 1081;
}  // namespace ids

class PanelDriver {
public:
    explicit PanelDriver(Interface& ip) : ip_(ip) {}

    // Finds the pages titled "Valdrin KVO Exporter" and "Options" that
    // BeginEditParams added; false (with a message) when one is missing.
    bool FindPages(std::string& error);
    // Sets each requested check box by clicking it when its state differs;
    // returns the labels of boxes that would not take the state.
    std::vector<std::string> ApplyChecks(const std::array<int, kCheckBoxCount>& checks);
    void SetOutputDir(const std::string& dir);
    void PressExport();
    // The progress dialog that runs show: the last one registered and alive.
    HWND ProgressDialog() const;

private:
    bool Checked(int id) const;
    void Click(int id);

    Interface& ip_;
    HWND outputPage_ = nullptr;
    HWND optionsPage_ = nullptr;
};

std::string WindowText(HWND window);

}  // namespace kvocli
