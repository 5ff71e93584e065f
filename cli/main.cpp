// kvoexp: exports the objects of scene files into KVO files through the
// plug-in module, playing the host application's part from a terminal.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#ifdef KVOEXP_WITH_MIMALLOC
#include <mimalloc.h>

#include "cli/allocator_tuning.h"
#endif

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "cli/cli_options.h"
#include "cli/config_dir.h"
#include "cli/depfile.h"
#include "cli/export_session.h"
#include "cli/import_pool.h"
#include "cli/import_worker.h"
#include "cli/module_path.h"
#include "cli/output_plan.h"
#include "cli/preview_module.h"
#include "cli/printable_text.h"
#include "cli/progress_line.h"
#include "cli/run_outputs.h"
#include "cli/run_report.h"
#include "cli/run_summary.h"
#include "cli/scene_listing.h"
#include "cli/signals.h"
#include "cli/worker_process.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const volatile sig_atomic_t* Interrupted() {
    return &kvocli::gInterruptSignal;
}

// The program that import workers run: this one.
std::string WorkerProgram() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("/proc/self/exe") : self.string();
}

kvoscene::ImportPoolSettings PoolSettings(const kvocli::CliOptions& options) {
    kvoscene::ImportPoolSettings settings;
    settings.workerProgram = WorkerProgram();
    settings.jobs =
        options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    settings.timeoutSeconds = options.importTimeout;
    settings.memoryLimitBytes = options.importMemoryMiB < 0
                                    ? kvoscene::DefaultWorkerMemoryLimit()
                                    : static_cast<uint64_t>(options.importMemoryMiB) << 20;
    settings.import = {options.collapse, options.joinVertices};
    settings.interrupted = Interrupted();
    return settings;
}

// Takes the next imported scene from the pool, showing which one it waits
// for on a terminal and reporting a failed import.
bool NextScene(kvoscene::ImportPool& pool, const std::string& path,
               const kvocli::CliOptions& options, kvoscene::ImportedScene& imported) {
    const bool showing = !options.quiet && isatty(STDERR_FILENO);
    if (showing) {
        const std::string line =
            kvocli::FormatImportingLine(path, kvocli::TerminalColumns(STDERR_FILENO));
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
    }
    const bool available = pool.Next(imported);
    if (showing) std::fprintf(stderr, "\r\033[K");
    if (!available) return false;
    if (!imported.ok && !*Interrupted()) {
        std::fprintf(stderr, "kvoexp: %s: cannot import: %s\n", kvocli::PrintableText(path).c_str(),
                     kvocli::PrintableText(imported.error).c_str());
    }
    return imported.ok;
}

int InterruptedExit() {
    std::fprintf(stderr, "kvoexp: %s\n", kvocli::InterruptedMessage().c_str());
    return kvocli::InterruptedExitStatus();
}

