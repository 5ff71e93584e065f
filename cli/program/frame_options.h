// --units, --file-units, --scale and --up: the unit and frame each scene is
// converted to by its import.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/import/units.h"

namespace kvocli {

// What the parser fills before FinishFrameOptions checks it.
struct FrameOptionValues {
    std::string units;
    std::string fileUnits;
    std::string up = "auto";
    double scale = 1;
};

void AddFrameOptions(CLI::App& app, FrameOptionValues& values);

// False with a usage error's text.
bool FinishFrameOptions(const FrameOptionValues& values, kvoimport::FrameSettings& frame,
                        std::string& error);

}  // namespace kvocli
