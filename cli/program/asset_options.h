// The options of asset pipelines: budgets, what becomes of warnings, and the
// options file a team keeps beside its scenes.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/program/cli_options.h"

namespace kvocli {

// What the parser fills before FinishAssetOptions checks it.
struct AssetOptionValues {
    std::vector<std::string> errorOn;
    std::vector<std::string> ignore;
};

void AddAssetOptions(CLI::App& app, CliOptions& options, AssetOptionValues& values);

// After parsing: the warning codes named, and the options file read; false
// with a usage error's text.
bool FinishAssetOptions(const CLI::App& app, const AssetOptionValues& values, CliOptions& options,
                        std::string& error);

}  // namespace kvocli
