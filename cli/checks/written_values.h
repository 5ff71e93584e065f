// Counts the values an export would write that are not finite: positions as
// the file gets them (moved by the node's transform unless Localize is on, in
// float as the export moves them, so an overflow to infinity is seen too),
// normals, texture coordinates and, when written, vertex colours.
#pragma once

#include <cstdint>

#include "scene/compact_scene.h"

namespace kvochecks {

struct WrittenValueSettings {
    bool localize = false;      // positions in the object's own frame
    bool vertexColors = false;  // the colours are written
};

struct NonFiniteValues {
    bool transform = false;  // the node's transform holds NaN or infinity
    uint64_t positions = 0, normals = 0, uvs = 0, colors = 0;
    uint64_t Total() const { return positions + normals + uvs + colors; }
};

NonFiniteValues CountNonFiniteWritten(const kvoscene::Node& node,
                                      const WrittenValueSettings& settings);

}  // namespace kvochecks
