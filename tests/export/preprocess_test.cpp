// Selection pre-processing: which nodes are prepared, how faces are grouped,
// when the run's cancellation stops it.
#include "export/preprocess.h"

#include <gtest/gtest.h>

#include "export_test_support.h"

namespace exporttest {
namespace {

using Groups = std::map<uint32_t, std::vector<int32_t>>;

Mesh Triangles(const std::vector<uint16_t>& materialIds) {
    std::vector<FaceSpec> faces;
    for (uint16_t id : materialIds) faces.push_back({{0, 1, 2}, 1, id});
    return MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, faces);
}

struct PreprocessRun {
    PreprocessRun() {
        context.scene = &scene;
        context.running = true;
    }
    HostScene scene;
    FakeContext context;
};

TEST(Preprocess, GroupsFacesByMaterialIdInOnePassInUnsignedOrder) {
    PreprocessRun run;
    AddMeshNode(run.scene, "Box01", Triangles({5, 0, 5, 2, 0xFFFF, 0x8000, 2}));
    exporter::Preprocess(run.context);
    ASSERT_EQ(run.context.nodes.size(), 1u);
    const PreparedNode& prepared = *run.context.nodes[0];
    EXPECT_EQ(prepared.faceCount, 7u);
    EXPECT_EQ(prepared.facesByMaterial,
              (Groups{{0, {1}}, {2, {3, 6}}, {5, {0, 2}}, {0x8000, {5}}, {0xFFFF, {4}}}));
    EXPECT_EQ(run.context.polls, 7u);  // once per face
    EXPECT_EQ(run.context.detailTexts, std::vector<std::string>{"Status: Preprocess"});
}

TEST(Preprocess, TakesSelectedGeometryAmongTheRootsChildrenOnlyAndLogsTheRest) {
    PreprocessRun run;
    ScratchDir dir;
    run.context.log->Open(dir.File("log.txt"));  // left open by an earlier run
    AddMeshNode(run.scene, "First", Triangles({0}));
    AddMeshNode(run.scene, "Unselected", Triangles({0}), false);
    INode* parent = AddMeshNode(run.scene, "Parent", Triangles({0, 0}), false);
    INode* linked = parent->CreateChild("Linked");
    linked->SetObject(new TriObject);
    linked->SetSelected(true);
    INode* camera = run.scene.GetRootNode()->CreateChild("Camera01");
    camera->SetObject(new NonGeomObject(CAMERA_CLASS_ID));
    camera->SetSelected(true);
    INode* light = run.scene.GetRootNode()->CreateChild("Omni01");
    light->SetObject(new NonGeomObject(LIGHT_CLASS_ID));
    light->SetSelected(true);
    INode* empty = run.scene.GetRootNode()->CreateChild("Nothing");
    empty->SetSelected(true);
    INode* stubborn = run.scene.GetRootNode()->CreateChild("Patch 01");
    stubborn->SetObject(new EditableGeomObject(Triangles({0}), false));
    stubborn->SetSelected(true);
    AddMeshNode(run.scene, "Empty", Mesh());

    exporter::Preprocess(run.context);
    run.context.CloseSideFiles();

    ASSERT_EQ(run.context.nodes.size(), 2u);
    EXPECT_EQ(run.context.objectCount, 2u);
    EXPECT_STREQ(run.context.nodes[0]->node->GetName(), "First");
    EXPECT_STREQ(run.context.nodes[1]->node->GetName(), "Empty");
    EXPECT_EQ(run.context.nodes[1]->faceCount, 0u);
    EXPECT_TRUE(run.context.nodes[1]->facesByMaterial.empty());
    EXPECT_EQ(ReadFile(dir.File("log.txt")),
              CrLf("Valdrin KVO Exporter Log\n======================\n"
                   "\tERROR: Cannot export node 'Camera01': not a geometry object\n\n"
                   "\tERROR: Cannot export node 'Omni01': not a geometry object\n\n"
                   "\tERROR: Cannot export node 'Nothing': not a geometry object\n\n"
                   "\tERROR: Cannot get TriObject from node 'Patch 01'\n\n"));
}

TEST(Preprocess, EvaluatesAtTimeZero) {
    PreprocessRun run;
    INode* node = AddMeshNode(run.scene, "Animated", Triangles({0}));
    node->SetObject(new EditableGeomObject(Triangles({0, 1, 2})), 100);
    node->SetObjTM(TransMatrix(Point3(1, 2, 3)), 0);
    node->SetObjTM(TransMatrix(Point3(7, 8, 9)), 100);
    exporter::Preprocess(run.context);
    ASSERT_EQ(run.context.nodes.size(), 1u);
    EXPECT_EQ(run.context.nodes[0]->faceCount, 1u);
    EXPECT_TRUE(run.context.nodes[0]->objectTM == TransMatrix(Point3(1, 2, 3)));
    EXPECT_EQ(run.context.nodes[0]->createdTriObject, nullptr);  // the node's own object
}

TEST(Preprocess, EvaluatesHiddenNodesToo) {
    PreprocessRun run;
    AddMeshNode(run.scene, "Hidden", Triangles({0, 3}))->SetHidden(true);
    int deletions = 0;
    INode* converted = run.scene.GetRootNode()->CreateChild("Hidden Converted");
    converted->SetObject(new ConvertingObject(Triangles({1}), &deletions));
    converted->SetSelected(true);
    converted->SetHidden(true);
    exporter::Preprocess(run.context);
    ASSERT_EQ(run.context.nodes.size(), 2u);
    EXPECT_EQ(run.context.nodes[0]->facesByMaterial, (Groups{{0, {0}}, {3, {1}}}));
    EXPECT_EQ(run.context.nodes[1]->facesByMaterial, (Groups{{1, {0}}}));
}

TEST(Preprocess, DeletesOnlyTheTriObjectsItCreated) {
    PreprocessRun run;
    int deletions = 0;
    INode* converted = run.scene.GetRootNode()->CreateChild("Converted");
    converted->SetObject(new ConvertingObject(Triangles({0, 0}), &deletions));
    converted->SetSelected(true);
    AddMeshNode(run.scene, "Own", Triangles({0}));
    exporter::Preprocess(run.context);
    ASSERT_EQ(run.context.nodes.size(), 2u);
    EXPECT_NE(run.context.nodes[0]->createdTriObject, nullptr);
    EXPECT_EQ(run.context.nodes[0]->faceCount, 2u);
    EXPECT_EQ(deletions, 0);
    exporter::ReleaseNodes(run.context);
    EXPECT_EQ(deletions, 1);
    EXPECT_TRUE(run.context.nodes.empty());
    // The node's own TriObject is still there to be evaluated.
    EXPECT_NE(run.scene.GetRootNode()->GetChildNode(1)->EvalWorldState(0).obj, nullptr);
}

TEST(Preprocess, ACancelStopsAtOnceKeepingWhatWasGrouped) {
    PreprocessRun run;
    AddMeshNode(run.scene, "A", Triangles({0, 1}));
    AddMeshNode(run.scene, "B", Triangles({0, 1, 0}));
    AddMeshNode(run.scene, "C", Triangles({0}));
    run.context.cancelAtPoll = 4;  // the second face of B
    exporter::Preprocess(run.context);
    ASSERT_EQ(run.context.nodes.size(), 2u);
    EXPECT_EQ(run.context.objectCount, 2u);
    EXPECT_EQ(run.context.nodes[1]->faceCount, 1u);
    EXPECT_EQ(run.context.nodes[1]->facesByMaterial, (Groups{{0, {0}}}));
    EXPECT_EQ(run.context.polls, 4u);
}

TEST(Preprocess, StartsAfreshEachRun) {
    PreprocessRun run;
    AddMeshNode(run.scene, "A", Triangles({0}));
    exporter::Preprocess(run.context);
    run.context.objectsDone = 1;
    exporter::Preprocess(run.context);
    EXPECT_EQ(run.context.nodes.size(), 1u);
    EXPECT_EQ(run.context.objectCount, 1u);
    EXPECT_EQ(run.context.objectsDone, 0u);
}

TEST(Preprocess, StopsWhenTheSceneGoesAwayWhileMessagesArePumped) {
    PreprocessRun run;
    AddMeshNode(run.scene, "A", Triangles({0, 0}));
    AddMeshNode(run.scene, "B", Triangles({0}));
    run.context.onPoll = [&run](uint64_t poll) {
        if (poll == 2) run.context.scene = nullptr;  // the panel closed
    };
    exporter::Preprocess(run.context);
    EXPECT_EQ(run.context.nodes.size(), 1u);
}

}  // namespace
}  // namespace exporttest
