// Turns one material group of a mesh into geobs of at most 21845 triangles:
// corners de-duplicated by (vertex, texture vertex) in order of first
// appearance, positions and normals moved to Y-up as (x, z, -y).
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

// Working storage of the builder, reused across the geobs and groups of one node so
// that no corner costs an allocation and nothing has to be cleared between geobs.
class GeobScratch {
public:
    GeobScratch();
    ~GeobScratch();
    GeobScratch(const GeobScratch&) = delete;
    GeobScratch& operator=(const GeobScratch&) = delete;

    // Per mesh vertex, valid while `stamp` equals the current geob's stamp: the
    // first face that used the vertex and the vertex's first output key.
    struct VertexSlot {
        uint32_t stamp;
        int32_t firstFace;
        int32_t firstOutput;  // -1 until the vertex pass reaches the vertex
        uint32_t firstTexVert;
    };

    // Starts a geob of `corners` corners over a mesh of `vertexCount` vertices.
    void BeginGeob(size_t vertexCount, size_t corners);
    VertexSlot& Vertex(uint32_t v);
    // Records `face` as the vertex's first face unless the geob has one already.
    void Enter(uint32_t v, int32_t face);
    // The output index of `key`, or `candidate` after entering it with that index.
    int32_t FindOrAddKey(uint64_t key, int32_t candidate);

    std::vector<uint64_t> cornerKeys;    // (vertex << 32) | texture vertex
    std::vector<uint32_t> cornerColors;  // colour index per corner, when the mesh has colours
    std::vector<uint32_t> firstCorner;   // per output vertex, the corner that made it

private:
    struct KeySlot {
        uint64_t key;
        uint32_t stamp;
        int32_t output;
    };

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

}  // namespace exporter
