// The console host's command line.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "cli/checks/budgets.h"
#include "cli/checks/warning_policy.h"
#include "cli/import/units.h"
#include "cli/program/texture_options.h"
#include "hostdrive/check_boxes.h"

namespace kvocli {

constexpr const char* kKvoexpVersion = "0.3.0";

struct CliOptions {
    std::vector<std::string> scenes;
    std::string outputDir;
    // Per check box: -1 keep the panel's value, 0 clear, 1 set.
    hostdrive::CheckStates checks;
    std::string configDir;  // empty: a private directory, removed afterwards
    std::vector<std::string> selectGlobs;
    bool collapse = true;
    bool list = false;
    bool quiet = false;
    double importTimeout = 60;
    unsigned jobs = 0;                   // import workers; 0: one per core
    long long importMemoryMiB = -1;      // per import worker; -1: half the memory, 0: no limit
    std::vector<std::string> dumpScene;  // SCENE OUT
    std::string modulePath;              // empty: next to the executable
    bool joinVertices = true;
    bool strict = false;                      // any warning makes the exit status 1
    bool check = false;                       // export into a private directory, removed afterwards
    std::string reportPath;                   // the JSON report; "-" standard output, "" none
    bool preview = false;                     // pictures of the written files afterwards
    std::string depfile;                      // empty: none
    std::vector<std::string> depfileTargets;  // listed first in its rule
    bool prune = false;
    kvochecks::Budgets budgets;                   // 0: no limit
    std::vector<kvochecks::WarningCode> errorOn;  // warning codes that fail the run
    std::vector<kvochecks::WarningCode> ignored;  // warning codes kept off standard error
    kvochecks::WarningPolicy warningPolicy;       // the two lists above
    std::string optionsFile;                      // --options FILE, "" none
    kvoimport::FrameSettings frame;               // --units, --file-units, --scale, --up
    TextureOptions textures;

    CliOptions() { checks.fill(-1); }
};

struct ParseOutcome {
    bool run = false;  // false: exit at once with `exitCode`
    int exitCode = 0;
};

// Parses argv; prints help, the version, or a usage error (exit 2) itself.
ParseOutcome ParseCommandLine(int argc, char** argv, CliOptions& options);

}  // namespace kvocli
