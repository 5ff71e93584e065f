// What the export pipeline sees of the exporter: options, output directory,
// side files, the host scene, the run flag, progress and cancellation.
// The plug-in's exporter implements it; tests implement it with fakes.
#pragma once

#include <cstdint>

#include "export/export_options.h"
#include "export/prepared_node.h"
#include "platform/win32/win32_api.h"

class ILogger;
class GenerateShader;
class GenerateGeometry;
class INode;
class OutputFolder;
namespace exporter {
class RecordTables;
}

class ExportContext {
public:
    virtual ~ExportContext() = default;

    virtual const ExportOptions& Options() const = 0;
    virtual const char* OutputDir() const = 0;
    virtual ILogger& ExportLog() = 0;
    virtual GenerateShader& ShaderFile() = 0;
    virtual GenerateGeometry& GeometryFile() = 0;

    // Host scene; null / false when the panel is closed.
    virtual INode* SceneRoot() = 0;
    virtual bool HostCancelFlag() = 0;

    // Run state owned by the exporter.
    virtual bool IsRunning() const = 0;
    virtual void SetRunning(bool running) = 0;
    virtual PreparedNodeList& PreparedNodes() = 0;
    virtual uint32_t& ObjectCount() = 0;
    virtual uint32_t& ObjectsDone() = 0;
    // The record tables the owner keeps between runs; null: each run makes its own.
    virtual exporter::RecordTables* KeptTables() { return nullptr; }
    // The output folder a run holds open and writes its files through; null
    // (the default, and outside a run) writes them by path.
    virtual const OutputFolder* RunFolder() const { return nullptr; }
    virtual void SetRunFolder(const OutputFolder* /*folder*/) {}

    // Panel: the output-path check, error boxes, settings.
    virtual bool CheckOutputDir(HWND panel) = 0;
    virtual void ShowError(HWND owner, const char* text) = 0;  // message box captioned "Error"
    virtual void SaveSettings() = 0;

    // Progress dialog and cancellation.
    virtual bool IsCancelled() = 0;
    virtual void SetDetailText(const char* text) = 0;
    virtual void SetStatusText(const char* text) = 0;  // the dialog's status line
    virtual void ShowProgress() = 0;
    virtual void BeginObject(uint32_t faceCount) = 0;
    virtual void StepProgress(uint32_t steps) = 0;
    virtual uint32_t ObjectExtraSteps() const = 0;
    virtual void NextObject() = 0;
    virtual void FinishProgress(const char* message) = 0;  // also releases nodes when done
};
