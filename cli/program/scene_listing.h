// The --list output: a scene's node tree with what the export would do.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "scene/compact_scene.h"

namespace kvocli {

void PrintSceneTree(std::FILE* out, const std::string& sceneName, const kvoscene::Scene& scene,
                    const std::vector<std::string>& globs);

}  // namespace kvocli
