// What identifies the state of a scene file: taken before and after an import,
// so that a file changed (truncated, rewritten, replaced) while the importer
// read it fails that import instead of giving a partial scene.
#pragma once

#include <cstdint>
#include <string>

namespace kvoimport {

struct SceneFileStamp {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modifiedNs = 0;
};

// False with the cause when the path is no regular file ("is a directory",
// "not a regular file", or the system's message).
bool StampSceneFile(const std::string& path, SceneFileStamp& stamp, std::string& error);

// "" when the stamps agree; else what changed, as an import error.
std::string ChangeWhileRead(const SceneFileStamp& before, const SceneFileStamp& after);

}  // namespace kvoimport
