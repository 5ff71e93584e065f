// Small compact scenes for the tests of the scene form and the console host.
#pragma once

#include <string>

#include "scene/compact_scene.h"

namespace testsupport {

// A one-triangle geometry node below the root.
inline kvoscene::Node TriangleNode(const std::string& name) {
    kvoscene::Node node;
    node.name = name;
    node.kind = kvoscene::NodeKind::Geometry;
    node.mesh.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    node.mesh.faces = {0, 1, 2};
    node.mesh.materialIds = {0};
    node.mesh.smoothing = {1};
    return node;
}

}  // namespace testsupport
