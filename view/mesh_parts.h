// The drawable content of KVO files: one part per geob (per burst when a geob
// has several), each checked and compacted, with the materials they resolve to.
// The renderer and the converter both work from this form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvo/kvo_geode.h"

namespace kvoview {

struct MaterialInfo {
    std::string name;
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    std::string texture;  // the first texture name; "" when there is none
    std::string folder;   // folder of the file the material came from
};

struct MeshPart {
    std::string label;              // "FILE: geob 2" or "FILE: geob 2 burst 1"
    int geob = 0;                   // number of the geob in its file
    int burst = -1;                 // number of the burst when the geob has several
    int material = -1;              // index into MeshSet::materials; -1: the geob names none
    std::vector<float> positions;   // 3 per vertex
    std::vector<float> normals;     // 3 per vertex, or empty
    std::vector<float> texCoords;   // 2 per vertex (v up, as stored), or empty
    std::vector<float> colors;      // 3 per vertex, or empty
    std::vector<uint32_t> indices;  // 3 per triangle, each below the vertex count

    size_t VertexCount() const { return positions.size() / 3; }
};

struct MeshSet {
    std::vector<MaterialInfo> materials;
    std::vector<MeshPart> parts;

    size_t TriangleCount() const;
};

// Appends the geobs of a loaded `geode` to `out`. Broken pieces (indices past
// the vertices, short streams, non-finite positions) are left out with a warning
// that starts with `label`; `folder` is where the file lies.
void ExtractMeshParts(const KvoGeode& geode, const std::string& label, const std::string& folder,
                      MeshSet* out, std::vector<std::string>* warnings);

// Bounding box of every vertex that a triangle uses; false when there is none.
bool UsedBounds(const MeshSet& set, float min[3], float max[3]);

}  // namespace kvoview
