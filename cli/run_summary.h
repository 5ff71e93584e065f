// What happened to each scene, the closing summary lines, and the warning
// about a .kvo file written twice in one invocation.
#pragma once

#include <cstdio>
#include <map>
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

// Remembers which node wrote each file; reports a second writer.
class WrittenFiles {
public:
    // Returns the earlier writer's description, or "" for a first write.
    std::string Record(const std::string& path, const std::string& writer);

private:
    std::map<std::string, std::string> writers_;
};

}  // namespace kvocli
