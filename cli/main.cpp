// kvoexp: exports the objects of scene files into KVO files through the
// plug-in module, playing the host application's part from a terminal.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cli/child_import.h"
#include "cli/cli_options.h"
#include "cli/config_dir.h"
#include "cli/export_session.h"
#include "cli/module_path.h"
#include "cli/run_summary.h"
#include "cli/scene_listing.h"

namespace {

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

// The first Ctrl-C cancels the export; a second one ends the program at once.
void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitInterrupted = 130;

// Imports a scene in the import process and decodes its answer.
// With `ending`, the import process may still be ending when this returns;
// it is waited for when `ending` goes.
bool Import(const std::string& path, const kvocli::CliOptions& options, kvoscene::Scene& scene,
            std::vector<uint8_t>* bytes, double& seconds, kvoscene::EndingChild* ending = nullptr) {
    const kvoscene::ImportSettings settings{options.collapse, options.joinVertices};
    const bool showing = !options.quiet && isatty(STDERR_FILENO);
    if (showing) std::fprintf(stderr, "\r\033[Kimporting %s ...", path.c_str());
    kvoscene::ChildImportResult result =
        kvoscene::ImportInChild(path, settings, options.importTimeout, &interrupted, &scene);
    seconds = result.seconds;
    if (showing) std::fprintf(stderr, "\r\033[K");
    if (!result.ok) {
        if (!interrupted) {
            std::fprintf(stderr, "kvoexp: %s: cannot import: %s\n", path.c_str(),
                         result.error.c_str());
        }
        return false;
    }
    if (bytes) *bytes = std::move(result.bytes);
    if (ending) *ending = std::move(result.ending);
    return true;
}

int DumpScene(const kvocli::CliOptions& options) {
    kvoscene::Scene scene;
    std::vector<uint8_t> bytes;
    double seconds = 0;
    if (!Import(options.dumpScene[0], options, scene, &bytes, seconds)) {
        return interrupted ? kExitInterrupted : kExitFailed;
    }
    std::ofstream out(options.dumpScene[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "kvoexp: error: cannot write %s\n", options.dumpScene[1].c_str());
        return kExitFailed;
    }
    return kExitOk;
}

int ListScenes(const kvocli::CliOptions& options) {
    int status = kExitOk;
    for (const std::string& path : options.scenes) {
        kvoscene::Scene scene;
        double seconds = 0;
        if (!Import(path, options, scene, nullptr, seconds)) {
            if (interrupted) return kExitInterrupted;
            status = kExitFailed;
            continue;
        }
        kvocli::PrintSceneTree(stdout, path, scene, options.selectGlobs);
    }
    return status;
}

int ExportScenes(const kvocli::CliOptions& options) {
    std::error_code ec;
    std::filesystem::create_directories(options.outputDir, ec);
    if (ec || !std::filesystem::is_directory(options.outputDir)) {
        std::fprintf(stderr, "kvoexp: error: cannot create the output directory %s%s%s\n",
                     options.outputDir.c_str(), ec ? ": " : "", ec ? ec.message().c_str() : "");
        return kExitFailed;
    }
    kvocli::ConfigDir config;
    std::string error;
    if (!config.Prepare(options.configDir, error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        return kExitFailed;
    }
    const bool drawProgress = !options.quiet && isatty(STDERR_FILENO);
    kvocli::ExportSession session(options, &interrupted, drawProgress);
    if (!session.Open(kvocli::FindModulePath(options.modulePath), config.Path(), error)) {
        std::fprintf(stderr, "kvoexp: error: %s\n", error.c_str());
        return kExitFailed;
    }
    std::vector<kvocli::SceneOutcome> outcomes;
    for (const std::string& path : options.scenes) {
        if (interrupted) break;
        kvocli::SceneOutcome outcome;
        outcome.scene = path;
        kvoscene::Scene scene;
        kvoscene::EndingChild importProcess;  // ends while the scene is exported
        outcome.imported =
            Import(path, options, scene, nullptr, outcome.importSeconds, &importProcess);
        if (interrupted) break;
        if (outcome.imported) session.ExportScene(std::move(scene), outcome);
        outcomes.push_back(outcome);
        if (outcome.cancelled) break;
    }
    session.Close();
    if (!options.quiet) {
        for (const kvocli::SceneOutcome& outcome : outcomes) {
            std::printf("%s\n", kvocli::SummaryLine(outcome).c_str());
        }
    }
    if (interrupted) {
        std::fprintf(stderr, "kvoexp: interrupted\n");
        return kExitInterrupted;
    }
    return kvocli::AllGood(outcomes) ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    kvocli::CliOptions options;
    const kvocli::ParseOutcome parsed = kvocli::ParseCommandLine(argc, argv, options);
    if (!parsed.run) return parsed.exitCode;
    InstallInterruptHandler();
    if (!options.dumpScene.empty()) return DumpScene(options);
    if (options.list) return ListScenes(options);
    return ExportScenes(options);
}
