#include "export/geob_builder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "export/material_extraction.h"
#include "generators/i_logger.h"
#include "kvo/kvo_geode.h"

namespace exporter {

namespace {

// An index that names nothing: every array lookup with it misses.
constexpr uint32_t kMissing = 0xFFFFFFFFu;

// Twice the most keys a geob can hold, so linear probing stays short.
constexpr int kKeyTableBits = 17;
constexpr size_t kKeyTableSize = size_t(1) << kKeyTableBits;
static_assert(kKeyTableSize >= 2 * 3 * kMaxFacesPerGeob, "key table too small");

// Host indices are 32-bit, so a corner key packs into 64 bits.
static_assert(sizeof(DWORD) == 4, "host indices are 32-bit");
uint32_t Index32(DWORD value) {
    return static_cast<uint32_t>(value);
}

size_t Bounded(int count, size_t stored) {
    return count <= 0 ? 0 : std::min(static_cast<size_t>(count), stored);
}

// The mesh arrays with the sizes every lookup is checked against.
struct MeshView {
    explicit MeshView(const Mesh& mesh)
        : faces(mesh.faces.data()),
          faceCount(Bounded(mesh.numFaces, mesh.faces.size())),
          verts(mesh.verts.data()),
          vertCount(Bounded(mesh.numVerts, mesh.verts.size())),
          tvFace(mesh.tvFace.data()),
          tvFaceCount(std::min(mesh.tvFace.size(), faceCount)),
          tVerts(mesh.tVerts.data()),
          tVertCount(Bounded(mesh.numTVerts, mesh.tVerts.size())),
          vcFace(mesh.vcFace.data()),
          vcFaceCount(std::min(mesh.vcFace.size(), faceCount)),
          vertCol(mesh.vertCol.data()),
          vertColCount(Bounded(mesh.numCVerts, mesh.vertCol.size())),
          hasColors(mesh.numCVerts != 0) {}

