// Compares the scene form of an OBJ from the console host's reader with the
// one from the Assimp path: the same nodes, materials, faces and channels;
// names the same or whole where Assimp kept only the first word; numbers the
// same, or one unit in the last place apart where ours is the correctly
// rounded value of a number written in the file.
#pragma once

#include <set>
#include <string>

#include "scene/compact_scene.h"

namespace clitest {

// The bits of strtof of every number token of the OBJ text, and of its
// negation (the axis change negates one coordinate).
std::set<uint32_t> ExactNumbersOf(const std::string& objText);

// "" when the scenes agree, else the first difference in words. With a
// non-empty `exact`, every position, normal and texture coordinate of ours
// must be one of its values (or zero).
std::string CompareObjScenes(const kvoscene::Scene& ours, const kvoscene::Scene& theirs,
                             const std::set<uint32_t>& exact);

}  // namespace clitest
