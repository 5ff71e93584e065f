#include "scene/host_scene_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "tests/support/scene_nodes.h"

namespace {

using kvoscene::ChannelFaces;
using kvoscene::NodeKind;

kvoscene::Scene SceneWithEverything() {
    kvoscene::Scene scene;
    kvoscene::Material wood;
    wood.name = "Wood";
    wood.hasDiffuseMap = true;
    wood.diffuseMap = "maps\\wood.png";
    kvoscene::Material plain;
    plain.name = "Plain";
    kvoscene::Material multi;
    multi.name = "Both";
    multi.multi = true;
    multi.subs = {{0, 1}, {3, 0}};
    scene.materials = {wood, plain, multi};

    kvoscene::Node box = testsupport::TriangleNode("Box - 1");
    box.mesh.positions.insert(box.mesh.positions.end(), {5, 5, 5});
    box.mesh.faces.insert(box.mesh.faces.end(), {0, 2, 3});
    box.mesh.materialIds = {0, 3};
    box.mesh.smoothing = {1, 2};
    box.mesh.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 1, 0, 0};
    box.mesh.uvs = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    box.mesh.uvFaceMode = ChannelFaces::SameAsPositions;
    box.mesh.colors = {1, 0, 0, 0, 0, 1};
    box.mesh.colorFaceMode = ChannelFaces::Own;
    box.mesh.colorFaces = {0, 0, 1, 1, 1, 0};
    box.material = 2;
    box.transform[9] = 10;  // translation x
    kvoscene::Node child = testsupport::TriangleNode("child");
    child.parent = 0;
    child.material = 0;
    kvoscene::Node camera;
    camera.name = "Cam";
    camera.kind = NodeKind::Camera;
    kvoscene::Node light;
    light.name = "Sun";
    light.kind = NodeKind::Light;
    kvoscene::Node helper;
    helper.name = "Group";
    scene.nodes = {box, child, camera, light, helper};
    return scene;
}

TEST(HostSceneBuilder, BuildsNodesObjectsTransformsAndHierarchy) {
    HostScene host;
    const std::vector<INode*> nodes = kvoscene::BuildHostScene(SceneWithEverything(), host);
    ASSERT_EQ(nodes.size(), 5u);
    INode* root = host.GetRootNode();
    ASSERT_EQ(root->NumberOfChildren(), 4);
    EXPECT_EQ(root->GetChildNode(0), nodes[0]);
    EXPECT_STREQ(nodes[0]->GetName(), "Box - 1");
    EXPECT_EQ(nodes[1]->GetParentNode(), nodes[0]);
    EXPECT_EQ(nodes[0]->GetObjTMAfterWSM(0).GetRow(3), Point3(10, 0, 0));
    EXPECT_EQ(nodes[0]->GetObjTMAfterWSM(0).GetRow(1), Point3(0, 1, 0));
    const SClass_ID expected[] = {GEOMOBJECT_CLASS_ID, GEOMOBJECT_CLASS_ID, CAMERA_CLASS_ID,
                                  LIGHT_CLASS_ID, HELPER_CLASS_ID};
    for (size_t i = 0; i < nodes.size(); ++i) {
        Object* obj = nodes[i]->EvalWorldState(0).obj;
        ASSERT_NE(obj, nullptr);
        EXPECT_EQ(obj->SuperClassID(), expected[i]) << i;
        EXPECT_FALSE(nodes[i]->Selected());
    }
}