    const Face* faces;
    size_t faceCount;
    const Point3* verts;
    size_t vertCount;
    const TVFace* tvFace;
    size_t tvFaceCount;
    const UVVert* tVerts;
    size_t tVertCount;
    const TVFace* vcFace;
    size_t vcFaceCount;
    const VertColor* vertCol;
    size_t vertColCount;
    bool hasColors;
};

// Geob arrays come from malloc so that KvoGeob::FreeArrays releases them.
template <class T>
bool Allocate(T*& array, size_t count) {
    array = count ? static_cast<T*>(std::malloc(count * sizeof(T))) : nullptr;
    return count == 0 || array != nullptr;
}

void AxisChange(const Point3& p, float* out) {
    out[0] = p.x;
    out[1] = p.z;
    out[2] = -p.y;
}

struct GeobOptions {
    bool localize;
    bool normals;
    bool upNormals;
    bool colors;
    bool log;
};

// Writes the output vertex streams, one vertex per distinct corner key.
bool EmitVertices(const MeshView& view, Mesh& mesh, const Matrix3& objectTM,
                  const GeobOptions& options, GeobScratch& scratch, int32_t outputs,
                  KvoGeob& geob) {
    const size_t count = static_cast<size_t>(outputs);
    if (!Allocate(geob.vertices, 3 * count) || !Allocate(geob.texCoords, 2 * count)) return false;
    geob.vertexCount = outputs;
    geob.texCoordCount = outputs;
    if (options.normals && count) {
        if (!Allocate(geob.normals, 3 * count)) return false;
        geob.normalCount = outputs;
    }
    if (options.colors && count) {
        if (!Allocate(geob.colors, 3 * count)) return false;
        geob.colorCount = outputs;
    }

    for (size_t o = 0; o < count; ++o) {
        const uint32_t k = scratch.firstCorner[o];
        const uint64_t key = scratch.cornerKeys[k];
        const uint32_t v = static_cast<uint32_t>(key >> 32);
        const uint32_t t = static_cast<uint32_t>(key);
        const bool vertexKnown = v < view.vertCount;

        Point3 position = vertexKnown ? view.verts[v] : Point3();
        if (!options.localize) position = objectTM * position;
        AxisChange(position, geob.vertices + 3 * o);

        const UVVert uv = t < view.tVertCount ? view.tVerts[t] : UVVert();
        geob.texCoords[2 * o] = uv.x;
        geob.texCoords[2 * o + 1] = uv.y;

        if (geob.normals) {
            float* normal = geob.normals + 3 * o;
            if (options.upNormals) {
                normal[0] = 0.0f;
                normal[1] = 1.0f;
                normal[2] = 0.0f;
            } else {
                const int face = scratch.Vertex(v).firstFace;
                AxisChange(vertexKnown
                               ? GetVertexNormal(mesh, face, mesh.getRVert(static_cast<int>(v)))
                               : mesh.getFaceNormal(face),
                           normal);
            }
        }
        if (geob.colors) {
            // A corner without a usable colour index keeps the stream parallel with black.
            const uint32_t ci = scratch.cornerColors[k];
            const VertColor colour = ci < view.vertColCount ? view.vertCol[ci] : VertColor();
            geob.colors[3 * o] = colour.x;
            geob.colors[3 * o + 1] = colour.y;
            geob.colors[3 * o + 2] = colour.z;
        }
    }
    geob.burstLength[0] = 3 * outputs;
    return true;
}

void LogGeob(ILogger& log, int position, const KvoGeob& geob) {
    log.Print("\t\tGeob%i\n", position);
    log.Print("\t\t\tMaterial Index ... %i\n", static_cast<int>(geob.materialIndex));
    log.Print("\t\t\tFaces ............ %i\n", static_cast<int>(geob.indexCount / 3));
    log.Print("\t\t\tVertices ......... %i\n", static_cast<int>(geob.vertexCount));
    log.Print("\t\t\tTexCoords ........ %i\n", static_cast<int>(geob.texCoordCount));
    log.Print("\t\t\tNormals .......... %i\n", static_cast<int>(geob.normalCount));
    log.Print("\t\t\tVertex Colors .... %i\n", static_cast<int>(geob.colorCount));
}

// Builds one geob from faces[start, start + n). False on a cancellation (or when
// the face list names a face the mesh does not have, or memory runs out).
bool BuildGeob(ExportContext& context, const MeshView& view, Mesh& mesh, const Matrix3& objectTM,
               const GeobOptions& options, GeobScratch& scratch, KvoGeob& geob, int materialIndex,
               const std::vector<int32_t>& faces, size_t start, size_t n) {
    const size_t corners = 3 * n;
    geob.materialIndex = materialIndex;
    geob.burstMaterial[0] = materialIndex;
    geob.indexCount = static_cast<int32_t>(corners);
    if (!Allocate(geob.indices, corners)) return false;

    scratch.BeginGeob(view.vertCount, corners);
    uint64_t* keys = scratch.cornerKeys.data();
    uint32_t* colours = scratch.cornerColors.data();

    // Corner pass: keys, first faces and colour indices in face-list order.
    size_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        if (context.IsCancelled()) return false;
        const int32_t f = faces[start + i];
        if (f < 0 || static_cast<size_t>(f) >= view.faceCount) return false;
        const Face& face = view.faces[f];
        const TVFace* tv = static_cast<size_t>(f) < view.tvFaceCount ? &view.tvFace[f] : nullptr;
        const TVFace* vc = static_cast<size_t>(f) < view.vcFaceCount ? &view.vcFace[f] : nullptr;
        for (int j = 0; j < 3; ++j, ++c) {
            if (context.IsCancelled()) return false;
            const uint32_t v = Index32(face.v[j]);
            const uint32_t t = tv ? Index32(tv->t[j]) : 0;
            keys[c] = (static_cast<uint64_t>(v) << 32) | t;
            scratch.Enter(v, f);
            if (view.hasColors) colours[c] = vc ? Index32(vc->t[j]) : kMissing;
        }
        context.StepProgress(1);
    }

    // Vertex pass: first-appearance numbering of the corner keys. Most vertices have
    // one texture vertex and hit their slot; only split vertices reach the hash table.
    int32_t outputs = 0;
    for (size_t k = 0; k < corners; ++k) {
        if (context.IsCancelled()) return false;
        const uint64_t key = keys[k];
        const uint32_t t = static_cast<uint32_t>(key);
        GeobScratch::VertexSlot& slot = scratch.Vertex(static_cast<uint32_t>(key >> 32));
        int32_t output;
        if (slot.firstOutput < 0) {
            output = outputs;
            slot.firstOutput = output;
            slot.firstTexVert = t;
        } else if (slot.firstTexVert == t) {
            output = slot.firstOutput;
        } else {
            output = scratch.FindOrAddKey(key, outputs);
        }
        if (output == outputs) scratch.firstCorner[outputs++] = static_cast<uint32_t>(k);
        geob.indices[k] = static_cast<uint16_t>(output);
    }

    return EmitVertices(view, mesh, objectTM, options, scratch, outputs, geob);
}

}  // namespace

GeobScratch::GeobScratch() = default;
GeobScratch::~GeobScratch() = default;

