// What happened to each scene and the closing summary lines.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kvocli {

struct SceneOutcome {
    std::string scene;
    bool imported = false;
    bool cancelled = false;
    unsigned exported = 0;
    unsigned notGeometry = 0;
    unsigned failed = 0;
    unsigned filesWritten = 0;
    unsigned errorsShown = 0;  // message boxes of the plug-in
    double importSeconds = 0;
    double exportSeconds = 0;
};

std::string SummaryLine(const SceneOutcome& outcome);

// Whether the invocation succeeded as a whole (exit status 0).
bool AllGood(const std::vector<SceneOutcome>& outcomes);

}  // namespace kvocli
