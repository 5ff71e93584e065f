#include "cli/import/frame_conversion.h"

#include <utility>
#include <vector>

namespace kvoimport {

namespace {

float Scaled(float v, double factor) {
    return static_cast<float>(static_cast<double>(v) * factor);
}

void ChangePoints(std::vector<float>& values, const SignedAxes& change, double factor) {
    const bool turn = !change.Identity();
    for (size_t i = 0; i + 3 <= values.size(); i += 3) {
        float* p = &values[i];
        if (turn) {
            const float in[3] = {p[0], p[1], p[2]};
            change.Apply(in, p);
        }
        if (factor != 1) {
            for (int k = 0; k < 3; ++k) p[k] = Scaled(p[k], factor);
        }
    }
}

void TurnCorners(std::vector<uint32_t>& faces) {
    for (size_t i = 0; i + 3 <= faces.size(); i += 3) std::swap(faces[i + 1], faces[i + 2]);
}

// Row i of the changed transform is the image of axis i: C T C^-1 e_i, and
// C^-1 e_i = sign[i] e_axis[i], so it is sign[i] C(row axis[i]).
void ChangeTransform(float t[12], const SignedAxes& change, double factor) {
    float rows[4][3];
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 3; ++k) rows[r][k] = t[3 * r + k];
    }
    for (int i = 0; i < 3; ++i) {
        float moved[3];
        change.Apply(rows[change.axis[i]], moved);
        for (int k = 0; k < 3; ++k) {
            t[3 * i + k] = change.sign[i] < 0 ? -moved[k] : moved[k];
        }
    }
    float translation[3];
    change.Apply(rows[3], translation);
    for (int k = 0; k < 3; ++k) {
        t[9 + k] = factor != 1 ? Scaled(translation[k], factor) : translation[k];
    }
}

}  // namespace

bool SignedAxes::Identity() const {
    for (int i = 0; i < 3; ++i) {
        if (axis[i] != i || sign[i] != 1) return false;
    }
    return true;
}

bool SignedAxes::Valid() const {
    unsigned seen = 0;
    for (int i = 0; i < 3; ++i) {
        if (axis[i] > 2 || (sign[i] != 1 && sign[i] != -1)) return false;
        seen |= 1u << axis[i];
    }
    return seen == 7;
}

int SignedAxes::Determinant() const {
    int det = sign[0] * sign[1] * sign[2];
    // An odd permutation of the axes mirrors too.
    for (int i = 0; i < 3; ++i) {
        for (int j = i + 1; j < 3; ++j) {
            if (axis[i] > axis[j]) det = -det;
        }
    }
    return det;
}

void SignedAxes::Apply(const float in[3], float out[3]) const {
    for (int i = 0; i < 3; ++i) out[i] = sign[i] < 0 ? -in[axis[i]] : in[axis[i]];
}

SignedAxes Compose(const SignedAxes& outer, const SignedAxes& inner) {
    SignedAxes both;
    for (int i = 0; i < 3; ++i) {
        both.axis[i] = inner.axis[outer.axis[i]];
        both.sign[i] = static_cast<int8_t>(outer.sign[i] * inner.sign[outer.axis[i]]);
    }
    return both;
}

SignedAxes ZUpToYUpAxes() {
    SignedAxes a;
    a.axis[1] = 2;
    a.axis[2] = 1;
    a.sign[2] = -1;
    return a;
}

SignedAxes HostChange(const SignedAxes& toYUp) {
    // The scene form holds YUpToZUp(file); the file belongs at YUpToZUp(toYUp(file)).
    SignedAxes yToZ;
    yToZ.axis[1] = 2;
    yToZ.axis[2] = 1;
    yToZ.sign[1] = -1;
    return Compose(yToZ, Compose(toYUp, ZUpToYUpAxes()));
}

uint32_t UpCode(const SignedAxes& toYUp) {
    return toYUp.axis[1] + (toYUp.sign[1] < 0 ? 4u : 0u);
}

void ApplyFrame(kvoscene::Scene& scene, const SignedAxes& change, double factor) {
    if (change.Identity() && factor == 1) return;
    const bool mirror = change.Determinant() < 0;
    for (kvoscene::Node& node : scene.nodes) {
        ChangeTransform(node.transform, change, factor);
        kvoscene::Mesh& m = node.mesh;
        ChangePoints(m.positions, change, factor);
        ChangePoints(m.normals, change, 1);
        if (!mirror) continue;
        TurnCorners(m.faces);
        TurnCorners(m.uvFaces);
        TurnCorners(m.colorFaces);
    }
}

}  // namespace kvoimport
