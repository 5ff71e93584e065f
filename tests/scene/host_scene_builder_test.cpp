#include "scene/host_scene_builder.h"

#include <gtest/gtest.h>

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

}  // namespace
