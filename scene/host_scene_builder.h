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
// The same, taking the meshes over: each array of a node's mesh is released
// as soon as the host mesh holds its values, so that the scene and the host
// scene are never both whole in memory. Every mesh of `scene` is left empty;
// names, kinds, transforms and materials stay.
std::vector<INode*> BuildHostScene(Scene&& scene, HostScene& host);

}  // namespace kvoscene
