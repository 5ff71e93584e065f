// What happened to each scene and the closing summary lines.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/checks/export_warnings.h"
#include "cli/checks/node_report.h"
#include "cli/checks/warning_policy.h"
#include "cli/program/scene_textures.h"
#include "scene/compact_scene.h"

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
    unsigned errorsShown = 0;      // message boxes of the plug-in
    bool nothingToExport = false;  // no selected root child is geometry: not exported
    double importSeconds = 0;
    double exportSeconds = 0;
    std::vector<kvochecks::NodeReport> nodes;  // the selected root children
    std::vector<kvochecks::ExportWarning> warnings;
    kvoscene::SourceFrame frame;  // the file's up axis and the factor of its lengths
    SceneTextures textures;       // found, copied and extracted
};

// The scene's summary; a dry run (`check`) counts the files it would write.
std::string SummaryLine(const SceneOutcome& outcome, bool check = false);

// Whether the invocation succeeded as a whole (exit status 0); with
// `strict`, a warning fails it too.
bool AllGood(const std::vector<SceneOutcome>& outcomes, bool strict);

// Whether a warning of a code made an error (--error-on) was given.
bool AnyErrorWarning(const std::vector<SceneOutcome>& outcomes,
                     const kvochecks::WarningPolicy& policy);

}  // namespace kvocli
