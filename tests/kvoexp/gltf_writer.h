// Writes small glTF 2.0 files for the tests: meshes with their own vertex
// attributes and nodes with a matrix each, below the scene root or another
// node, the buffer embedded as a base64 data URI.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace clitest {

using Vec3 = std::array<float, 3>;

struct GltfPrimitive {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;  // empty: none in the file
    std::vector<Vec3> colours;  // empty: none in the file
    std::vector<uint16_t> indices;
    // Morph targets: position offsets per vertex. The mesh's default weights
    // are its first primitive's `weights` (empty: none in the file).
    std::vector<std::vector<Vec3>> targets;
    std::vector<float> weights;
};

struct GltfNode {
    std::string name;  // empty: the node has no name in the file
    int mesh = 0;      // negative: none
    // Column-major 4x4 as glTF stores it: the first three columns are the images
    // of the axes, the last holds the translation.
    std::array<float, 16> matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Positions of the node's children in the node list; a node that is nobody's
    // child sits below the scene root.
    std::vector<int> children{};
};

// One mesh per entry, each of one or more primitives.
void WriteGltf(const std::string& path, const std::vector<std::vector<GltfPrimitive>>& meshes,
               const std::vector<GltfNode>& nodes);

// A cube of edge 2 around the origin with one flat normal per face: 24 vertices.
GltfPrimitive HardCube();

// A latitude-longitude sphere with one smooth normal per vertex, no seam vertices.
GltfPrimitive SmoothSphere(int rings, int segments);

}  // namespace clitest
