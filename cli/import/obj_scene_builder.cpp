#include "cli/import/obj_scene_builder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <unordered_map>

#include "cli/import/axis_conversion.h"
#include "cli/import/vertex_welder.h"

namespace kvoimport {

namespace {

struct Point {
    float x, y, z;
};

Point Minus(const float* a, const float* b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

// Scaled by the inverse of its length; a zero vector stays as it is.
Point Normalized(Point p) {
    const float length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    if (length == 0.0f) return p;
    const float inverse = 1.0f / length;
    return {p.x * inverse, p.y * inverse, p.z * inverse};
}

float Dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

const float kZero[3] = {0, 0, 0};

// One file mesh with the channels the importer gives it.
struct MeshView {
    const ObjModel& model;
    const ObjMesh& mesh;
    bool normals, uvs, colors;

    const float* Position(const ObjCorner& c) const { return &model.positions[size_t{c.v} * 3]; }
    const float* NormalOf(const ObjCorner& c) const {
        return c.vn != kObjNoIndex ? &model.normals[size_t{c.vn} * 3] : kZero;
    }
    const float* UvOf(const ObjCorner& c) const {
        return c.vt != kObjNoIndex ? &model.uvs[size_t{c.vt} * 3] : kZero;
    }
    const float* ColorOf(const ObjCorner& c) const {
        return c.v < model.ColorCount() ? &model.colors[size_t{c.v} * 3] : kZero;
    }
};

MeshView ViewOf(const ObjModel& model, const ObjMesh& mesh) {
    return {model, mesh, !model.normals.empty() && mesh.anyNormals,
            !model.uvs.empty() && mesh.anyUvs, !model.colors.empty()};
}

uint64_t Hash3(uint64_t h, const float* v) {
    return HashFloat(HashFloat(HashFloat(h, v[0]), v[1]), v[2]);
}

bool Same3(const float* a, const float* b) {
    return SameBits(a[0], b[0]) && SameBits(a[1], b[1]) && SameBits(a[2], b[2]);
}

void Append(std::vector<float>& to, const float* v) {
    to.insert(to.end(), v, v + 3);
}

void AppendZUp(std::vector<float>& to, const float* v) {
    const Vec3 z = YUpToZUp({v[0], v[1], v[2]});
    to.push_back(z.x);
    to.push_back(z.y);
    to.push_back(z.z);
}

// Scratch of the index merge, kept across meshes: per position, the first
// index triple of that position + 1 (0: none), cleared after each mesh.
struct WeldScratch {
    std::vector<uint32_t> head;
    std::vector<uint32_t> next;     // per triple: the next triple of its position + 1
    std::vector<uint32_t> triples;  // per triple: its first corner
};

// A position's triples are chained; one with more than this many (a pole of
// many seams) has its mesh merged through a hash table instead.
constexpr uint32_t kLongestChain = 64;

// Gives each corner the number of its index triple (in order of first use),
// comparing only the indices of the channels kept. False when a chain grew
// too long.
bool MergeIndicesByChain(const std::vector<ObjCorner>& corners, uint32_t uvMask,
                         uint32_t normalMask, WeldScratch& s, std::vector<uint32_t>& tripleOf) {
    bool ok = true;
    for (uint32_t k = 0; k < tripleOf.size() && ok; ++k) {
        const ObjCorner& c = corners[k];
        uint32_t t = s.head[c.v];
        for (uint32_t steps = 0; t != 0; t = s.next[t - 1]) {
            const ObjCorner& f = corners[s.triples[t - 1]];
            if (((f.vt ^ c.vt) & uvMask) == 0 && ((f.vn ^ c.vn) & normalMask) == 0) break;
            if (++steps == kLongestChain) {
                ok = false;
                break;
            }
        }
        if (t == 0) {
            s.triples.push_back(k);
            s.next.push_back(s.head[c.v]);
            t = static_cast<uint32_t>(s.triples.size());
            s.head[c.v] = t;
        }
        tripleOf[k] = t - 1;
    }
    for (uint32_t first : s.triples) s.head[corners[first].v] = 0;
    return ok;
}

// The corners that stay (each the first of its group of corners identical in
// every channel kept), as the Assimp path welds a file mesh's vertices. Corners
// of the same indices are merged first, which needs no value; the values are
// then compared once per distinct index triple, in the same first-use order.
std::vector<uint32_t> WeldCorners(const MeshView& m, bool keepNormals, bool weld,
                                  WeldScratch& scratch, std::vector<uint32_t>& firsts) {
    const std::vector<ObjCorner>& corners = m.mesh.corners;
    const uint32_t count = static_cast<uint32_t>(corners.size());
    if (!weld || (m.normals && !keepNormals)) {
        firsts.resize(count);
        for (uint32_t v = 0; v < count; ++v) firsts[v] = v;
        return firsts;
    }
    const bool normals = keepNormals && m.normals;
    // The indices that matter: an index of a channel the mesh does not keep does not.
    const uint32_t uvMask = m.uvs ? 0xffffffffu : 0, normalMask = normals ? 0xffffffffu : 0;
    std::vector<uint32_t> tripleOf(count);
    scratch.next.clear();
    scratch.triples.clear();
    std::vector<uint32_t>& triples = scratch.triples;
    if (!MergeIndicesByChain(corners, uvMask, normalMask, scratch, tripleOf)) {
        const auto indexHash = [&](uint32_t k) {
            const ObjCorner& c = corners[k];
            uint64_t h = (c.v * 0x9e3779b97f4a7c15ull) ^ ((c.vt & uvMask) * 0xc2b2ae3d27d4eb4full);
            h ^= (c.vn & normalMask) * 0x165667b19e3779f9ull;
            return h ^ (h >> 29);
        };
        const auto sameIndices = [&](uint32_t a, uint32_t b) {
            const ObjCorner& x = corners[a];
            const ObjCorner& y = corners[b];
            return x.v == y.v && ((x.vt ^ y.vt) & uvMask) == 0 && ((x.vn ^ y.vn) & normalMask) == 0;
        };
        tripleOf = WeldVertices(count, indexHash, sameIndices, triples);
    }

    const auto hash = [&](uint32_t t) {
        const ObjCorner& c = corners[triples[t]];
        uint64_t h = Hash3(0, m.Position(c));
        if (normals) h = Hash3(h, m.NormalOf(c));
        if (m.uvs) h = Hash3(h, m.UvOf(c));
        if (m.colors) h = Hash3(h, m.ColorOf(c));
        return h;
    };
    const auto same = [&](uint32_t a, uint32_t b) {
        const ObjCorner& ca = corners[triples[a]];
        const ObjCorner& cb = corners[triples[b]];
        return Same3(m.Position(ca), m.Position(cb)) &&
               (!normals || Same3(m.NormalOf(ca), m.NormalOf(cb))) &&
               (!m.uvs || Same3(m.UvOf(ca), m.UvOf(cb))) &&
               (!m.colors || Same3(m.ColorOf(ca), m.ColorOf(cb)));
    };
    const std::vector<uint32_t> classOf =
        WeldVertices(static_cast<uint32_t>(triples.size()), hash, same, firsts);
    for (uint32_t& first : firsts) first = triples[first];
    for (uint32_t& t : tripleOf) t = classOf[t];
    return tripleOf;
}

bool AppendMesh(const MeshView& m, uint16_t id, bool keepNormals, bool hasUvs, bool hasColors,
                bool weld, WeldScratch& scratch, kvoscene::Mesh& to, std::string& error) {
    const size_t base = to.positions.size() / 3;
    std::vector<uint32_t> firsts;
    const std::vector<uint32_t> remap = WeldCorners(m, keepNormals, weld, scratch, firsts);
    if (base + firsts.size() > static_cast<size_t>(INT_MAX)) {
        error = "too many vertices in one node";
        return false;
    }
    const size_t values = (base + firsts.size()) * 3;
    to.positions.reserve(values);
    if (keepNormals) to.normals.reserve(values);
    if (hasUvs) to.uvs.reserve(values);
    if (hasColors) to.colors.reserve(values);
    static const float kWhite[3] = {1, 1, 1};
    for (uint32_t v : firsts) {
        const ObjCorner& c = m.mesh.corners[v];
        AppendZUp(to.positions, m.Position(c));
        if (keepNormals) AppendZUp(to.normals, m.NormalOf(c));
        if (hasUvs) Append(to.uvs, m.uvs ? m.UvOf(c) : kZero);
        if (hasColors) Append(to.colors, m.colors ? m.ColorOf(c) : kWhite);
    }
    const uint32_t smoothing = m.normals ? 1 : 0;
    size_t triangles = 0;
    for (uint8_t size : m.mesh.faceSizes) triangles += size - 2u;
    to.faces.reserve(to.faces.size() + triangles * 3);
    to.materialIds.reserve(to.materialIds.size() + triangles);
    to.smoothing.reserve(to.smoothing.size() + triangles);
    const auto corner = [&](size_t k) { return static_cast<uint32_t>(base + remap[k]); };
    size_t first = 0;
    for (uint8_t size : m.mesh.faceSizes) {
        if (size == 3) {
            to.faces.insert(to.faces.end(), {corner(first), corner(first + 1), corner(first + 2)});
        } else {
            const float* points[4];
            for (unsigned k = 0; k < 4; ++k) points[k] = m.Position(m.mesh.corners[first + k]);
            const unsigned s = QuadFanStart(points);
            const size_t a = first + s, b = first + (s + 1) % 4, c = first + (s + 2) % 4,
                         d = first + (s + 3) % 4;
            to.faces.insert(to.faces.end(),
                            {corner(a), corner(b), corner(c), corner(a), corner(c), corner(d)});
        }
        first += size;
    }
    to.materialIds.insert(to.materialIds.end(), triangles, id);
    to.smoothing.insert(to.smoothing.end(), triangles, smoothing);
    if (to.faces.size() / 3 > static_cast<size_t>(INT_MAX)) {
        error = "too many faces in one node";
        return false;
    }
    return true;
}

bool BuildNodeMesh(const ObjModel& model, const std::vector<const ObjMesh*>& parts,
                   const ImportSettings& settings, WeldScratch& scratch, kvoscene::Scene& scene,
                   kvoscene::Node& node, std::string& error) {
    std::unordered_map<uint32_t, uint16_t> ids;
    std::vector<uint32_t> order;
    bool allNormals = true, anyUvs = false, anyColors = false;
    for (const ObjMesh* part : parts) {
        const MeshView m = ViewOf(model, *part);
        const uint32_t mat = part->material == kObjNoIndex ? 0 : part->material;
        if (ids.find(mat) == ids.end()) {
            if (ids.size() > 0xffff) {
                error = "more than 65536 materials in one node";
                return false;
            }
            ids.emplace(mat, static_cast<uint16_t>(ids.size()));
            order.push_back(mat);
        }
        allNormals = allNormals && m.normals;
        anyUvs = anyUvs || m.uvs;
        anyColors = anyColors || m.colors;
    }
    for (const ObjMesh* part : parts) {
        const uint32_t mat = part->material == kObjNoIndex ? 0 : part->material;
        if (!AppendMesh(ViewOf(model, *part), ids[mat], allNormals, anyUvs, anyColors,
                        settings.joinVertices, scratch, node.mesh, error)) {
            return false;
        }
    }
    if (anyUvs) node.mesh.uvFaceMode = kvoscene::ChannelFaces::SameAsPositions;
    if (anyColors) node.mesh.colorFaceMode = kvoscene::ChannelFaces::SameAsPositions;
    if (order.size() == 1) {
        node.material = order[0];
    } else {
        kvoscene::Material multi;
        multi.multi = true;
        multi.name = node.name + " Multi";
        for (uint32_t mat : order) multi.subs.emplace_back(ids[mat], mat);
        node.material = static_cast<uint32_t>(scene.materials.size());
        scene.materials.push_back(std::move(multi));
    }
    return true;
}

}  // namespace

unsigned QuadFanStart(const float* const corners[4]) {
    const float kPi = static_cast<float>(3.1415926538);
    for (unsigned i = 0; i < 4; ++i) {
        const float* v = corners[i];
        const Point left = Normalized(Minus(corners[(i + 3) % 4], v));
        const Point diagonal = Normalized(Minus(corners[(i + 2) % 4], v));
        const Point right = Normalized(Minus(corners[(i + 1) % 4], v));
        const float angle = std::acos(Dot(left, diagonal)) + std::acos(Dot(right, diagonal));
        if (angle > kPi) return i;
    }
    return 0;
}

bool BuildObjScene(const ObjModel& model, const ImportSettings& settings,
                   const std::string& fileStem, kvoscene::Scene& scene, std::string& error) {
    scene = kvoscene::Scene();
    for (size_t i = 0; i < model.materials.size(); ++i) {
        const ObjMaterial& from = model.materials[i];
        kvoscene::Material out;
        out.name = from.name.empty() ? "Material-" + std::to_string(i) : from.name;
        const std::string& map = from.textures[kObjDiffuse];
        if (!map.empty()) {
            out.diffuseMap = map;
            out.embeddedDiffuseMap = map[0] == '*';
            out.hasDiffuseMap = !out.embeddedDiffuseMap;
        }
        scene.materials.push_back(std::move(out));
    }
    // The file's root has no transform of its own: each object's is the Y-up
    // identity seen from Z-up.
    const float identity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    float transform[12];
    ConvertTransform(identity, transform);
    scene.nodes.reserve(model.objects.size());
    std::vector<const ObjMesh*> parts;
    WeldScratch scratch;
    if (settings.joinVertices) scratch.head.assign(model.PositionCount(), 0);
    for (size_t i = 0; i < model.objects.size(); ++i) {
        const ObjObject& object = model.objects[i];
        parts.clear();
        for (uint32_t mesh : object.meshes) {
            if (!model.meshes[mesh].faceSizes.empty()) parts.push_back(&model.meshes[mesh]);
        }
        kvoscene::Node node;
        if (!object.name.empty()) {
            node.name = object.name;
        } else if (!parts.empty() && !parts[0]->name.empty()) {
            node.name = parts[0]->name;
        } else {
            node.name = (fileStem.empty() ? "Node" : fileStem) + "-" + std::to_string(i);
        }
        std::copy(transform, transform + 12, node.transform);
        if (!parts.empty()) {
            node.kind = kvoscene::NodeKind::Geometry;
            if (!BuildNodeMesh(model, parts, settings, scratch, scene, node, error)) {
                scene = kvoscene::Scene();
                return false;
            }
        } else {
            node.kind = kvoscene::NodeKind::Helper;
        }
        scene.nodes.push_back(std::move(node));
    }
    return true;
}

}  // namespace kvoimport
