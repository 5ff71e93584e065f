#include "cli/program/cli_options.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <limits>

#include "cli/outputs/output_template.h"
#include "cli/program/asset_options.h"
#include "cli/program/frame_options.h"
#include "export/export_options.h"

namespace kvocli {

namespace {

using hostdrive::kCheckBoxCount;
using hostdrive::kCheckBoxes;

// The plug-in's options without a settings file, in the order of kCheckBoxes.
const ExportOptions kDefaults;
const bool kPluginDefaults[kCheckBoxCount] = {
    kDefaults.localize,         kDefaults.optimize,           kDefaults.upNormals,
    kDefaults.exportNormals,    kDefaults.exportVertexColors, kDefaults.generateShader,
    kDefaults.generateGeometry, kDefaults.generateLog};

constexpr const char* kUsage = "Usage: kvoexp [OPTIONS] SCENE... -o DIR";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "kvoexp: error: %s\n%s\nRun 'kvoexp --help' for every option.\n",
                 message.c_str(), kUsage);
    return 2;
}

}  // namespace

ParseOutcome ParseCommandLine(int argc, char** argv, CliOptions& options) {
    CLI::App app{
        "Exports the objects of scene files into KVO files through the kvoexp plug-in,\n"
        "driving its panel as the host application would. Every direct child of a\n"
        "scene's root becomes one OUTPUT/<name>.kvo."};
    app.name("kvoexp");
    app.set_version_flag("--version", std::string("kvoexp ") + kKvoexpVersion);
    app.add_option("SCENE", options.scenes, "scene files (anything Assimp reads)")
        ->option_text("...");
    app.add_option("-o,--output", options.outputDir,
                   "output directory, created when missing; {scene} (the scene's name without "
                   "extension) and {dir} (its folder) give each scene its own")
        ->type_name("DIR");
    std::array<bool, kCheckBoxCount> on{}, off{};
    for (int i = 0; i < kCheckBoxCount; ++i) {
        const std::string flag = kCheckBoxes[i].flag;
        const std::string label = std::string("\"") + kCheckBoxes[i].label + "\"";
        app.add_flag("--" + flag, on[i],
                     "check " + label + " (default: the settings file's; " +
                         (kPluginDefaults[i] ? "on" : "off") + " without one)");
        app.add_flag("--no-" + flag, off[i], "clear " + label);
    }
    app.add_option("--config-dir", options.configDir,
                   "directory of the plug-in's settings file kvoexp.cfg (default: a private "
                   "directory removed afterwards)")
        ->type_name("DIR");
    app.add_option("--select", options.selectGlobs,
                   "select the root's children whose names match GLOB; repeat the option for "
                   "more patterns (default: all)")
        ->allow_extra_args(false)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->type_name("GLOB");
    bool collapse = false, noCollapse = false;
    app.add_flag("--collapse", collapse,
                 "merge each root child's subtree into that child's mesh (default: on)");
    app.add_flag("--no-collapse", noCollapse,
                 "export the root's children alone; geometry below them is not exported");
    app.add_flag("--list", options.list, "print each scene's node tree and export nothing");
    app.add_flag("-q,--quiet", options.quiet, "no progress line and no summary (warnings stay)");
    bool noStrict = false, noCheck = false;
    app.add_flag("--strict", options.strict,
                 "any warning makes the exit status 1; the files are still written (default: off)");
    app.add_flag("--no-strict", noStrict, "warnings leave the exit status as it is");
    app.add_option("--report", options.reportPath,
                   "write a JSON report of the run to FILE ('-': standard output)")
        ->type_name("FILE");
    app.add_flag("--check", options.check,
                 "dry run through the plug-in into a private directory that is removed "
                 "afterwards: the same warnings and report, nothing written to -o DIR");
    app.add_flag("--no-check", noCheck, "export for real (default)");
    app.add_option("--import-timeout", options.importTimeout,
                   "seconds an import may take (default: 60)")
        ->type_name("SECONDS");
    app.add_option("-j,--jobs", options.jobs,
                   "scenes imported at once by import workers (default: one per core); the "
                   "export stays in the order given")
        ->type_name("N");
    app.add_option("--import-memory", options.importMemoryMiB,
                   "memory budget of all import processes together in MiB (default: half "
                   "the machine's memory; 0: no limit)")
        ->type_name("MIB");
    app.add_option("--dump-scene", options.dumpScene,
                   "write SCENE, imported, in the compact scene form to OUT")
        ->expected(2)
        ->option_text("SCENE OUT");
    app.add_option("--module", options.modulePath,
                   "the plug-in module (default: $KVOEXP_MODULE, else ../lib/kvoexp.so beside "
                   "the program)")
        ->type_name("PATH");
    bool noPreview = false;
    app.add_flag("--preview", options.preview,
                 "after the export, draw NAME.png beside each written NAME.kvo and a contact "
                 "sheet preview.png of them all in the output directory");
    app.add_flag("--no-preview", noPreview, "draw no pictures (default)");
    app.add_option("--depfile", options.depfile,
                   "write a Make/Ninja depfile: every file written depends on the scenes and "
                   "the files their imports read")
        ->type_name("FILE");
    app.add_option("--depfile-target", options.depfileTargets,
                   "the depfile's target instead of the files written: the build step's "
                   "declared output (repeatable)")
        ->allow_extra_args(false)
        ->option_text("FILE");
    app.add_flag("--prune", options.prune,
                 "after a run without failure, remove the .kvo files of each output directory "
                 "that it did not write");
    AddTextureOptions(app, options.textures);
    bool noJoin = false;
    app.add_flag("--no-join-vertices", noJoin,
                 "keep the importer's unwelded vertices (default: joined)");
    FrameOptionValues frame;
    AddFrameOptions(app, frame);
    AssetOptionValues asset;
    AddAssetOptions(app, options, asset);
    app.footer(
        "Exit status: 0 all exported; 1 a scene failed to import, a node failed, the plug-in\n"
        "reported an error, or (with --strict) a warning was given; 2 usage error; 128 + the\n"
        "signal when interrupted (Ctrl-C, SIGTERM and SIGHUP cancel the export: 130, 143, 129).");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return {false, app.exit(e)};
    } catch (const CLI::CallForVersion& e) {
        return {false, app.exit(e)};
    } catch (const CLI::ParseError& e) {
        return {false, UsageError(e.what())};
    }
    options.joinVertices = !noJoin;
    options.preview = options.preview && !noPreview;
    std::string assetError;
    if (!FinishAssetOptions(app, asset, options, assetError) ||
        !FinishFrameOptions(frame, options.frame, assetError)) {
        return {false, UsageError(assetError)};
    }
    options.strict = options.strict && !noStrict;
    options.collapse = !noCollapse;  // --collapse only spells out the default
    (void)collapse;
    options.check = options.check && !noCheck;
    for (int i = 0; i < kCheckBoxCount; ++i) {
        if (on[i] && off[i]) {
            return {false, UsageError(std::string("--") + kCheckBoxes[i].flag + " and --no-" +
                                      kCheckBoxes[i].flag + " contradict each other")};
        }
        options.checks[i] = on[i] ? 1 : off[i] ? 0 : -1;
    }
    if (!(options.importTimeout > 0) || !std::isfinite(options.importTimeout)) {
        return {false, UsageError("--import-timeout must be a positive number of seconds")};
    }
    if (options.importMemoryMiB < -1 ||
        options.importMemoryMiB > (std::numeric_limits<long long>::max() >> 20)) {
        return {false, UsageError("--import-memory must be a number of MiB (0: no limit)")};
    }
    if (!options.depfileTargets.empty() && options.depfile.empty()) {
        return {false, UsageError("--depfile-target needs --depfile")};
    }
    if ((!options.depfile.empty() || options.prune) &&
        (options.list || !options.dumpScene.empty())) {
        return {false, UsageError("--depfile and --prune belong to an export")};
    }
    if (!options.dumpScene.empty()) {
        if (!options.scenes.empty() || options.list) {
            return {false, UsageError("--dump-scene takes exactly one scene and its output")};
        }
        return {true, 0};
    }
    if (options.scenes.empty()) return {false, UsageError("no scene given")};
    if (options.list && options.check) {
        return {false, UsageError("--list and --check exclude each other")};
    }
    if (!options.list && !options.check && options.outputDir.empty()) {
        return {false, UsageError("no output directory given (-o DIR)")};
    }
    std::string templateError;
    if (!options.list && !kvooutputs::CheckOutputTemplate(options.outputDir, templateError)) {
        return {false, UsageError(templateError)};
    }
    // The panel's edit holds at most 260 characters.
    if (options.outputDir.size() > 260) {
        return {false, UsageError("the output directory's path is longer than 260 characters")};
    }
    return {true, 0};
}

}  // namespace kvocli
