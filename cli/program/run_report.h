// The JSON report of one invocation (--report): the program's version and
// options, and per scene its import, status, warnings and nodes with what
// each wrote. Layout: docs/report.schema.json.
#pragma once

#include <string>
#include <vector>

#include "cli/program/cli_options.h"
#include "cli/program/run_summary.h"

namespace kvocli {

// The report as JSON text. Texts keep their valid UTF-8; other bytes become
// U+FFFD, never Latin-1.
std::string RunReportJson(const CliOptions& options, const std::vector<SceneOutcome>& outcomes,
                          int exitStatus);

// Writes the report to `path` ("-": standard output); false with `error` set.
bool WriteRunReport(const std::string& path, const std::string& json, std::string& error);

}  // namespace kvocli
