#include "export/geob_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "export/material_extraction.h"
#include "generators/i_logger.h"
#include "kvo/kvo_geode.h"

namespace exporter {

namespace {

// An index that names nothing: every array lookup with it misses.
constexpr uint32_t kMissing = 0xFFFFFFFFu;

// The other de-duplications: the import's vertex welder (cli/import/vertex_welder.h)
// and the optimiser's weld (kvo/kvo_optimizer_weld.cpp).
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

// The console host's import turns Y-up into Z-up the other way
// (cli/import/axis_conversion.h), so this gives back the file's coordinates.
void AxisChange(const Point3& p, float* out) {
    out[0] = p.x;
    out[1] = p.z;
    out[2] = -p.y;
}

struct GeobOptions {
    bool localize;
    bool reverseCorners;  // positions moved by a mirroring transform
    bool normals;
    bool upNormals;
    bool colors;
    bool log;
    // The corner key holds the corner's own normal when the normals vary.
    bool KeyNormals() const { return normals && !upNormals; }
};

uint32_t FloatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Normals compare by their bits, so corners that share an output vertex emit the same bits.
bool SameNormal(const Point3& a, const Point3& b) {
    return FloatBits(a.x) == FloatBits(b.x) && FloatBits(a.y) == FloatBits(b.y) &&
           FloatBits(a.z) == FloatBits(b.z);
}

uint64_t Mix(uint64_t h, uint64_t value) {
    h = (h ^ value) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 31);
}

// Writes the output vertex streams, one vertex per distinct corner key.
bool EmitVertices(const MeshView& view, const NormalTransform& normalTM, const Matrix3& objectTM,
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

        Point3 position = v < view.vertCount ? view.verts[v] : Point3();
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
                const Point3& n = scratch.outputNormals[o];
                AxisChange(options.localize ? n : normalTM.Apply(n), normal);
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
bool BuildGeob(ExportContext& context, const MeshView& view, Mesh& mesh,
               const NormalTransform& normalTM, const Matrix3& objectTM, const GeobOptions& options,
               GeobScratch& scratch, KvoGeob& geob, int materialIndex,
               const std::vector<int32_t>& faces, size_t start, size_t n) {
    const size_t corners = 3 * n;
    geob.materialIndex = materialIndex;
    geob.burstMaterial[0] = materialIndex;
    geob.indexCount = static_cast<int32_t>(corners);
    if (!Allocate(geob.indices, corners)) return false;

    const bool keyNormals = options.KeyNormals();
    const bool keyColours = options.colors;  // the option is on and the mesh has colours
    scratch.BeginGeob(view.vertCount, corners);
    uint64_t* keys = scratch.cornerKeys.data();
    uint32_t* colours = scratch.cornerColors.data();
    Point3* outputNormals = scratch.outputNormals.data();

    // Corner pass: keys and colour indices in face-list order, each face's corners in
    // its own order or, under a mirroring transform, reversed.
    static const int kForward[3] = {0, 1, 2};
    static const int kReversed[3] = {0, 2, 1};
    const int* order = options.reverseCorners ? kReversed : kForward;
    size_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        if (context.IsCancelled()) return false;
        const int32_t f = faces[start + i];
        if (f < 0 || static_cast<size_t>(f) >= view.faceCount) return false;
        const Face& face = view.faces[f];
        const TVFace* tv = static_cast<size_t>(f) < view.tvFaceCount ? &view.tvFace[f] : nullptr;
        const TVFace* vc = static_cast<size_t>(f) < view.vcFaceCount ? &view.vcFace[f] : nullptr;
        for (int corner = 0; corner < 3; ++corner, ++c) {
            if (context.IsCancelled()) return false;
            const int j = order[corner];
            const uint32_t v = Index32(face.v[j]);
            const uint32_t t = tv ? Index32(tv->t[j]) : 0;
            keys[c] = (static_cast<uint64_t>(v) << 32) | t;
            if (view.hasColors) colours[c] = vc ? Index32(vc->t[j]) : kMissing;
        }
        context.StepProgress(1);
    }

    // Whether corner k, seeing `normal`, has the key of output vertex `output`.
    const auto sameKey = [&](size_t k, int32_t output, const Point3& normal) {
        const uint32_t first = scratch.firstCorner[output];
        return keys[k] == keys[first] && (!keyColours || colours[k] == colours[first]) &&
               (!keyNormals || SameNormal(normal, outputNormals[output]));
    };

    // Vertex pass: first-appearance numbering of the corner keys, each corner with the
    // normal seen from its own face. Most corners match their vertex's first output;
    // only split vertices reach the hash table.
    int32_t outputs = 0;
    Point3 normal;
    for (size_t k = 0; k < corners; ++k) {
        if (context.IsCancelled()) return false;
        const uint32_t v = static_cast<uint32_t>(keys[k] >> 32);
        if (keyNormals) {
            // A vertex past the mesh has no render vertex: it sees the face normal.
            const int f = faces[start + k / 3];
            normal = v < view.vertCount
                         ? GetVertexNormal(mesh, f, mesh.getRVert(static_cast<int>(v)))
                         : mesh.getFaceNormal(f);
        }
        bool fresh = false;
        GeobScratch::VertexSlot& slot = scratch.Vertex(v, fresh);
        int32_t output;
        if (fresh) {
            output = outputs;
            slot.firstOutput = output;
        } else if (sameKey(k, slot.firstOutput, normal)) {
            output = slot.firstOutput;
        } else {
            uint64_t hash = Mix(0, keys[k]);
            if (keyColours) hash = Mix(hash, colours[k]);
            if (keyNormals) {
                hash = Mix(Mix(Mix(hash, FloatBits(normal.x)), FloatBits(normal.y)),
                           FloatBits(normal.z));
            }
            output = scratch.FindOrAddKey(
                hash, outputs, [&](int32_t existing) { return sameKey(k, existing, normal); });
        }
        if (output == outputs) {
            scratch.firstCorner[outputs] = static_cast<uint32_t>(k);
            if (keyNormals) outputNormals[outputs] = normal;
            ++outputs;
        }
        geob.indices[k] = static_cast<uint16_t>(output);
    }

    return EmitVertices(view, normalTM, objectTM, options, scratch, outputs, geob);
}

}  // namespace

