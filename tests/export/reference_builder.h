// The geob builder written out literally: a linear search over the corner keys
// (vertex, texture vertex, the normal seen from the corner's face, colour index)
// in corner order (reversed under a mirroring transform in world coordinates).
// The oracle for the hashed builder; normals are moved by the builder's own
// NormalTransform, which its own tests check.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "export/export_options.h"
#include "kvo/kvo_geob.h"
#include "platform/max/max_sdk.h"

namespace exporttest {

struct ExpectedGeob {
    int materialIndex = 0;
    std::vector<uint16_t> indices;
    std::vector<float> vertices;
    std::vector<float> texCoords;
    std::vector<float> normals;
    std::vector<float> colors;
    int vertexCount() const { return static_cast<int>(vertices.size() / 3); }
};

std::vector<ExpectedGeob> ReferenceGroupGeobs(Mesh& mesh, const Matrix3& objectTM,
                                              const ExportOptions& options, int materialIndex,
                                              const std::vector<int32_t>& faces);

// Field by field, floats bit for bit, burst values as a fresh builder geob has them.
::testing::AssertionResult GeobMatches(const KvoGeob& actual, const ExpectedGeob& expected);

// Copies the expectation into a geob record (malloc arrays, as the builder makes them).
void FillGeob(const ExpectedGeob& expected, KvoGeob& geob);

}  // namespace exporttest
