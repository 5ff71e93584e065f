#include "cli/import/assimp_import.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <climits>
#include <map>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "cli/import/axis_conversion.h"
#include "cli/import/declared_frame.h"
#include "cli/import/file_stem.h"
#include "cli/import/import_files.h"
#include "cli/import/obj_exact_numbers.h"
#include "cli/import/vertex_welder.h"

namespace kvoimport {

using kvoscene::ChannelFaces;
using kvoscene::kNone;
using kvoscene::Material;
using kvoscene::Mesh;
using kvoscene::Node;
using kvoscene::NodeKind;
using kvoscene::Scene;

namespace {

// Deeper hierarchies are refused rather than risking the stack.
constexpr unsigned kMaxDepth = 1000;

// A mesh of the file and where it sits relative to the node that takes it.
struct MeshPart {
    const aiMesh* mesh;
    aiMatrix4x4 relative;
    bool identity;
};

// A mesh's positions and normals in the file's default pose: its morph
// targets applied with their default weights, or the mesh's own arrays.
struct PosedMesh {
    const aiVector3D* positions = nullptr;
    const aiVector3D* normals = nullptr;
    std::vector<aiVector3D> morphedPositions;
    std::vector<aiVector3D> morphedNormals;
};

// Everything known about the file while its nodes are converted.
struct Conversion {
    const aiScene* ai = nullptr;
    Scene* out = nullptr;
    ImportSettings settings;
    std::set<std::string> cameras;
    std::set<std::string> lights;
    std::unordered_set<const aiNode*> visited;
    ObjExactNumbers exact;  // OBJ files only
    std::string fileStem;   // names unnamed nodes, with their position
    std::string error;
};

Vec3 ToZUp(const aiVector3D& v) {
    return YUpToZUp({v.x, v.y, v.z});
}

aiVector3D Exact(const ObjExactNumbers& exact, const aiVector3D& v) {
    if (exact.Empty()) return v;
    return aiVector3D(exact.Fix(v.x), exact.Fix(v.y), exact.Fix(v.z));
}

void AppendPoint(std::vector<float>& to, Vec3 p) {
    to.push_back(p.x);
    to.push_back(p.y);
    to.push_back(p.z);
}

void ToHostTransform(const aiMatrix4x4& m, float out[12]) {
    const float rows[4][4] = {{m.a1, m.a2, m.a3, m.a4},
                              {m.b1, m.b2, m.b3, m.b4},
                              {m.c1, m.c2, m.c3, m.c4},
                              {m.d1, m.d2, m.d3, m.d4}};
    ConvertTransform(rows, out);
}

std::string TexturePath(const aiScene* ai, const aiMaterial* mat, bool& found, bool& embedded) {
    aiString path;
    found = false;
    embedded = false;
    for (aiTextureType type : {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR}) {
        if (mat->GetTexture(type, 0, &path) != AI_SUCCESS || path.length == 0) continue;
        // Textures held inside the file have no file name to pass on.
        embedded = path.data[0] == '*' || ai->GetEmbeddedTexture(path.C_Str()) != nullptr;
        found = !embedded;
        return std::string(path.C_Str(), path.length);
    }
    return {};
}

void ConvertMaterials(Conversion& c) {
    for (unsigned i = 0; i < c.ai->mNumMaterials; ++i) {
        const aiMaterial* mat = c.ai->mMaterials[i];
        Material out;
        aiString name;
        if (mat && mat->Get(AI_MATKEY_NAME, name) == AI_SUCCESS) {
            out.name.assign(name.C_Str(), name.length);
        }
        if (out.name.empty()) out.name = "Material-" + std::to_string(i);
        if (mat) {
            out.diffuseMap = TexturePath(c.ai, mat, out.hasDiffuseMap, out.embeddedDiffuseMap);
        }
        c.out->materials.push_back(std::move(out));
    }
}

bool Fail(Conversion& c, const std::string& message) {
    if (c.error.empty()) c.error = message;
    return false;
}

// Morph targets hold whole positions and normals (the base plus the target's
// offsets): the pose is the base plus each weighted difference.
void PoseMesh(const aiMesh* m, PosedMesh& posed) {
    posed.positions = m->mVertices;
    posed.normals = m->mNormals;
    const unsigned count = m->mNumVertices;
    for (unsigned t = 0; t < m->mNumAnimMeshes; ++t) {
        const aiAnimMesh* target = m->mAnimMeshes[t];
        if (!target || target->mWeight == 0.0f || target->mNumVertices != count) continue;
        const float w = target->mWeight;
        if (target->mVertices && m->mVertices) {
            if (posed.morphedPositions.empty()) {
                posed.morphedPositions.assign(m->mVertices, m->mVertices + count);
            }
            for (unsigned v = 0; v < count; ++v) {
                posed.morphedPositions[v] += (target->mVertices[v] - m->mVertices[v]) * w;
            }
        }
        if (target->mNormals && m->mNormals) {
            if (posed.morphedNormals.empty()) {
                posed.morphedNormals.assign(m->mNormals, m->mNormals + count);
            }
            for (unsigned v = 0; v < count; ++v) {
                posed.morphedNormals[v] += (target->mNormals[v] - m->mNormals[v]) * w;
            }
        }
    }
    if (!posed.morphedPositions.empty()) posed.positions = posed.morphedPositions.data();
    if (!posed.morphedNormals.empty()) {
        for (aiVector3D& n : posed.morphedNormals) n.NormalizeSafe();
        posed.normals = posed.morphedNormals.data();
    }
}

// Triangles, the faces that are kept; lines and points have no surface.
unsigned TriangleCount(const aiMesh* m) {
    unsigned n = 0;
    for (unsigned f = 0; f < m->mNumFaces; ++f) n += m->mFaces[f].mNumIndices == 3 ? 1 : 0;
    return n;
}

std::string MeshLabel(const aiMesh* mesh) {
    return mesh->mName.length ? "'" + std::string(mesh->mName.C_Str()) + "'" : "(unnamed)";
}

// The vertices of a file mesh that stay: with welding, the first of each
// group of vertices that are identical in every channel the node keeps. A mesh
// whose file normals the node drops is smoothed from its own connectivity, which
// welding would change, so it is never welded.
std::vector<uint32_t> WeldMesh(const aiMesh* m, const PosedMesh& posed, bool keepNormals, bool weld,
                               std::vector<uint32_t>& firsts) {
    const uint32_t count = m->mNumVertices;
    if (!weld || (m->mNormals && !keepNormals)) {
        firsts.resize(count);
        for (uint32_t v = 0; v < count; ++v) firsts[v] = v;
        return firsts;
    }
    const aiVector3D* positions = posed.positions;
    const aiVector3D* normals = keepNormals ? posed.normals : nullptr;
    const aiVector3D* uvs = m->mTextureCoords[0];
    const aiColor4D* colors = m->mColors[0];
    const auto hash = [&](uint32_t v) {
        uint64_t h = 0;
        h = HashFloat(HashFloat(HashFloat(h, positions[v].x), positions[v].y), positions[v].z);
        if (normals)
            h = HashFloat(HashFloat(HashFloat(h, normals[v].x), normals[v].y), normals[v].z);
        if (uvs) h = HashFloat(HashFloat(HashFloat(h, uvs[v].x), uvs[v].y), uvs[v].z);
        if (colors) h = HashFloat(HashFloat(HashFloat(h, colors[v].r), colors[v].g), colors[v].b);
        return h;
    };
    const auto same3 = [](const aiVector3D& a, const aiVector3D& b) {
        return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
    };
    const auto same = [&](uint32_t a, uint32_t b) {
        return same3(positions[a], positions[b]) && (!normals || same3(normals[a], normals[b])) &&
               (!uvs || same3(uvs[a], uvs[b])) &&
               (!colors ||
                (SameBits(colors[a].r, colors[b].r) && SameBits(colors[a].g, colors[b].g) &&
                 SameBits(colors[a].b, colors[b].b)));
    };
    return WeldVertices(count, hash, same, firsts);
}

// Appends one file mesh to the node's mesh. `id` is the node-local material ID.
bool AppendMesh(Conversion& c, const MeshPart& part, uint16_t id, bool keepNormals, bool hasUvs,
                bool hasColors, Mesh& to) {
    const aiMesh* m = part.mesh;
    const size_t base = to.positions.size() / 3;
    PosedMesh posed;
    PoseMesh(m, posed);
    std::vector<uint32_t> firsts;
    const std::vector<uint32_t> remap =
        WeldMesh(m, posed, keepNormals, c.settings.joinVertices, firsts);
    if (base + firsts.size() > static_cast<size_t>(INT_MAX)) {
        return Fail(c, "too many vertices in one node");
    }
    const aiMatrix3x3 normalMatrix =
        part.identity ? aiMatrix3x3() : aiMatrix3x3(part.relative).Inverse().Transpose();
    const size_t values = (base + firsts.size()) * 3;
    to.positions.reserve(values);
    if (keepNormals) to.normals.reserve(values);
    if (hasUvs) to.uvs.reserve(values);
    if (hasColors) to.colors.reserve(values);
    for (uint32_t v : firsts) {
        aiVector3D p = Exact(c.exact, posed.positions[v]);
        if (!part.identity) p = part.relative * p;
        AppendPoint(to.positions, ToZUp(p));
        if (keepNormals) {
            aiVector3D n = posed.normals[v];
            if (!part.identity) n = (normalMatrix * n).NormalizeSafe();
            AppendPoint(to.normals, ToZUp(n));
        }
        if (hasUvs) {
            const aiVector3D uv =
                m->mTextureCoords[0] ? m->mTextureCoords[0][v] : aiVector3D(0, 0, 0);
            AppendPoint(to.uvs, {uv.x, uv.y, uv.z});
        }
        if (hasColors) {
            const aiColor4D col = m->mColors[0] ? m->mColors[0][v] : aiColor4D(1, 1, 1, 1);
            AppendPoint(to.colors, {col.r, col.g, col.b});
        }
    }
    const uint32_t smoothing = m->mNormals ? 1 : 0;
    // A mirroring placement turns the moved faces inside out: their corners go 0, 2, 1.
    const bool mirrored = !part.identity && aiMatrix3x3(part.relative).Determinant() < 0;
    to.faces.reserve(to.faces.size() + size_t{m->mNumFaces} * 3);
    for (unsigned f = 0; f < m->mNumFaces; ++f) {
        const aiFace& face = m->mFaces[f];
        if (face.mNumIndices != 3) continue;  // points and lines have no surface
        for (unsigned corner = 0; corner < 3; ++corner) {
            const unsigned k = mirrored ? (3 - corner) % 3 : corner;
            if (face.mIndices[k] >= m->mNumVertices) {
                return Fail(c, "mesh " + MeshLabel(m) + ": face " + std::to_string(f) +
                                   " refers to vertex " + std::to_string(face.mIndices[k]) +
                                   " of " + std::to_string(m->mNumVertices));
            }
            to.faces.push_back(static_cast<uint32_t>(base + remap[face.mIndices[k]]));
        }
        to.materialIds.push_back(id);
        to.smoothing.push_back(smoothing);
    }
    if (to.faces.size() / 3 > static_cast<size_t>(INT_MAX)) {
        return Fail(c, "too many faces in one node");
    }
    return true;
}

// Builds one node's mesh from its parts; faces get a material ID per file
// material in order of first use; several materials give a multi-material.
bool BuildMesh(Conversion& c, const std::vector<MeshPart>& parts, Node& node) {
    std::map<unsigned, uint16_t> ids;
    std::vector<unsigned> order;
    bool allNormals = true, anyUvs = false, anyColors = false;
    for (const MeshPart& part : parts) {
        const unsigned mat = part.mesh->mMaterialIndex;
        if (ids.find(mat) == ids.end()) {
            if (ids.size() > 0xffff) return Fail(c, "more than 65536 materials in one node");
            ids.emplace(mat, static_cast<uint16_t>(ids.size()));
            order.push_back(mat);
        }
        allNormals = allNormals && part.mesh->mNormals != nullptr;
        anyUvs = anyUvs || part.mesh->mTextureCoords[0] != nullptr;
        anyColors = anyColors || part.mesh->mColors[0] != nullptr;
    }
    for (const MeshPart& part : parts) {
        if (!AppendMesh(c, part, ids[part.mesh->mMaterialIndex], allNormals, anyUvs, anyColors,
                        node.mesh)) {
            return false;
        }
    }
    if (anyUvs) node.mesh.uvFaceMode = ChannelFaces::SameAsPositions;
    if (anyColors) node.mesh.colorFaceMode = ChannelFaces::SameAsPositions;

    const auto known = [&](unsigned mat) { return mat < c.out->materials.size(); };
    if (order.size() == 1 && known(order[0])) {
        node.material = order[0];
    } else if (order.size() > 1) {
        Material multi;
        multi.multi = true;
        multi.name = node.name + " Multi";
        for (unsigned mat : order) {
            if (known(mat)) multi.subs.emplace_back(ids[mat], mat);
        }
        node.material = static_cast<uint32_t>(c.out->materials.size());
        c.out->materials.push_back(std::move(multi));
    }
    return true;
}

// The file meshes a node takes: its own, and with `collapse` its whole subtree's.
bool GatherParts(Conversion& c, const aiNode* node, const aiMatrix4x4& relative, bool identity,
                 unsigned depth, bool subtree, std::vector<MeshPart>& parts) {
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        if (node->mMeshes[i] >= c.ai->mNumMeshes || !c.ai->mMeshes[node->mMeshes[i]]) {
            return Fail(c, "node refers to a missing mesh");
        }
        const aiMesh* mesh = c.ai->mMeshes[node->mMeshes[i]];
        unsigned lines = 0, points = 0;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            lines += mesh->mFaces[f].mNumIndices == 2 ? 1 : 0;
            points += mesh->mFaces[f].mNumIndices == 1 ? 1 : 0;
        }
        c.out->losses.lines += lines;
        c.out->losses.points += points;
        // A mesh of lines or points alone is no geometry.
        if (TriangleCount(mesh) > 0) parts.push_back({mesh, relative, identity});
    }
    if (!subtree) return true;
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        const aiNode* child = node->mChildren[i];
        if (!child || !c.visited.insert(child).second) {
            return Fail(c, "the node hierarchy has a cycle");
        }
        const bool childIdentity = identity && child->mTransformation.IsIdentity();
        if (depth >= kMaxDepth) return Fail(c, "the node hierarchy is too deep");
        if (!GatherParts(c, child, relative * child->mTransformation, childIdentity, depth + 1,
                         true, parts)) {
            return false;
        }
    }
    return true;
}

