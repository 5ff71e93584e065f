// Turning a scene form into another source frame: a signed permutation of
// the axes (exact: signs and swaps only) and one factor for every length.
#pragma once

#include <cstdint>

#include "scene/compact_scene.h"

namespace kvoimport {

// out[i] = sign[i] * in[axis[i]].
struct SignedAxes {
    uint8_t axis[3] = {0, 1, 2};
    int8_t sign[3] = {1, 1, 1};

    bool Identity() const;
    // A true permutation with signs of +-1.
    bool Valid() const;
    // -1 for a mirroring permutation, else 1.
    int Determinant() const;
    void Apply(const float in[3], float out[3]) const;
};

// `outer` after `inner`.
SignedAxes Compose(const SignedAxes& outer, const SignedAxes& inner);

// The file's frame turned Y-up: a Z-up file's (x, y, z) is (x, z, -y).
SignedAxes ZUpToYUpAxes();
// The host frame's change for a file whose own frame turns Y-up by `toYUp`,
// when the scene form was made as if the file were Y-up.
SignedAxes HostChange(const SignedAxes& toYUp);
// The file's up axis as a scene form's up code: toYUp's preimage of +Y.
uint32_t UpCode(const SignedAxes& toYUp);

// Changes every node of `scene` by `change` (conjugating its transform, so a
// node keeps its place relative to its parent) and multiplies every mesh
// position and translation by `factor`. Mirroring changes turn the faces'
// corners around so they still face out.
void ApplyFrame(kvoscene::Scene& scene, const SignedAxes& change, double factor);

}  // namespace kvoimport
