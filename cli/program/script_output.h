// Where the console host's lines for people go: standard output, unless the
// JSON report takes it (--report -), when standard output holds the JSON alone
// and every other line goes to standard error.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/program/cli_options.h"
#include "cli/program/run_summary.h"

namespace kvocli {

std::FILE* MessageStream(const CliOptions& options);

// The scene's summary line, printed and flushed as soon as its export ends.
void PrintSummary(const CliOptions& options, const SceneOutcome& outcome);

// "removed stale PATH" for each file --prune removed.
void PrintRemoved(const CliOptions& options, const std::vector<std::string>& removed);

}  // namespace kvocli