// Names importers make up for nodes that have none: "<MS3DRoot>" and the
// like, and glTF's "nodes[3]".
bool IsPlaceholderName(const std::string& name) {
    if (name.size() >= 2 && name.front() == '<' && name.back() == '>') return true;
    const std::string prefix = "nodes[";
    if (name.size() <= prefix.size() + 1 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.back() != ']') {
        return false;
    }
    return name.find_first_not_of("0123456789", prefix.size()) == name.size() - 1;
}

std::string NodeName(const Conversion& c, const aiNode* node, const std::vector<MeshPart>& parts,
                     const std::string& position) {
    const std::string own(node->mName.C_Str(), node->mName.length);
    if (!own.empty() && !IsPlaceholderName(own)) return own;
    // A node's own mesh names it; a merged subtree's first mesh would not.
    if (node->mNumMeshes > 0 && !parts.empty() && parts[0].mesh->mName.length) {
        const std::string mesh(parts[0].mesh->mName.C_Str(), parts[0].mesh->mName.length);
        if (!IsPlaceholderName(mesh)) return mesh;
    }
    if (node == c.ai->mRootNode && !c.fileStem.empty()) return c.fileStem;
    return (c.fileStem.empty() ? "Node" : c.fileStem) + "-" + position;
}

bool ConvertNode(Conversion& c, const aiNode* node, uint32_t parent, const aiMatrix4x4& parentWorld,
                 const std::string& position, bool rootChild, unsigned depth) {
    if (depth > kMaxDepth) return Fail(c, "the node hierarchy is too deep");
    const aiMatrix4x4 world = parentWorld * node->mTransformation;
    const bool collapse = c.settings.collapse && rootChild;
    std::vector<MeshPart> parts;
    if (!GatherParts(c, node, aiMatrix4x4(), true, depth, collapse, parts)) return false;

    Node out;
    out.name = NodeName(c, node, parts, position);
    out.parent = parent;
    ToHostTransform(world, out.transform);
    const std::string fileName(node->mName.C_Str(), node->mName.length);
    if (!parts.empty()) {
        out.kind = NodeKind::Geometry;
        if (!BuildMesh(c, parts, out)) return false;
    } else if (c.cameras.count(fileName)) {
        out.kind = NodeKind::Camera;
    } else if (c.lights.count(fileName)) {
        out.kind = NodeKind::Light;
    } else {
        out.kind = NodeKind::Helper;
    }
    const uint32_t index = static_cast<uint32_t>(c.out->nodes.size());
    c.out->nodes.push_back(std::move(out));
    if (collapse) return true;
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        const aiNode* child = node->mChildren[i];
        if (!child || !c.visited.insert(child).second) {
            return Fail(c, "the node hierarchy has a cycle");
        }
        if (!ConvertNode(c, child, index, world, position + "-" + std::to_string(i), false,
                         depth + 1)) {
            return false;
        }
    }
    return true;
}

