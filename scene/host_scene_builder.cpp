#include "scene/host_scene_builder.h"

namespace kvoscene {

namespace {

// Gives up a vector's storage; `v` is null when the arrays are only read.
template <class T>
void Release(std::vector<T>* v) {
    if (v != nullptr) std::vector<T>().swap(*v);
}

// The mesh's arrays are built in place, each in one pass and without being
// cleared first.
std::vector<Point3> Points(const std::vector<float>& v) {
    std::vector<Point3> points;
    points.reserve(v.size() / 3);
    for (size_t i = 0; i + 2 < v.size(); i += 3) points.emplace_back(v[i], v[i + 1], v[i + 2]);
    return points;
}

std::vector<TVFace> ChannelFacesOf(ChannelFaces mode, const std::vector<uint32_t>& positionFaces,
                                   const std::vector<uint32_t>& ownFaces, size_t faceCount) {
    const std::vector<uint32_t>& src = mode == ChannelFaces::Own ? ownFaces : positionFaces;
    std::vector<TVFace> faces;
    faces.reserve(faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
        TVFace face;
        face.setTVerts(src[3 * f], src[3 * f + 1], src[3 * f + 2]);
        faces.push_back(face);
    }
    return faces;
}

// Fills the host mesh from `in`. With `owned` (the same mesh, to be emptied),
// each array of `in` is released as soon as the host mesh holds its values, so
// the two meshes are never whole at the same time.
void FillMesh(const kvoscene::Mesh& in, ::Mesh& out, kvoscene::Mesh* owned) {
    const uint32_t faceCount = in.FaceCount();
    out.verts = Points(in.positions);
    out.numVerts = static_cast<int>(out.verts.size());
    Release(owned ? &owned->positions : nullptr);
    out.faces.reserve(faceCount);
    for (uint32_t f = 0; f < faceCount; ++f) {
        Face face;
        face.setVerts(in.faces[3 * f], in.faces[3 * f + 1], in.faces[3 * f + 2]);
        face.setSmGroup(in.smoothing[f]);
        face.setMatID(in.materialIds[f]);
        out.faces.push_back(face);
    }
    out.numFaces = static_cast<int>(faceCount);
    Release(owned ? &owned->smoothing : nullptr);
    Release(owned ? &owned->materialIds : nullptr);
    if (in.uvFaceMode != ChannelFaces::Absent && !in.uvs.empty()) {
        out.tvFace = ChannelFacesOf(in.uvFaceMode, in.faces, in.uvFaces, faceCount);
        out.tVerts = Points(in.uvs);
        out.numTVerts = static_cast<int>(out.tVerts.size());
    }
    Release(owned ? &owned->uvFaces : nullptr);
    Release(owned ? &owned->uvs : nullptr);
    if (in.colorFaceMode != ChannelFaces::Absent && !in.colors.empty()) {
        out.vcFace = ChannelFacesOf(in.colorFaceMode, in.faces, in.colorFaces, faceCount);
        out.vertCol = Points(in.colors);
        out.numCVerts = static_cast<int>(out.vertCol.size());
    }
    Release(owned ? &owned->colorFaces : nullptr);
    Release(owned ? &owned->colors : nullptr);
    Release(owned ? &owned->faces : nullptr);
    if (!in.normals.empty()) out.SetSpecifiedNormals(Points(in.normals));
    Release(owned ? &owned->normals : nullptr);
}

std::vector<Mtl*> BuildMaterials(const Scene& scene, HostScene& host) {
    std::vector<Mtl*> made(scene.materials.size(), nullptr);
    // Standard materials first: multi-materials refer to them.
    for (size_t i = 0; i < scene.materials.size(); ++i) {
        const Material& in = scene.materials[i];
        if (in.multi) continue;
        StdMtl* mtl = host.Make<StdMtl>();
        mtl->SetName(CStr(in.name));
        if (in.hasDiffuseMap) {
            BitmapTex* bitmap = host.Make<BitmapTex>();
            bitmap->SetMapName(in.diffuseMap.c_str());
            mtl->SetSubTexmap(1, bitmap);
        }
        made[i] = mtl;
    }
    for (size_t i = 0; i < scene.materials.size(); ++i) {
        const Material& in = scene.materials[i];
        if (!in.multi) continue;
        MultiMtl* mtl = host.Make<MultiMtl>();
        mtl->SetName(CStr(in.name));
        for (const auto& sub : in.subs)
            mtl->SetSubMtl(static_cast<int>(sub.first), made[sub.second]);
        made[i] = mtl;
    }
    return made;
}

Matrix3 TransformOf(const Node& node) {
    Matrix3 tm;
    for (int row = 0; row < 4; ++row) {
        tm.SetRow(row, Point3(node.transform[3 * row], node.transform[3 * row + 1],
                              node.transform[3 * row + 2]));
    }
    return tm;
}

Object* ObjectOf(const Node& node, Mesh* owned) {
    switch (node.kind) {
        case NodeKind::Geometry: {
            TriObject* tri = new TriObject();
            FillMesh(node.mesh, tri->GetMesh(), owned);
            return tri;
        }
        case NodeKind::Camera:
            return new NonGeomObject(CAMERA_CLASS_ID);
        case NodeKind::Light:
            return new NonGeomObject(LIGHT_CLASS_ID);
        case NodeKind::Helper:
            break;
    }
    return new NonGeomObject(HELPER_CLASS_ID);
}

std::vector<INode*> Build(const Scene& scene, HostScene& host, Scene* owned) {
    const std::vector<Mtl*> materials = BuildMaterials(scene, host);
    std::vector<INode*> made(scene.nodes.size(), nullptr);
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const Node& in = scene.nodes[i];
        INode* parent = in.parent == kNone ? host.GetRootNode() : made[in.parent];
        INode* node = parent->CreateChild(in.name);
        node->SetObject(ObjectOf(in, owned ? &owned->nodes[i].mesh : nullptr));
        node->SetObjTM(TransformOf(in));
        if (in.material != kNone) node->SetMtl(materials[in.material]);
        made[i] = node;
    }
    return made;
}

}  // namespace

std::vector<INode*> BuildHostScene(const Scene& scene, HostScene& host) {
    return Build(scene, host, nullptr);
}

std::vector<INode*> BuildHostScene(Scene&& scene, HostScene& host) {
    return Build(scene, host, &scene);
}

}  // namespace kvoscene