TEST(HostSceneBuilder, FillsTheMeshChannelsAndSpecifiedNormals) {
    HostScene host;
    const std::vector<INode*> nodes = kvoscene::BuildHostScene(SceneWithEverything(), host);
    Object* obj = nodes[0]->EvalWorldState(0).obj;
    ASSERT_TRUE(obj->CanConvertToType(Class_ID(TRIOBJ_CLASS_ID, 0)));
    Mesh& mesh = static_cast<TriObject*>(obj)->GetMesh();
    ASSERT_EQ(mesh.getNumVerts(), 4);
    ASSERT_EQ(mesh.getNumFaces(), 2);
    EXPECT_EQ(mesh.verts[3], Point3(5, 5, 5));
    EXPECT_EQ(mesh.faces[1].v[2], 3u);
    EXPECT_EQ(mesh.faces[1].getMatID(), 3);
    EXPECT_EQ(mesh.faces[1].smGroup, 2u);
    ASSERT_EQ(mesh.getNumTVerts(), 4);
    EXPECT_EQ(mesh.tVerts[3], Point3(1, 1, 0));
    EXPECT_EQ(mesh.tvFace[1].t[1], 2u);  // texture faces are the position faces
    ASSERT_EQ(mesh.numCVerts, 2);
    EXPECT_EQ(mesh.vcFace[1].t[0], 1u);  // colour faces of their own
    EXPECT_EQ(mesh.vcFace[1].t[2], 0u);
    mesh.buildNormals();
    EXPECT_TRUE(mesh.getRVert(3).rFlags & SPECIFIED_NORMAL);
    EXPECT_EQ(mesh.getRVert(3).rn.getNormal(), Point3(1, 0, 0));
}

TEST(HostSceneBuilder, BuildsStandardAndMultiMaterialsWithTheirBitmaps) {
    HostScene host;
    const std::vector<INode*> nodes = kvoscene::BuildHostScene(SceneWithEverything(), host);
    Mtl* multi = nodes[0]->GetMtl();
    ASSERT_NE(multi, nullptr);
    EXPECT_TRUE(multi->IsMultiMtl());
    EXPECT_STREQ(multi->GetName(), "Both");
    ASSERT_NE(multi->GetSubMtl(0), nullptr);
    EXPECT_STREQ(multi->GetSubMtl(0)->GetName(), "Plain");
    EXPECT_EQ(multi->GetSubMtl(1), nullptr);
    Mtl* wood = multi->GetSubMtl(3);
    ASSERT_NE(wood, nullptr);
    EXPECT_EQ(wood, nodes[1]->GetMtl());  // one material object, shared
    Texmap* map = wood->GetSubTexmap(1);
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->ClassID(), Class_ID(BMTEX_CLASS_ID, 0));
    EXPECT_STREQ(static_cast<BitmapTex*>(map)->GetMapName(), "maps\\wood.png");
    EXPECT_EQ(multi->GetSubMtl(0)->GetSubTexmap(1), nullptr);
    EXPECT_EQ(nodes[2]->GetMtl(), nullptr);
}

Mesh& HostMesh(INode* node) {
    return static_cast<TriObject*>(node->EvalWorldState(0).obj)->GetMesh();
}

// Every array and count of two host meshes, and their specified normals.
void ExpectSameHostMesh(Mesh& a, Mesh& b, const std::string& label) {
    SCOPED_TRACE(label);
    EXPECT_EQ(a.numVerts, b.numVerts);
    EXPECT_EQ(a.numFaces, b.numFaces);
    EXPECT_EQ(a.numTVerts, b.numTVerts);
    EXPECT_EQ(a.numCVerts, b.numCVerts);
    EXPECT_EQ(a.verts, b.verts);
    EXPECT_EQ(a.tVerts, b.tVerts);
    EXPECT_EQ(a.vertCol, b.vertCol);
    ASSERT_EQ(a.faces.size(), b.faces.size());
    for (size_t f = 0; f < a.faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(a.faces[f].v[k], b.faces[f].v[k]) << f;
        EXPECT_EQ(a.faces[f].smGroup, b.faces[f].smGroup) << f;
        EXPECT_EQ(a.faces[f].flags, b.faces[f].flags) << f;
    }
    const auto sameTvFaces = [](const std::vector<TVFace>& x, const std::vector<TVFace>& y) {
        if (x.size() != y.size()) return false;
        for (size_t f = 0; f < x.size(); ++f) {
            for (int k = 0; k < 3; ++k)
                if (x[f].t[k] != y[f].t[k]) return false;
        }
        return true;
    };
    EXPECT_TRUE(sameTvFaces(a.tvFace, b.tvFace));
    EXPECT_TRUE(sameTvFaces(a.vcFace, b.vcFace));
    a.buildNormals();
    b.buildNormals();
    for (int v = 0; v < a.numVerts && v < b.numVerts; ++v) {
        EXPECT_EQ(a.getRVert(v).rFlags, b.getRVert(v).rFlags) << v;
        EXPECT_EQ(a.getRVert(v).rn.getNormal(), b.getRVert(v).rn.getNormal()) << v;
    }
}

