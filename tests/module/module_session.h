// A host session around the loaded plug-in module: a scratch configuration
// and output directory, a scene, the host interface, and the panel's
// controls clicked and read as a user and the host would.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hostdrive/module_loader.h"
#include "hostdrive/panel_driver.h"
#include "platform/max/host_scene.h"
#include "plugin/resource.h"
#include "tests/support/scratch_dir.h"

// The option boxes in the order of the settings file's flag lines (2 to 9).
constexpr int kBoxesInFileOrder[] = {IDC_LOCALIZE,          IDC_OPTIMIZE,      IDC_NORMALS,
                                     IDC_UP_NORMALS,        IDC_VERTEX_COLORS, IDC_GENERATE_SHADER,
                                     IDC_GENERATE_GEOMETRY, IDC_GENERATE_LOG};

class ModuleSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loading.
    void LoadModule();
    void UnloadModule();

    // The panel, opened and closed through hostdrive's panel driver.
    void OpenPanel();
    void ClosePanel();
    bool PanelOpen() const { return panel.IsOpen(); }
    HWND Page(int templateId);
    HWND Control(int templateId, int id);
    void Click(int templateId, int id);
    void ClickOption(int id) { Click(IDD_OPTIONS, id); }
    void ClickExport() { Click(IDD_OUTPUT, IDC_EXPORT); }
    void TypeOutputDir(const std::string& text);
    std::string OutputDirText();
    bool Checked(int id);
    bool Enabled(int id);
    // The progress dialog the runs use: the one the About page owns.
    HWND ProgressDialog();
    std::string DialogText(HWND dialog, int id);

    // A scripted message pump: called each time the plug-in lets the host
    // dispatch messages, with the number of the call (from 1).
    void SetPump(std::function<void(int call)> pump);
    int PumpCalls() const { return pumpCalls_; }

    // Files.
    std::string ConfigFile() const;
    void WriteSettings(const std::string& dir, const std::string& flags);  // flags: "01100000"
    std::vector<std::string> SettingsLines() const;
    std::string Out(const std::string& name) const;  // a path in the output directory
    static std::string ReadFile(const std::string& path);
    static int CountOf(const std::string& text, const std::string& what);

    // Scene: a selected (or not) two-triangle quad under the root.
    INode* AddQuad(const std::string& name, bool selected = true);

    testsupport::ScratchDir scratchDir{"kvoexp_module"};
    std::filesystem::path scratch = scratchDir.Root();
    std::string outputDir;  // an existing directory
    HostScene scene;
    Interface host;
    hostdrive::PanelDriver panel{host};
    std::unique_ptr<hostdrive::PluginModule> module;

private:
    int pumpCalls_ = 0;
    std::function<void(int)> pump_;
};

// Whether the module at `path` is still mapped into the process.
bool ModuleIsResident(const std::string& path);
