// What a written .kvo file holds, read back with the format library, in the
// shape the console host's tests compare against the scene files.
#pragma once

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace clitest {

using Point = std::array<float, 3>;
// A triangle's corners, rotated so that the smallest corner comes first
// (the same triangle with the same winding compares equal).
using Triangle = std::array<Point, 3>;
Triangle Canonical(Triangle t);

struct KvoContents {
    bool loaded = false;
    std::vector<std::string> materialNames;
    std::vector<std::string> textures;  // texture 0 of each material
    std::map<int, std::multiset<Triangle>> trianglesByMaterial;
    size_t TriangleCount() const;
    float MaxCoordinate(int axis) const;
};

KvoContents ReadKvo(const std::string& path);

}  // namespace clitest
