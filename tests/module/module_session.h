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

#include "platform/max/max_sdk.h"
#include "tests/module/plugin_module.h"

// Template ids of the three rollup pages and the progress dialog.
constexpr int kOutputPage = 1005;
constexpr int kOptionsPage = 1004;
constexpr int kAboutPage = 1006;
constexpr int kProgressDialog = 112;

// Control ids of the pages and of the progress dialog.
constexpr int kExportButton = 1066;
constexpr int kOutputDirEdit = 1069;
constexpr int kBrowseButton = 1070;
constexpr int kLocalizeBox = 1075;
constexpr int kNormalsBox = 1076;
constexpr int kUpNormalsBox = 1077;
constexpr int kOptimizeBox = 1078;
constexpr int kVertexColorsBox = 1081;
constexpr int kShaderBox = 1082;
constexpr int kLogBox = 1083;
constexpr int kGeometryBox = 1085;
constexpr int kStatusLine = 1074;
constexpr int kDetailsLine = 1075;
constexpr int kCancelCloseButton = 1081;

// The option boxes in the order of the settings file's flag lines (2 to 9).
constexpr int kBoxesInFileOrder[] = {kLocalizeBox,     kOptimizeBox, kNormalsBox,  kUpNormalsBox,
                                     kVertexColorsBox, kShaderBox,   kGeometryBox, kLogBox};

class ModuleSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loading and the utility object.
    void LoadModule();
    void UnloadModule();
    UtilityObj* Utility();

    // The panel.
    void OpenPanel();
    void ClosePanel();
    bool PanelOpen() const { return panelOpen_; }
    HWND Page(int templateId);
    HWND Control(int templateId, int id);
    void Click(int templateId, int id);
    void ClickOption(int id) { Click(kOptionsPage, id); }
    void ClickExport() { Click(kOutputPage, kExportButton); }
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

    std::filesystem::path scratch;
    std::string outputDir;  // an existing directory
    HostScene scene;
    Interface host;
    IUtil util;
    std::unique_ptr<PluginModule> module;

private:
    bool panelOpen_ = false;
    int pumpCalls_ = 0;
    std::function<void(int)> pump_;
};
