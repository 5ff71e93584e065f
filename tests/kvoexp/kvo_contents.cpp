#include "kvo_contents.h"

#include <algorithm>

#include "kvo/kvo_geode.h"

namespace clitest {

Triangle Canonical(Triangle t) {
    const auto smallest = std::min_element(t.begin(), t.end());
    std::rotate(t.begin(), smallest, t.end());
    return t;
}

size_t KvoContents::TriangleCount() const {
    size_t n = 0;
    for (const auto& entry : trianglesByMaterial) n += entry.second.size();
    return n;
}

float KvoContents::MaxCoordinate(int axis) const {
    float best = -1e30f;
    for (const auto& entry : trianglesByMaterial) {
        for (const Triangle& t : entry.second) {
            for (const Point& p : t) best = std::max(best, p[axis]);
        }
    }
    return best;
}

KvoContents ReadKvo(const std::string& path) {
    KvoContents contents;
    KvoGeode geode(path);
    if (!geode.Load()) return contents;
    contents.loaded = true;
    for (int m = 0; m < geode.materialCount; ++m) {
        const KvoMaterial* mat = geode.materials[m];
        contents.materialNames.push_back(mat ? mat->name : "");
        contents.textures.push_back(
            mat && mat->textureCount > 0 && mat->textures[0] ? *mat->textures[0] : "");
    }
    for (int g = 0; g < geode.geobCount; ++g) {
        const KvoGeob* geob = geode.geobs[g];
        if (!geob) continue;
        auto& triangles = contents.trianglesByMaterial[geob->materialIndex];
        for (int i = 0; i + 2 < geob->indexCount; i += 3) {
            Triangle t;
            for (int k = 0; k < 3; ++k) {
                const int v = geob->indices[i + k];
                t[k] = {geob->vertices[3 * v], geob->vertices[3 * v + 1],
                        geob->vertices[3 * v + 2]};
            }
            triangles.insert(Canonical(t));
        }
    }
    return contents;
}

}  // namespace clitest
