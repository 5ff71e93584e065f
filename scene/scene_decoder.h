// Reads the compact scene form (scene_format.h) back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scene/compact_scene.h"

namespace kvoscene {

// Checks every size and index; on failure returns false with a message that
// says what was wrong and where, and leaves `scene` empty.
bool DecodeScene(const uint8_t* data, size_t size, Scene& scene, std::string& error);

}  // namespace kvoscene
