// Turns one material group of a mesh into geobs of at most 21845 triangles:
// corners de-duplicated in order of first appearance by vertex, texture vertex,
// the normal seen from the corner's face (with "Normals") and the colour index
// (with "Vertex Colors"); positions and normals moved to Y-up as (x, z, -y).
// In world coordinates a mirroring transform reverses each triangle's corners
// (0, 2, 1), so that the winding agrees with the moved normals.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "export/export_context.h"
#include "kvo/kvo_geob.h"
#include "kvo/kvo_material.h"
#include "platform/max/max_sdk.h"

namespace exporter {

// 21845 faces give 65535 indices, the most a 16-bit index list can address.
constexpr int kMaxFacesPerGeob = 21845;

// Moves normals as the node's transform moves surfaces: by the inverse transpose
// of its 3x3 part, then normalised. Worked in double from the cofactors, so a
// mirroring transform keeps normals pointing out and no platform rounds otherwise.
class NormalTransform {
public:
    explicit NormalTransform(const Matrix3& objectTM);
    // A normal whose image has no finite length becomes the zero vector.
    Point3 Apply(const Point3& normal) const;
    // Whether the transform mirrors (its 3x3 part has a negative determinant), so
    // that moved triangles need their corner order reversed to keep facing out.
    bool Mirrors() const { return mirrors_; }

private:
    double columns_[3][3];  // the cofactor rows, signed by the determinant
    bool mirrors_ = false;
};

// Working storage of the builder, reused across the geobs and groups of one node so
// that no corner costs an allocation and nothing has to be cleared between geobs.
class GeobScratch {
public:
    GeobScratch();
    ~GeobScratch();
    GeobScratch(const GeobScratch&) = delete;
    GeobScratch& operator=(const GeobScratch&) = delete;

    // Per mesh vertex, valid while `stamp` equals the current geob's stamp: the
    // output vertex of the vertex's first corner.
    struct VertexSlot {
        uint32_t stamp;
        int32_t firstOutput;
    };

    // Starts a geob of `corners` corners over a mesh of `vertexCount` vertices.
    void BeginGeob(size_t vertexCount, size_t corners);
    // The vertex's slot; `fresh` tells that the geob has not used the vertex yet.
    VertexSlot& Vertex(uint32_t v, bool& fresh);
    // The output index of the key with `hash` for which `same(output)` holds, or
    // `candidate` after entering the key with that index.
    template <class Same>
    int32_t FindOrAddKey(uint64_t hash, int32_t candidate, Same same);

    std::vector<uint64_t> cornerKeys;    // (vertex << 32) | texture vertex
    std::vector<uint32_t> cornerColors;  // colour index per corner, when the mesh has colours
    std::vector<uint32_t> firstCorner;   // per output vertex, the corner that made it
    std::vector<Point3> outputNormals;   // per output vertex, its object-frame normal when keyed

private:
    struct KeySlot {
        uint64_t hash;
        uint32_t stamp;
        int32_t output;
    };
    static constexpr int kKeyTableBits = 17;  // twice the most keys a geob holds
    static constexpr size_t kKeyTableSize = size_t(1) << kKeyTableBits;
    static_assert(kKeyTableSize >= 2 * 3 * kMaxFacesPerGeob, "key table too small");
    KeySlot* Keys();

    uint32_t stamp_ = 0;
    std::vector<VertexSlot> vertices_;
    std::unordered_map<uint32_t, VertexSlot> outOfRange_;  // vertex indices past the mesh
    std::unique_ptr<KeySlot[]> keys_;                      // open addressing, linear probing
};

// Fills the group's material record, then one geob per 21845 faces from
// geobs[geobCount] on, advancing geobCount. Returns false on a cancellation.
// Stops at the end of the 200-record table; `tableFull` then tells that faces were
// left out. `scratch` may be null.
bool BuildGroupGeobs(ExportContext& context, INode* node, Mesh& mesh, const Matrix3& objectTM,
                     KvoGeob* geobs, KvoMaterial* materials, int& geobCount, int materialIndex,
                     uint32_t materialId, const std::vector<int32_t>& faces,
                     GeobScratch* scratch = nullptr, bool* tableFull = nullptr);

// The normal of a mesh vertex as seen from a face, from the render vertex that
// Mesh::buildNormals prepared.
Point3 GetVertexNormal(Mesh& mesh, int face, RVertex& rv);

template <class Same>
int32_t GeobScratch::FindOrAddKey(uint64_t hash, int32_t candidate, Same same) {
    KeySlot* keys = Keys();
    const size_t mask = kKeyTableSize - 1;
    for (size_t i = static_cast<size_t>(hash >> (64 - kKeyTableBits));; i = (i + 1) & mask) {
        KeySlot& slot = keys[i];
        if (slot.stamp != stamp_) {
            slot = KeySlot{hash, stamp_, candidate};
            return candidate;
        }
        if (slot.hash == hash && same(slot.output)) return slot.output;
    }
}

}  // namespace exporter