NormalTransform::NormalTransform(const Matrix3& objectTM) {
    double row[3][3];
    for (int i = 0; i < 3; ++i) {
        const Point3& r = objectTM.GetRow(i);
        row[i][0] = r.x;
        row[i][1] = r.y;
        row[i][2] = r.z;
    }
    // Cofactor row i is the cross product of the other two axis rows; their sum
    // weighted by a normal is the normal's image under the inverse transpose, times det.
    for (int i = 0; i < 3; ++i) {
        const double* a = row[(i + 1) % 3];
        const double* b = row[(i + 2) % 3];
        columns_[i][0] = a[1] * b[2] - a[2] * b[1];
        columns_[i][1] = a[2] * b[0] - a[0] * b[2];
        columns_[i][2] = a[0] * b[1] - a[1] * b[0];
    }
    const double det =
        row[0][0] * columns_[0][0] + row[0][1] * columns_[0][1] + row[0][2] * columns_[0][2];
    mirrors_ = det < 0.0;
    if (mirrors_) {
        for (auto& column : columns_) {
            for (double& value : column) value = -value;
        }
    }
}

Point3 NormalTransform::Apply(const Point3& normal) const {
    // Written out in scalars: a small array here costs a store-forwarding stall per call.
    const double nx = normal.x, ny = normal.y, nz = normal.z;
    const double x = nx * columns_[0][0] + ny * columns_[1][0] + nz * columns_[2][0];
    const double y = nx * columns_[0][1] + ny * columns_[1][1] + nz * columns_[2][1];
    const double z = nx * columns_[0][2] + ny * columns_[1][2] + nz * columns_[2][2];
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0) || !std::isfinite(length)) return Point3();
    const double scale = 1.0 / length;
    return {static_cast<float>(x * scale), static_cast<float>(y * scale),
            static_cast<float>(z * scale)};
}

GeobScratch::GeobScratch() = default;
GeobScratch::~GeobScratch() = default;

void GeobScratch::BeginGeob(size_t vertexCount, size_t corners) {
    if (++stamp_ == 0) {  // stamps wrapped: forget every slot once
        std::fill(vertices_.begin(), vertices_.end(), VertexSlot{0, -1});
        if (keys_) std::fill(keys_.get(), keys_.get() + kKeyTableSize, KeySlot{0, 0, 0});
        stamp_ = 1;
    }
    if (vertices_.size() < vertexCount) vertices_.resize(vertexCount, VertexSlot{0, -1});
    if (!outOfRange_.empty()) outOfRange_.clear();
    if (cornerKeys.size() < corners) cornerKeys.resize(corners);
    if (cornerColors.size() < corners) cornerColors.resize(corners);
    if (outputNormals.size() < corners) outputNormals.resize(corners);
    if (firstCorner.size() < corners) firstCorner.resize(corners);
}

GeobScratch::VertexSlot& GeobScratch::Vertex(uint32_t v, bool& fresh) {
    VertexSlot& slot = v < vertices_.size()
                           ? vertices_[v]
                           : outOfRange_.try_emplace(v, VertexSlot{0, -1}).first->second;
    fresh = slot.stamp != stamp_;
    slot.stamp = stamp_;
    return slot;
}

GeobScratch::KeySlot* GeobScratch::Keys() {
    if (!keys_) keys_.reset(new KeySlot[kKeyTableSize]());
    return keys_.get();
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
    const NormalTransform normalTM(objectTM);
    const bool reverseCorners = !settings.localize && normalTM.Mirrors();
    const GeobOptions options{settings.localize,
                              reverseCorners,
                              settings.exportNormals,
                              settings.upNormals,
                              settings.exportVertexColors && view.hasColors,
                              settings.generateLog};

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
        if (!BuildGeob(context, view, mesh, normalTM, objectTM, options, work, geob, materialIndex,
                       faces, start, n)) {
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
