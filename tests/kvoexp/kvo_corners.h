// The corners of a written .kvo file, every index looked up in its streams, in
// file order: what a renderer draws, independent of how vertices are shared.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace clitest {

struct KvoCorner {
    std::array<float, 3> position{};
    std::array<float, 2> uv{};
    std::array<float, 3> normal{};
    std::array<float, 3> colour{};
    bool operator==(const KvoCorner& o) const;  // bit for bit
};

struct KvoTriangle {
    int material = 0;
    std::array<KvoCorner, 3> corners;
    bool operator==(const KvoTriangle& o) const;
};

struct KvoCorners {
    bool loaded = false;
    bool normals = false, colours = false;  // every geob has the stream
    size_t vertexCount = 0;                 // summed over the geobs
    std::vector<KvoTriangle> triangles;
};

KvoCorners ReadKvoCorners(const std::string& path);

}  // namespace clitest
