#include "export/export_run.h"

#include <cstdio>
#include <memory>
#include <string>

#include "export/geode_assembly.h"
#include "export/node_file.h"
#include "export/preprocess.h"
#include "export/record_tables.h"
#include "generators/generate_geometry.h"
#include "generators/generate_log.h"
#include "generators/generate_shader.h"
#include "kvo/kvo_geode.h"
#include "kvo/output_folder.h"

namespace exporter {

namespace {

// The dialog's status line holds at most this many bytes, the terminator included.
constexpr size_t kStatusTextSize = 512;

void OpenSideFiles(ExportContext& context) {
    const ExportOptions& options = context.Options();
    const std::string dir = context.OutputDir();
    const OutputFolder* folder = context.RunFolder();
    if (options.generateShader) context.ShaderFile().Open(OutputPath(dir, "kvoexp.shd"), folder);
    if (options.generateGeometry) {
        context.GeometryFile().Open(OutputPath(dir, "geometry.ini"), folder);
    }
    if (options.generateLog) {
        ILogger& log = context.ExportLog();
        log.Open(OutputPath(dir, "kvoexp_log.txt"), folder);
        log.Print("Output directory:  %s\n", dir.c_str());
        log.Print("Number of objects: %i\n\n", static_cast<int>(context.ObjectCount()));
    }
}

// Deletes the TriObject the conversion made for a node once the node is done.
void ReleaseCreatedObject(PreparedNode& prepared) {
    if (!prepared.createdTriObject) return;
    prepared.createdTriObject->DeleteThis();
    prepared.createdTriObject = nullptr;
    prepared.mesh = nullptr;
}

// Holds the output folder open for one run and lends it to the context: the
// run's files go into the folder it opened even if its path is renamed or
// replaced by a link meanwhile. A folder that cannot be opened is written by path.
class PinnedRunFolder {
public:
    explicit PinnedRunFolder(ExportContext& context) : context_(context) {
        std::string error;
        if (folder_.Open(context.OutputDir(), error)) context.SetRunFolder(&folder_);
    }
    ~PinnedRunFolder() { context_.SetRunFolder(nullptr); }
    PinnedRunFolder(const PinnedRunFolder&) = delete;
    PinnedRunFolder& operator=(const PinnedRunFolder&) = delete;

private:
    ExportContext& context_;
    OutputFolder folder_;
};

}  // namespace

bool ExportNode(ExportContext& context, PreparedNode& prepared, RecordTables* tables) {
    ILogger& log = context.ExportLog();
    const char* rawName = prepared.node ? prepared.node->GetName() : nullptr;
    const std::string name = rawName ? rawName : "";
    const std::string fileName = NodeFileName(name);
    const std::string path = OutputPath(context.OutputDir(), fileName);

    char status[kStatusTextSize];
    std::snprintf(status, sizeof(status), "File: %s", path.c_str());
    context.SetStatusText(status);

    log.Print("Exporting object '%s'...\n", name.c_str());
    context.BeginObject(prepared.faceCount);

    bool saved;
    {
        KvoGeode geode(path);
        saved = BuildGeode(context, geode, prepared, tables);
    }
    ReleaseCreatedObject(prepared);
    if (!saved) {
        log.Print("Node '%s' export canceled\n", name.c_str());
        return false;
    }
    log.Print("\tSuccessfully created KVO '%s'.\n\n", path.c_str());
    if (context.Options().generateGeometry) context.GeometryFile().AddObject(name, fileName);
    return true;
}

bool ExportNodes(ExportContext& context) {
    PreparedNodeList& nodes = context.PreparedNodes();
    // One set for every node of the run: the owner's, kept between runs, or our own.
    std::unique_ptr<RecordTables> own;
    RecordTables* tables = context.KeptTables();
    if (tables == nullptr) tables = (own = std::make_unique<RecordTables>()).get();
    // By index: a Cancel never releases the list while the loop runs, but it may be read anew.
    for (size_t i = 0; i < nodes.size(); ++i) {
        PreparedNode& prepared = *nodes[i];
        if (context.IsCancelled() || context.HostCancelFlag()) {
            const char* name = prepared.node ? prepared.node->GetName() : "";
            context.ExportLog().Print("Node '%s' export canceled\n", name ? name : "");
            break;
        }
        if (ExportNode(context, prepared, tables)) context.NextObject();
    }
    tables->Reset(KvoGeode::kMaxGeobs, KvoGeode::kMaxMaterials);  // the next run starts on defaults
    return context.IsRunning();
}

void DoExport(ExportContext& context, HWND panel) {
    context.SetRunning(true);
    Preprocess(context);
    // The panel was closed meanwhile, which cancelled the run: there is no page
    // to check the path on and no one to show a message to.
    if (panel != nullptr && !IsWindow(panel)) {
        ReleaseNodes(context);
        context.SetRunning(false);
        return;
    }

    if (!context.CheckOutputDir(panel)) {
        context.ShowError(panel, "Please specify valid output path!");
        context.SetRunning(false);
        return;
    }
    if (context.ObjectCount() == 0) {
        context.ShowError(panel, "Please select objects to export!");
        context.SetRunning(false);
        return;
    }

    const PinnedRunFolder folder(context);
    OpenSideFiles(context);
    context.ShowProgress();

    if (ExportNodes(context)) {
        context.SaveSettings();
        context.FinishProgress("Done!");  // also releases the prepared nodes
    } else {
        // The Cancel button has finished the dialog already; the loop is over now.
        ReleaseNodes(context);
    }
}

}  // namespace exporter
