// The console host's run over its parsed options: the scene dump, the
// listing, or the export of every scene into its output folder.
#include "cli/program/program.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "cli/checks/printable_text.h"
#include "cli/checks/unique_names.h"
#include "cli/import/import_pool.h"
#include "cli/import/worker_process.h"
#include "cli/outputs/created_folders.h"
#include "cli/outputs/depfile.h"
#include "cli/outputs/folder_lock.h"
#include "cli/outputs/output_plan.h"
#include "cli/outputs/run_outputs.h"
#include "cli/outputs/side_file_check.h"
#include "cli/preview/preview_module.h"
#include "cli/program/config_dir.h"
#include "cli/program/export_session.h"
#include "cli/program/module_path.h"
#include "cli/program/progress_line.h"
#include "cli/program/run_report.h"
#include "cli/program/run_summary.h"
#include "cli/program/scene_listing.h"
#include "cli/program/script_output.h"
#include "cli/program/signals.h"
#include "export/node_file.h"

namespace kvocli {
namespace {

const volatile sig_atomic_t* Interrupted() {
    return &gInterruptSignal;
}

// The import program, installed beside this one.
std::string WorkerProgram() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (ec ? std::filesystem::path("kvoexp-import") : self.parent_path() / "kvoexp-import")
        .string();
}

kvoimport::ImportPoolSettings PoolSettings(const CliOptions& options) {
    kvoimport::ImportPoolSettings settings;
    settings.workerProgram = WorkerProgram();
    settings.jobs =
        options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    settings.timeoutSeconds = options.importTimeout;
    settings.memoryLimitBytes = options.importMemoryMiB < 0
                                    ? kvoimport::DefaultWorkerMemoryLimit()
                                    : static_cast<uint64_t>(options.importMemoryMiB) << 20;
    settings.import = {options.collapse, options.joinVertices, options.textures.copy,
                       options.frame};
    settings.interrupted = Interrupted();
    return settings;
}

// Takes the next imported scene from the pool, showing which one it waits
// for on a terminal and reporting a failed import.
bool NextScene(kvoimport::ImportPool& pool, const std::string& path, const CliOptions& options,
               kvoimport::ImportedScene& imported) {
    const bool showing = !options.quiet && isatty(STDERR_FILENO);
    if (showing) {
        const std::string line = FormatImportingLine(path, TerminalColumns(STDERR_FILENO));
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
    }
    const bool available = pool.Next(imported);
    if (showing) std::fprintf(stderr, "\r\033[K");
    if (!available) return false;
    if (!imported.ok && !*Interrupted()) {
        std::fprintf(stderr, "kvoexp: %s: cannot import: %s\n",
                     kvochecks::PrintableText(path).c_str(),
                     kvochecks::PrintableText(imported.error).c_str());
    }
    return imported.ok;
}

int InterruptedExit() {
    std::fprintf(stderr, "kvoexp: %s\n", InterruptedMessage().c_str());
    return InterruptedExitStatus();
}

int DumpScene(const CliOptions& options) {
    kvoimport::ImportPoolSettings settings = PoolSettings(options);
    settings.jobs = 1;
    settings.keepBytes = true;
    kvoimport::ImportPool pool(settings, {options.dumpScene[0]});
    kvoimport::ImportedScene imported;
    if (!NextScene(pool, options.dumpScene[0], options, imported)) {
        return *Interrupted() ? InterruptedExit() : kExitFailed;
    }
    std::ofstream out(options.dumpScene[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(imported.bytes.data()),
              static_cast<std::streamsize>(imported.bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "kvoexp: error: cannot write %s\n", options.dumpScene[1].c_str());
        return kExitFailed;
    }
    return kExitOk;
}

int ListScenes(const CliOptions& options) {
    int status = kExitOk;
    kvoimport::ImportPool pool(PoolSettings(options), options.scenes);
    for (const std::string& path : options.scenes) {
        kvoimport::ImportedScene imported;
        if (!NextScene(pool, path, options, imported)) {
            if (*Interrupted()) return InterruptedExit();
            status = kExitFailed;
            continue;
        }
        std::vector<std::string> givenNames;
        for (const kvoscene::Node& node : imported.scene.nodes) givenNames.push_back(node.name);
        // The export's own renaming of clashing file names, shown in the marks.
        kvochecks::MakeFileNamesUnique(imported.scene, options.selectGlobs);
        PrintSceneTree(stdout, path, imported.scene, givenNames, options.selectGlobs);
    }
    return status;
}

// The directory a dry run exports into, removed with everything in it.
class DryRunDir {
public:
    ~DryRunDir() {
        if (path_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    bool Create(std::string& error) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kvoexp-check-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            error = "cannot create a directory for the dry run in " + pattern + ": " +
                    std::strerror(errno);
            return false;
        }
        path_ = pattern;
        return true;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

bool PrepareOutputDir(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!ec && std::filesystem::is_directory(dir)) return true;
    std::fprintf(stderr, "kvoexp: error: cannot create the output directory %s%s%s\n", dir.c_str(),
                 ec ? ": " : "", ec ? ec.message().c_str() : "");
    return false;
}

int Finish(const CliOptions& options, const std::vector<SceneOutcome>& outcomes, int status) {
    if (options.reportPath.empty()) return status;
    std::string error;
    const std::string json = RunReportJson(options, outcomes, status);
    if (!WriteRunReport(options.reportPath, json, error)) {
        std::fprintf(stderr, "kvoexp: error: cannot write the report %s\n", error.c_str());
        return kExitFailed;
    }
    return status;
}

std::string WorkingDir() {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string(".") : cwd.string();
}

// The side files of a closed lifetime, each problem an error naming the file.
bool CheckSideFiles(const std::string& shownDir, const std::string& exportDir,
                    const ExportSession& session) {
    const kvooutputs::SideFileCheck check{
        exportDir,
        {session.SideFilesAsked().begin(), session.SideFilesAsked().end()},
        session.Written().Paths()};
    const std::vector<std::string> problems = kvooutputs::CheckSideFiles(check);
    for (const std::string& problem : problems) {
        std::fprintf(stderr, "kvoexp: error: %s\n",
                     kvochecks::PrintableText(exporter::OutputPath(shownDir, problem)).c_str());
    }
    return problems.empty();
}

// One output folder's plug-in lifetime over its scenes; false when the folder
// or the module could not be had. A dry run exports into `exportDir` instead.
bool ExportFolder(const CliOptions& options, const kvooutputs::OutputFolder& folder,
                  const std::string& exportDir, const ConfigDir& config,
                  kvoimport::ImportPool& pool, kvooutputs::RunOutputs& outputs,
                  std::vector<SceneOutcome>& outcomes, bool& sideFilesGood,
                  kvooutputs::FolderLocks& locks) {
    const unsigned sceneCount = static_cast<unsigned>(options.scenes.size());
    CliOptions folderOptions = options;
    folderOptions.outputDir = folder.dir;
    std::string error;
    const std::vector<std::string> created =
        options.check ? std::vector<std::string>() : kvooutputs::MissingFolders(exportDir);
    if (!PrepareOutputDir(exportDir)) return false;
    if (!options.check && !locks.Lock(exportDir, error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", kvochecks::PrintableText(error).c_str());
        return false;
    }
    SetCleanupOutputDir(exportDir);
    outputs.BeginFolder(folder.dir);
    const bool drawProgress = !options.quiet && isatty(STDERR_FILENO);
    ExportSession session(folderOptions, exportDir, Interrupted(), drawProgress);
    if (!session.Open(FindModulePath(options.modulePath), config.Path(), error)) {
        std::fprintf(stderr,
                     "kvoexp: error: %s\n"
                     "kvoexp: note: point --module or the environment variable KVOEXP_MODULE "
                     "at the plug-in module (kvoexp.so)\n",
                     error.c_str());
        return false;
    }
    std::map<std::string, std::string> textureFiles;  // for the pictures
    for (const std::string& path : folder.scenes) {
        if (*Interrupted()) break;
        SceneOutcome outcome;
        outcome.scene = path;
        kvoimport::ImportedScene imported;
        outcome.imported = NextScene(pool, path, options, imported);
        if (*Interrupted()) break;
        outcome.importSeconds = imported.seconds;
        if (!outcome.imported) outcome.importError = imported.error;
        outputs.AddInputs(path, imported.filesRead);
        session.NumberScene(static_cast<unsigned>(outcomes.size()) + 1, sceneCount, path);
        outcome.frame = imported.scene.frame;
        if (outcome.imported) {
            session.ExportScene(std::move(imported.scene), outcome, imported.embeddedImages);
            outputs.AddInputs(path, outcome.textures.files);
            for (const kvooutputs::TextureCopy& copy : outcome.textures.copies) {
                outputs.AddTarget(copy.file);
            }
            textureFiles.insert(outcome.textures.found.begin(), outcome.textures.found.end());
        }
        outcomes.push_back(std::move(outcome));
        if (!options.quiet) PrintSummary(options, outcomes.back());
        if (outcomes.back().cancelled) break;
    }
    session.Close();
    SetCleanupOutputDir("");
    if (!*Interrupted() && !session.FolderMoved()) {
        sideFilesGood = CheckSideFiles(folder.dir, exportDir, session);
    }
    if (!created.empty() && session.Written().Files().empty() && session.SideFilesAsked().empty()) {
        locks.Release(exportDir);
        kvooutputs::RemoveEmptyFolders(created);
    }
    if (options.check) return true;
    outputs.EndFolder(session.Written().Paths());
    if (options.preview && !*Interrupted()) {
        kvopreview::PreviewRequest request;
        request.files = session.Written().Files();
        request.outputDir = folder.dir;
        request.interrupted = Interrupted();
        request.showProgress = drawProgress;
        request.texturePaths = options.textures.paths;
        request.textureFiles = std::move(textureFiles);
        const kvopreview::PreviewReport previews = kvopreview::DrawPreviewsInModule(request);
        for (const std::string& warning : previews.warnings) {
            std::fprintf(stderr, "kvoexp: warning: %s\n", warning.c_str());
        }
    }
    return true;
}

int ExportScenes(const CliOptions& options) {
    std::vector<kvooutputs::OutputFolder> folders;
    std::string error;
    const std::string output = options.outputDir.empty() ? "." : options.outputDir;
    if (!kvooutputs::PlanOutputFolders(output, options.scenes, WorkingDir(), folders, error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        return kExitUsage;
    }
    DryRunDir dryRun;
    if (options.check && !dryRun.Create(error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        return kExitFailed;
    }
    ConfigDir config;
    if (!config.Prepare(options.configDir, error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        return kExitFailed;
    }
    if (options.configDir.empty()) SetCleanupConfigDir(config.Path());
    std::vector<SceneOutcome> outcomes;
    kvooutputs::RunOutputs outputs;
    bool complete = true;
    bool sideFilesGood = true;
    kvooutputs::FolderLocks locks;  // held until the invocation's end
    {
        // One pool for every folder: imports run ahead across lifetimes.
        kvoimport::ImportPool pool(PoolSettings(options), kvooutputs::ExportOrder(folders));
        for (size_t i = 0; i < folders.size(); ++i) {
            const std::string exportDir =
                options.check ? dryRun.Path() + "/" + std::to_string(i) : folders[i].dir;
            bool folderSideFilesGood = true;
            const bool exported = ExportFolder(options, folders[i], exportDir, config, pool,
                                               outputs, outcomes, folderSideFilesGood, locks);
            sideFilesGood = sideFilesGood && folderSideFilesGood;
            if (!exported) {
                complete = false;
                break;
            }
            if (*Interrupted() || (!outcomes.empty() && outcomes.back().cancelled)) {
                complete = false;
                break;
            }
        }
    }
    bool good = complete && sideFilesGood && AllGood(outcomes, options.strict) &&
                !AnyErrorWarning(outcomes, options.warningPolicy);
    std::vector<std::string> removed;
    if (options.prune && !options.check && good && !*Interrupted() &&
        !outputs.Prune(removed, error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        good = false;
    }
    if (!options.quiet) PrintRemoved(options, removed);
    if (*Interrupted()) return Finish(options, outcomes, InterruptedExit());
    // Named targets stand for the files written, as a compiler's -MT does.
    const std::vector<std::string> targets =
        options.depfileTargets.empty() ? outputs.Targets() : options.depfileTargets;
    if (!options.check && !options.depfile.empty() &&
        !kvooutputs::WriteDepfile(options.depfile, targets, outputs.Inputs(), error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        good = false;
    }
    return Finish(options, outcomes, good ? kExitOk : kExitFailed);
}

}  // namespace

int RunProgram(const CliOptions& options) {
    return !options.dumpScene.empty() ? DumpScene(options)
           : options.list             ? ListScenes(options)
                                      : ExportScenes(options);
}

}  // namespace kvocli
