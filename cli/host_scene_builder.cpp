#include "cli/host_scene_builder.h"

namespace kvoscene {

namespace {

Point3 PointAt(const std::vector<float>& v, size_t i) {
    return Point3(v[3 * i], v[3 * i + 1], v[3 * i + 2]);
}

void FillChannelFaces(std::vector<TVFace>& target, ChannelFaces mode,
                      const std::vector<uint32_t>& positionFaces,
                      const std::vector<uint32_t>& ownFaces) {
    const std::vector<uint32_t>& src = mode == ChannelFaces::Own ? ownFaces : positionFaces;
    for (size_t f = 0; f < target.size(); ++f) {
        target[f].setTVerts(src[3 * f], src[3 * f + 1], src[3 * f + 2]);
    }
}

void FillMesh(const kvoscene::Mesh& in, ::Mesh& out) {
    const uint32_t vertexCount = in.VertexCount();
    const uint32_t faceCount = in.FaceCount();
    out.setNumVerts(static_cast<int>(vertexCount));
    for (uint32_t v = 0; v < vertexCount; ++v)
        out.setVert(static_cast<int>(v), PointAt(in.positions, v));
    out.setNumFaces(static_cast<int>(faceCount));
    for (uint32_t f = 0; f < faceCount; ++f) {
        Face& face = out.faces[f];
        face.setVerts(in.faces[3 * f], in.faces[3 * f + 1], in.faces[3 * f + 2]);
        face.setSmGroup(in.smoothing[f]);
        face.setMatID(in.materialIds[f]);
    }
    if (in.uvFaceMode != ChannelFaces::Absent && !in.uvs.empty()) {
        const size_t count = in.uvs.size() / 3;
        out.setNumTVerts(static_cast<int>(count));
        for (size_t i = 0; i < count; ++i) out.tVerts[i] = PointAt(in.uvs, i);
        FillChannelFaces(out.tvFace, in.uvFaceMode, in.faces, in.uvFaces);
    }
    if (in.colorFaceMode != ChannelFaces::Absent && !in.colors.empty()) {
        const size_t count = in.colors.size() / 3;
        out.setNumVertCol(static_cast<int>(count));
        for (size_t i = 0; i < count; ++i) out.vertCol[i] = PointAt(in.colors, i);
        FillChannelFaces(out.vcFace, in.colorFaceMode, in.faces, in.colorFaces);
    }
    if (!in.normals.empty()) {
        std::vector<Point3> normals(vertexCount);
        for (uint32_t v = 0; v < vertexCount; ++v) normals[v] = PointAt(in.normals, v);
        out.SetSpecifiedNormals(normals);
    }
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

Object* ObjectOf(const Node& node) {
    switch (node.kind) {
        case NodeKind::Geometry: {
            TriObject* tri = new TriObject();
            FillMesh(node.mesh, tri->GetMesh());
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

}  // namespace

std::vector<INode*> BuildHostScene(const Scene& scene, HostScene& host) {
    const std::vector<Mtl*> materials = BuildMaterials(scene, host);
    std::vector<INode*> made(scene.nodes.size(), nullptr);
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const Node& in = scene.nodes[i];
        INode* parent = in.parent == kNone ? host.GetRootNode() : made[in.parent];
        INode* node = parent->CreateChild(in.name);
        node->SetObject(ObjectOf(in));
        node->SetObjTM(TransformOf(in));
        if (in.material != kNone) node->SetMtl(materials[in.material]);
        made[i] = node;
    }
    return made;
}

}  // namespace kvoscene
