// The one utility object: the panel, the settings, the progress dialog and
// the export operations. Panel, settings, progress and export each live in
// their own source file; the export bodies hand off to export/.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "export/export_context.h"
#include "export/export_options.h"
#include "export/prepared_node.h"
#include "generators/generate_geometry.h"
#include "generators/generate_log.h"
#include "generators/generate_shader.h"
#include "kvo/kvo_geode.h"
#include "platform/max/max_sdk.h"
#include "platform/win32/win32_api.h"
#include "plugin/progress_memo.h"

class KVOExporter : public UtilityObj, public ExportContext {
public:
    static constexpr int kOutputDirSize = 261;

    KVOExporter();
    ~KVOExporter() override;

    // Utility protocol (kvo_exporter_panel.cpp).
    void BeginEditParams(Interface* ip, IUtil* iu) override;
    void EndEditParams(Interface* ip, IUtil* iu) override;
    void SelectionSetChanged(Interface* ip, IUtil* iu) override;
    void DeleteThis() override;
    void SetStartupParam(CStr param) override;

    // Panel (kvo_exporter_panel.cpp).
    static INT_PTR CALLBACK PanelDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
    void InitPage(HWND page);
    void OptionClicked(HWND page, int id);
    bool CheckOutputDir(HWND page) override;
    void BrowseOutputDir(HWND page);

    // Settings file (kvo_exporter_settings.cpp).
    FILE* GetSettingsFile(const char* mode);
    void ReadSettings();
    void SaveSettings() override;
    ExportOptions& GetOptions() { return options; }

    // Progress dialog and cancellation (kvo_exporter_progress.cpp).
    static INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    void CreateProgressDialog(HWND owner);
    void ShowProgress() override;
    void SetDetailText(const char* text) override;
    void BeginObject(uint32_t faceCount) override;
    void StepProgress(uint32_t steps) override;
    void NextObject() override;
    void RefreshProgress();
    bool IsCancelled() override;
    void FinishProgress(const char* message) override;
    void CancelExport();
    void DestroyProgressDialog();
    // Destroys the hidden progress dialog that a page created, when the window
    // system has not already done so with its owner (Windows owns pop-ups by the
    // top-level window, not by the page).
    void DestroyPageProgressDialog(HWND page);

    // Export run (kvo_exporter_export.cpp, handing off to export/): the
    // operations the panel and the progress dialog call.
    void DoExport(HWND panel);
    void ReleaseNodes();

    // ExportContext (kvo_exporter.cpp).
    const ExportOptions& Options() const override { return options; }
    const char* OutputDir() const override { return outputDir; }
    ILogger& ExportLog() override { return exportLog; }
    GenerateShader& ShaderFile() override { return shaderFile; }
    GenerateGeometry& GeometryFile() override { return geometryFile; }
    INode* SceneRoot() override;
    bool HostCancelFlag() override;
    bool IsRunning() const override { return running; }
    void SetRunning(bool value) override { running = value; }
    PreparedNodeList& PreparedNodes() override { return preparedNodes; }
    uint32_t& ObjectCount() override { return objectCount; }
    uint32_t& ObjectsDone() override { return objectsDone; }
    exporter::RecordTables* KeptTables() override;
    const OutputFolder* RunFolder() const override { return runFolder; }
    void SetRunFolder(const OutputFolder* folder) override { runFolder = folder; }
    void ShowError(HWND owner, const char* text) override;
    void SetStatusText(const char* text) override;
    uint32_t ObjectExtraSteps() const override { return objectExtraSteps; }

    IUtil* iu = nullptr;
    Interface* ip = nullptr;
    HWND hOutputPage = nullptr;
    HWND hOptionsPage = nullptr;
    HWND hAboutPage = nullptr;
    HWND hProgressDlg = nullptr;
    HWND hObjectBar = nullptr;
    HWND hStatusText = nullptr;
    HWND hOverallBar = nullptr;
    HWND hOverallText = nullptr;
    bool running = false;
    char* outputDir = nullptr;
    const OutputFolder* runFolder = nullptr;  // held open by the export run, while it runs
    PreparedNodeList preparedNodes;
    uint32_t objectCount = 0;
    uint32_t objectsDone = 0;
    uint32_t objectSteps = 0;
    uint32_t objectExtraSteps = 0;
    uint32_t objectStepsDone = 0;
    ExportOptions options;
    GenerateShader shaderFile;
    GenerateGeometry geometryFile;
    GenerateLog exportLog;

private:
    // Made by the first run, kept for the plug-in's lifetime.
    std::unique_ptr<exporter::RecordTables> keptTables_;
    // The progress dialog each page created, by page, until the page goes.
    std::vector<std::pair<HWND, HWND>> pageProgressDialogs_;
    progress::ProgressMemo progressMemo_;
};

// The module's one utility object (module_objects.cpp).
extern KVOExporter theKVOExporter;
