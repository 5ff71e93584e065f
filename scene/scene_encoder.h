// Writes a scene in the compact scene form (scene_format.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "scene/compact_scene.h"

namespace kvoscene {

std::vector<uint8_t> EncodeScene(const Scene& scene);

// The same bytes handed to `sink` in pieces as they are written, without the
// whole form in memory; false once the sink has said false (nothing is
// handed to it after that).
using SceneSink = std::function<bool(const uint8_t* data, size_t size)>;
bool EncodeScene(const Scene& scene, const SceneSink& sink);
// The length of the encoded form.
size_t EncodedSize(const Scene& scene);

}  // namespace kvoscene