bool ConvertScene(Conversion& c) {
    for (unsigned i = 0; i < c.ai->mNumCameras; ++i) {
        if (c.ai->mCameras[i]) c.cameras.insert(c.ai->mCameras[i]->mName.C_Str());
    }
    for (unsigned i = 0; i < c.ai->mNumLights; ++i) {
        if (c.ai->mLights[i]) c.lights.insert(c.ai->mLights[i]->mName.C_Str());
    }
    ConvertMaterials(c);
    c.out->losses.animations = c.ai->mNumAnimations;
    for (unsigned i = 0; i < c.ai->mNumMeshes; ++i) {
        const aiMesh* mesh = c.ai->mMeshes[i];
        if (!mesh) continue;
        c.out->losses.skinnedMeshes += mesh->mNumBones > 0 ? 1 : 0;
        unsigned extra = 0;
        for (unsigned set = 1; set < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++set) {
            extra += mesh->mTextureCoords[set] ? 1 : 0;
        }
        c.out->losses.extraUvMeshes += extra > 0 ? 1 : 0;
        c.out->losses.extraUvSets += extra;
    }
    const aiNode* root = c.ai->mRootNode;
    if (!root) return Fail(c, "the file has no nodes");
    c.visited.insert(root);
    // The file's root is the host's root, unless it holds meshes itself.
    if (root->mNumMeshes > 0) return ConvertNode(c, root, kNone, aiMatrix4x4(), "0", true, 0);
    for (unsigned i = 0; i < root->mNumChildren; ++i) {
        const aiNode* child = root->mChildren[i];
        if (!child || !c.visited.insert(child).second) {
            return Fail(c, "the node hierarchy has a cycle");
        }
        if (!ConvertNode(c, child, kNone, root->mTransformation, std::to_string(i), true, 1)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ImportWithAssimp(const std::string& path, const ImportSettings& settings, Scene& scene,
                      std::string& error, FilesRead* filesRead) {
    Assimp::Importer importer;
    if (filesRead != nullptr) {
        filesRead->Add(path);
        importer.SetIOHandler(NewRecordingIOSystem(*filesRead));
    }
    // Pivot helpers of FBX files would stand between the root and the objects.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    // Without it, skeleton-only files (lights, cameras, motion) get made-up
    // meshes drawing their bones.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
    // The OBJ numbers are read again, beside Assimp, on a second thread.
    ObjExactNumbers exact;
    std::thread scan;
    struct JoinAtExit {
        std::thread& thread;
        ~JoinAtExit() {
            if (thread.joinable()) thread.join();
        }
    } joinAtExit{scan};
    if (IsObjPath(path)) {
        try {
            scan = std::thread([&exact, &path] { exact.Load(path); });
        } catch (const std::system_error&) {
            exact.Load(path);
        }
    }
    // Welding is done on conversion (exact and linear): Assimp's own step
    // doubles the import time of a large OBJ.
    const aiScene* ai = importer.ReadFile(path, aiProcess_Triangulate);
    if (scan.joinable()) scan.join();
    if (!ai) {
        error = importer.GetErrorString();
        if (error.empty()) error = "the importer gave no scene";
        return false;
    }
    if (filesRead != nullptr) AddNamedTextures(ai, path, *filesRead);
    if (filesRead != nullptr && settings.embeddedImages) {
        filesRead->embeddedImages = DiffuseEmbeddedImages(ai);
    }
    scene = Scene();
    Conversion c;
    c.ai = ai;
    c.out = &scene;
    c.settings = settings;
    c.fileStem = FileStem(path);
    c.exact = std::move(exact);
    if (!ConvertScene(c)) {
        error = c.error;
        scene = Scene();
        return false;
    }
    ConvertFrame(ReadDeclaredFrame(*ai, path), settings.frame, scene);
    return true;
}

}  // namespace kvoimport