int DumpScene(const kvocli::CliOptions& options) {
    kvoscene::ImportPoolSettings settings = PoolSettings(options);
    settings.jobs = 1;
    settings.keepBytes = true;
    kvoscene::ImportPool pool(settings, {options.dumpScene[0]});
    kvoscene::ImportedScene imported;
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

int ListScenes(const kvocli::CliOptions& options) {
    int status = kExitOk;
    kvoscene::ImportPool pool(PoolSettings(options), options.scenes);
    for (const std::string& path : options.scenes) {
        kvoscene::ImportedScene imported;
        if (!NextScene(pool, path, options, imported)) {
            if (*Interrupted()) return InterruptedExit();
            status = kExitFailed;
            continue;
        }
        kvocli::PrintSceneTree(stdout, path, imported.scene, options.selectGlobs);
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

int Finish(const kvocli::CliOptions& options, const std::vector<kvocli::SceneOutcome>& outcomes,
           int status) {
    if (options.reportPath.empty()) return status;
    std::string error;
    const std::string json = kvocli::RunReportJson(options, outcomes, status);
    if (!kvocli::WriteRunReport(options.reportPath, json, error)) {
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

// One output folder's plug-in lifetime over its scenes; false when the folder
// or the module could not be had. A dry run exports into `exportDir` instead.
bool ExportFolder(const kvocli::CliOptions& options, const kvocli::OutputFolder& folder,
                  const std::string& exportDir, const kvocli::ConfigDir& config,
                  kvoscene::ImportPool& pool, kvocli::RunOutputs& outputs,
                  std::vector<kvocli::SceneOutcome>& outcomes) {
    kvocli::CliOptions folderOptions = options;
    folderOptions.outputDir = folder.dir;
    if (!PrepareOutputDir(exportDir)) return false;
    kvocli::SetCleanupOutputDir(exportDir);
    outputs.BeginFolder(folder.dir);
    const bool drawProgress = !options.quiet && isatty(STDERR_FILENO);
    kvocli::ExportSession session(folderOptions, exportDir, Interrupted(), drawProgress);
    std::string error;
    if (!session.Open(kvocli::FindModulePath(options.modulePath), config.Path(), error)) {
        std::fprintf(stderr,
                     "kvoexp: error: %s\n"
                     "kvoexp: note: point --module or the environment variable KVOEXP_MODULE "
                     "at the plug-in module (kvoexp.so)\n",
                     error.c_str());
        return false;
    }
    for (const std::string& path : folder.scenes) {
        if (*Interrupted()) break;
        kvocli::SceneOutcome outcome;
        outcome.scene = path;
        kvoscene::ImportedScene imported;
        outcome.imported = NextScene(pool, path, options, imported);
        if (*Interrupted()) break;
        outcome.importSeconds = imported.seconds;
        if (!outcome.imported) outcome.importError = imported.error;
        outputs.AddInputs(path, imported.filesRead);
        if (outcome.imported) session.ExportScene(std::move(imported.scene), outcome);
        outcomes.push_back(std::move(outcome));
        if (outcomes.back().cancelled) break;
    }
    session.Close();
    kvocli::SetCleanupOutputDir("");
    if (options.check) return true;
    outputs.EndFolder(session.Written().Paths());
    if (options.preview && !*Interrupted()) {
        const kvocli::PreviewReport previews = kvocli::DrawPreviewsInModule(
            {session.Written().Files(), folder.dir, Interrupted(), drawProgress});
        for (const std::string& warning : previews.warnings) {
            std::fprintf(stderr, "kvoexp: warning: %s\n", warning.c_str());
        }
    }
    return true;
}

int ExportScenes(const kvocli::CliOptions& options) {
    std::vector<kvocli::OutputFolder> folders;
    std::string error;
    const std::string output = options.outputDir.empty() ? "." : options.outputDir;
    if (!kvocli::PlanOutputFolders(output, options.scenes, WorkingDir(), folders, error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        return kExitUsage;
    }
    DryRunDir dryRun;
    if (options.check && !dryRun.Create(error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        return kExitFailed;
    }
    kvocli::ConfigDir config;
    if (!config.Prepare(options.configDir, error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        return kExitFailed;
    }
    if (options.configDir.empty()) kvocli::SetCleanupConfigDir(config.Path());
    std::vector<kvocli::SceneOutcome> outcomes;
    kvocli::RunOutputs outputs;
    bool complete = true;
    {
        // One pool for every folder: imports run ahead across lifetimes.
        kvoscene::ImportPool pool(PoolSettings(options), kvocli::ExportOrder(folders));
        for (size_t i = 0; i < folders.size(); ++i) {
            const std::string exportDir =
                options.check ? dryRun.Path() + "/" + std::to_string(i) : folders[i].dir;
            if (!ExportFolder(options, folders[i], exportDir, config, pool, outputs, outcomes)) {
                complete = false;
                break;
            }
            if (*Interrupted() || (!outcomes.empty() && outcomes.back().cancelled)) {
                complete = false;
                break;
            }
        }
    }
    bool good = complete && kvocli::AllGood(outcomes, options.strict);
    std::vector<std::string> removed;
    if (options.prune && !options.check && good && !*Interrupted() &&
        !outputs.Prune(removed, error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        good = false;
    }
    if (!options.quiet) {
        for (const kvocli::SceneOutcome& outcome : outcomes) {
            std::printf("%s\n", kvocli::SummaryLine(outcome).c_str());
        }
        for (const std::string& path : removed) std::printf("removed stale %s\n", path.c_str());
    }
    if (*Interrupted()) return Finish(options, outcomes, InterruptedExit());
    // Named targets stand for the files written, as a compiler's -MT does.
    const std::vector<std::string> targets =
        options.depfileTargets.empty() ? outputs.Targets() : options.depfileTargets;
    if (!options.check && !options.depfile.empty() &&
        !kvocli::WriteDepfile(options.depfile, targets, outputs.Inputs(), error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        good = false;
    }
    return Finish(options, outcomes, good ? kExitOk : kExitFailed);
}

#ifdef KVOEXP_WITH_MIMALLOC
// mimalloc aborts on a failed `new` instead of calling the new handler: in an
// import worker its out-of-memory report ends the worker with the status
// the host recognises.
void OnAllocatorError(int error, void*) {
    if (error == ENOMEM) _exit(kvoscene::kWorkerOutOfMemoryStatus);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int workerStatus = 0;
#ifdef KVOEXP_WITH_MIMALLOC
    kvocli::TuneAllocator();
    if (argc > 1 && std::strcmp(argv[1], kvoscene::kImportWorkerFlag) == 0) {
        mi_register_error(OnAllocatorError, nullptr);
    }
#endif
    if (kvoscene::MaybeRunImportWorker(argc, argv, workerStatus)) return workerStatus;
    kvocli::CliOptions options;
    const kvocli::ParseOutcome parsed = kvocli::ParseCommandLine(argc, argv, options);
    if (!parsed.run) return parsed.exitCode;
    kvocli::InstallSignalHandlers();
    int status = !options.dumpScene.empty() ? DumpScene(options)
                 : options.list             ? ListScenes(options)
                                            : ExportScenes(options);
    // A listing or summary that could not be written is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "kvoexp: error: cannot write to standard output\n");
        if (status == kExitOk) status = kExitFailed;
    }
    return status;
}
