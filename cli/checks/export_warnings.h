// Warnings of the console host: something of the scene that the export loses
// or that will not survive where the files go. Each has a stable code for
// scripts (the JSON report) and a line for people, printed on standard error
// as "kvoexp: warning: SCENE: TEXT".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/checks/warning_codes.h"

namespace kvochecks {

struct ExportWarning {
    WarningCode code;
    std::string node;  // the node it concerns, or "" for the scene
    std::string text;  // names in it are already printable
};

// "1 face", "2 faces": a count with its noun for warning texts.
std::string Plural(uint64_t n, const char* one, const char* many);

// Prints the warning line on standard error.
void PrintWarning(const std::string& scene, const ExportWarning& warning);

}  // namespace kvochecks
