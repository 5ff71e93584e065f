// The console host's work once its command line is parsed.
#pragma once

#include "cli/program/cli_options.h"

namespace kvocli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Dumps a scene, lists scenes or exports them, as the options say; the exit
// status.
int RunProgram(const CliOptions& options);

}  // namespace kvocli
