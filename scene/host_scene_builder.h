// Builds the host's scene from a compact scene: nodes with their objects,
// transforms and materials, exactly as the host application would hold them.
#pragma once

#include <vector>

#include "platform/max/host_scene.h"
#include "scene/compact_scene.h"

namespace kvoscene {

// Fills `host` (a new, empty scene) and returns the host node of every
// compact node, by index. Nothing is selected.
std::vector<INode*> BuildHostScene(const Scene& scene, HostScene& host);

}  // namespace kvoscene