void GeobScratch::BeginGeob(size_t vertexCount, size_t corners) {
    if (++stamp_ == 0) {  // stamps wrapped: forget every slot once
        std::fill(vertices_.begin(), vertices_.end(), VertexSlot{0, 0, -1, 0});
        if (keys_) std::fill(keys_.get(), keys_.get() + kKeyTableSize, KeySlot{0, 0, 0});
        stamp_ = 1;
    }
    if (vertices_.size() < vertexCount) vertices_.resize(vertexCount, VertexSlot{0, 0, -1, 0});
    if (!outOfRange_.empty()) outOfRange_.clear();
    if (cornerKeys.size() < corners) cornerKeys.resize(corners);
    if (cornerColors.size() < corners) cornerColors.resize(corners);
    if (firstCorner.size() < corners) firstCorner.resize(corners);
}

GeobScratch::VertexSlot& GeobScratch::Vertex(uint32_t v) {
    if (v < vertices_.size()) return vertices_[v];
    return outOfRange_.try_emplace(v, VertexSlot{0, 0, -1, 0}).first->second;
}

void GeobScratch::Enter(uint32_t v, int32_t face) {
    VertexSlot& slot = Vertex(v);
    if (slot.stamp == stamp_) return;
    slot.stamp = stamp_;
    slot.firstFace = face;
    slot.firstOutput = -1;
}

int32_t GeobScratch::FindOrAddKey(uint64_t key, int32_t candidate) {
    if (!keys_) keys_.reset(new KeySlot[kKeyTableSize]());
    const size_t mask = kKeyTableSize - 1;
    size_t i = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - kKeyTableBits));
    for (;; i = (i + 1) & mask) {
        KeySlot& slot = keys_[i];
        if (slot.stamp != stamp_) {
            slot = KeySlot{key, stamp_, candidate};
            return candidate;
        }
        if (slot.key == key) return slot.output;
    }
}

Point3 GetVertexNormal(Mesh& mesh, int face, RVertex& rv) {
    if (face < 0 || static_cast<size_t>(face) >= mesh.faces.size()) return Point3();
    const DWORD smoothing = mesh.faces[face].smGroup;
    if (rv.rFlags & SPECIFIED_NORMAL) return rv.rn.getNormal();
    const DWORD normalCount = rv.rFlags & NORCT_MASK;
    if (normalCount == 0 || smoothing == 0) return mesh.getFaceNormal(face);
    if (normalCount == 1) return rv.rn.getNormal();
    // The last normal that shares a smoothing bit with the face; the face normal when none does.
    Point3 result = mesh.getFaceNormal(face);
    const size_t stored = std::min<size_t>(normalCount, rv.ern.size());
    for (size_t i = 0; i < stored; ++i) {
        if (rv.ern[i].getSmGroup() & smoothing) result = rv.ern[i].getNormal();
    }
    return result;
}

bool BuildGroupGeobs(ExportContext& context, INode* node, Mesh& mesh, const Matrix3& objectTM,
                     KvoGeob* geobs, KvoMaterial* materials, int& geobCount, int materialIndex,
                     uint32_t materialId, const std::vector<int32_t>& faces, GeobScratch* scratch,
                     bool* tableFull) {
    if (tableFull) *tableFull = false;
    BuildMaterial(context, node, materials, materialIndex, static_cast<int>(materialId));

    GeobScratch ownScratch;
    GeobScratch& work = scratch ? *scratch : ownScratch;
    const MeshView view(mesh);
    const ExportOptions& settings = context.Options();
    const GeobOptions options{settings.localize, settings.exportNormals, settings.upNormals,
                              settings.exportVertexColors && view.hasColors, settings.generateLog};

    size_t remaining = faces.size();
    size_t start = 0;
    for (;;) {
        if (context.IsCancelled()) return false;
        if (geobCount >= KvoGeode::kMaxGeobs) {  // the table is full: the rest is left out
            if (tableFull) *tableFull = true;
            break;
        }
        const size_t n = std::min(remaining, static_cast<size_t>(kMaxFacesPerGeob));
        KvoGeob& geob = geobs[geobCount];
        if (!BuildGeob(context, view, mesh, objectTM, options, work, geob, materialIndex, faces,
                       start, n)) {
            return false;
        }
        if (options.log) LogGeob(context.ExportLog(), geobCount, geob);
        ++geobCount;
        remaining -= n;
        start += n;
        if (remaining == 0) break;
    }
    context.StepProgress(context.ObjectExtraSteps() / 2);
    return true;
}

}  // namespace exporter
