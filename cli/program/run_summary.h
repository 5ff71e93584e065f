// What happened to each scene and the closing summary lines.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/checks/export_warnings.h"
#include "cli/checks/node_report.h"
#include "cli/program/scene_textures.h"

namespace kvocli {

struct SceneOutcome {
    std::string scene;
    bool imported = false;
    std::string importError;
    bool cancelled = false;
    unsigned exported = 0;
    unsigned notGeometry = 0;
    unsigned failed = 0;
    unsigned filesWritten = 0;
    unsigned errorsShown = 0;  // message boxes of the plug-in
    double importSeconds = 0;
    double exportSeconds = 0;
    std::vector<kvochecks::NodeReport> nodes;  // the selected root children
    std::vector<kvochecks::ExportWarning> warnings;
    SceneTextures textures;  // found, copied and extracted
};

std::string SummaryLine(const SceneOutcome& outcome);

// Whether the invocation succeeded as a whole (exit status 0); with
// `strict`, a warning fails it too.
bool AllGood(const std::vector<SceneOutcome>& outcomes, bool strict);

}  // namespace kvocli
