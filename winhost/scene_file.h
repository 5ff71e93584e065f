// Reads a scene that the console host wrote with --dump-scene.
#pragma once

#include <string>

#include "scene/compact_scene.h"

namespace winhost {

// False with a message when the file cannot be read or is not a valid
// compact scene.
bool ReadSceneFile(const std::string& path, kvoscene::Scene& scene, std::string& error);

}  // namespace winhost
