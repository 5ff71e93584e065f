// Compares the normals of exported .kvo files with the scene file's own, read
// with Assimp beside the exporter: each exported triangle is matched to the
// file's triangle at the same world positions, and each corner's normal to the
// normal of that file corner, moved to world space by the inverse transpose of
// its node's world transform (the object-frame face normal where the file mesh
// has no normals).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace clitest {

struct NormalDeviation {
    size_t corners = 0;    // exported corners looked at
    size_t unmatched = 0;  // corners of triangles without a file triangle at their positions
    size_t undefined = 0;  // corners where either normal has no direction
    size_t over1 = 0;      // more than 1 degree from the file's normal
    size_t over60 = 0;     // more than 60 degrees
    double worstDegrees = 0;
};

// `kvoFiles` were exported from `scenePath` with "Localize" off.
NormalDeviation CompareWithSourceNormals(const std::string& scenePath,
                                         const std::vector<std::string>& kvoFiles);

}  // namespace clitest