// Taking the meshes over gives the very host meshes that reading them gives,
// for every way a channel's faces can be given, and leaves only the meshes empty.
TEST(HostSceneBuilder, TakingTheMeshesOverBuildsWhatReadingThemBuilds) {
    struct Case {
        const char* name;
        void (*change)(kvoscene::Mesh&);
    };
    const Case cases[] = {
        {"everything", [](kvoscene::Mesh&) {}},
        {"no normals", [](kvoscene::Mesh& m) { m.normals.clear(); }},
        {"own texture faces",
         [](kvoscene::Mesh& m) {
             m.uvFaceMode = ChannelFaces::Own;
             m.uvFaces = {3, 2, 1, 0, 1, 2};
         }},
        {"colours on the position faces",
         [](kvoscene::Mesh& m) {
             m.colors = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1};
             m.colorFaceMode = ChannelFaces::SameAsPositions;
             m.colorFaces.clear();
         }},
        {"no channels",
         [](kvoscene::Mesh& m) {
             m.uvs.clear();
             m.uvFaceMode = ChannelFaces::Absent;
             m.colors.clear();
             m.colorFaces.clear();
             m.colorFaceMode = ChannelFaces::Absent;
         }},
        {"a channel mode without values",
         [](kvoscene::Mesh& m) {
             m.uvs.clear();
             m.colors.clear();
         }},
    };
    for (const Case& c : cases) {
        kvoscene::Scene scene = SceneWithEverything();
        c.change(scene.nodes[0].mesh);
        HostScene read, taken;
        const std::vector<INode*> readNodes = kvoscene::BuildHostScene(scene, read);
        kvoscene::Scene consumed = scene;
        const std::vector<INode*> takenNodes = kvoscene::BuildHostScene(std::move(consumed), taken);
        ASSERT_EQ(readNodes.size(), takenNodes.size()) << c.name;
        for (size_t i = 0; i < 2; ++i) {
            ExpectSameHostMesh(HostMesh(readNodes[i]), HostMesh(takenNodes[i]),
                               std::string(c.name) + ", node " + std::to_string(i));
        }
        ASSERT_EQ(consumed.nodes.size(), scene.nodes.size());
        for (size_t i = 0; i < scene.nodes.size(); ++i) {
            const kvoscene::Node& before = scene.nodes[i];
            const kvoscene::Node& after = consumed.nodes[i];
            EXPECT_EQ(after.name, before.name) << c.name;
            EXPECT_EQ(after.parent, before.parent) << c.name;
            EXPECT_EQ(after.kind, before.kind) << c.name;
            EXPECT_EQ(after.material, before.material) << c.name;
            EXPECT_TRUE(std::equal(std::begin(after.transform), std::end(after.transform),
                                   std::begin(before.transform)))
                << c.name;
            const kvoscene::Mesh& m = after.mesh;
            EXPECT_TRUE(m.positions.empty() && m.faces.empty() && m.materialIds.empty() &&
                        m.smoothing.empty() && m.normals.empty() && m.uvs.empty() &&
                        m.uvFaces.empty() && m.colors.empty() && m.colorFaces.empty())
                << c.name << ", node " << i;
        }
        EXPECT_EQ(consumed.materials.size(), scene.materials.size()) << c.name;
    }
}

}  // namespace
