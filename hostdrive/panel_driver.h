// Opens the plug-in's panel and drives it as a user would: finds its pages,
// types the output directory, clicks the check boxes whose state differs
// (Up Normals through Normals when that is needed), presses Export.
#pragma once

#include <string>
#include <vector>

#include "hostdrive/check_boxes.h"
#include "hostdrive/module_loader.h"
#include "platform/max/max_sdk.h"

namespace hostdrive {

class PanelDriver {
public:
    explicit PanelDriver(Interface& ip) : ip_(ip) {}
    ~PanelDriver() { Close(); }
    PanelDriver(const PanelDriver&) = delete;
    PanelDriver& operator=(const PanelDriver&) = delete;

    // Creates the utility through the module's first class descriptor and
    // opens its panel (BeginEditParams); false with a message when the module
    // offers no utility or the panel lacks one of its three pages.
    bool Open(const PluginModule& module, std::string& error);
    // The same after pointing the host's plug-in configuration directory (where
    // the panel reads and writes its settings file) at `configDir`.
    bool Open(const PluginModule& module, const std::string& configDir, std::string& error);
    // Closes the panel (EndEditParams) and deletes the utility.
    void Close();
    bool IsOpen() const { return utility_ != nullptr; }

    // The rollup page made from a dialog template (IDD_OUTPUT...), or null.
    HWND Page(int templateId) const;
    HWND OutputPage() const { return outputPage_; }
    HWND OptionsPage() const { return optionsPage_; }
    HWND AboutPage() const { return aboutPage_; }

    void Click(HWND page, int id);
    bool Checked(int id) const;
    bool Enabled(int id) const;
    // Sets each requested box by clicking it when its state differs; returns
    // the labels of boxes that would not take the state.
    std::vector<std::string> ApplyChecks(const CheckStates& states);
    void SetOutputDir(const std::string& dir);
    // Returns when the export run is over: the click is handled synchronously.
    void PressExport();
    // The progress dialog that runs show: the last one registered and alive.
    HWND ProgressDialog() const;

private:
    Interface& ip_;
    IUtil iu_;
    UtilityObj* utility_ = nullptr;
    HWND outputPage_ = nullptr;
    HWND optionsPage_ = nullptr;
    HWND aboutPage_ = nullptr;
};

// A window's text, "" for none.
std::string WindowText(HWND window);
std::string DlgItemText(HWND dialog, int id);

}  // namespace hostdrive
