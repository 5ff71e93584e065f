// The --list output: a scene's node tree with what the export would do.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "scene/compact_scene.h"

namespace kvocli {

// Prints `scene`'s tree. Nodes show their names as the file gives them;
// `scene` itself holds the names the export writes (clashes already told
// apart), which the marks of the selected root children show.
void PrintSceneTree(std::FILE* out, const std::string& sceneName, const kvoscene::Scene& scene,
                    const std::vector<std::string>& givenNames,
                    const std::vector<std::string>& globs);

}  // namespace kvocli
