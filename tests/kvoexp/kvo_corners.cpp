#include "kvo_corners.h"

#include <cstring>

#include "kvo/kvo_geode.h"

namespace clitest {

namespace {

template <size_t N>
bool SameBits(const std::array<float, N>& a, const std::array<float, N>& b) {
    return std::memcmp(a.data(), b.data(), sizeof(float) * N) == 0;
}

template <size_t N>
std::array<float, N> At(const float* stream, int count, int v) {
    std::array<float, N> out{};
    if (stream && v < count) std::memcpy(out.data(), stream + N * v, sizeof out);
    return out;
}

}  // namespace

bool KvoCorner::operator==(const KvoCorner& o) const {
    return SameBits(position, o.position) && SameBits(uv, o.uv) && SameBits(normal, o.normal) &&
           SameBits(colour, o.colour);
}

bool KvoTriangle::operator==(const KvoTriangle& o) const {
    return material == o.material && corners == o.corners;
}

KvoCorners ReadKvoCorners(const std::string& path) {
    KvoCorners out;
    KvoGeode geode(path);
    if (!geode.Load()) return out;
    out.loaded = true;
    out.normals = out.colours = geode.geobCount > 0;
    for (int g = 0; g < geode.geobCount; ++g) {
        const KvoGeob* geob = geode.geobs[g];
        if (!geob) continue;
        out.vertexCount += static_cast<size_t>(geob->vertexCount);
        out.normals = out.normals && geob->normals;
        out.colours = out.colours && geob->colors;
        for (int i = 0; i + 2 < geob->indexCount; i += 3) {
            KvoTriangle t;
            t.material = geob->materialIndex;
            for (int k = 0; k < 3; ++k) {
                const int v = geob->indices[i + k];
                KvoCorner& c = t.corners[k];
                c.position = At<3>(geob->vertices, geob->vertexCount, v);
                c.uv = At<2>(geob->texCoords, geob->texCoordCount, v);
                c.normal = At<3>(geob->normals, geob->normalCount, v);
                c.colour = At<3>(geob->colors, geob->colorCount, v);
            }
            out.triangles.push_back(t);
        }
    }
    return out;
}

}  // namespace clitest
