// Scene nodes, object conversion and materials of the host stand-in.
#include "platform/max/host_scene.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const Class_ID kTriClass(TRIOBJ_CLASS_ID, 0);

// Counts its own destruction, so tests see who deletes objects.
class CountedObject : public TriObject {
public:
    explicit CountedObject(int* deleted) : deleted_(deleted) {}
    ~CountedObject() override { ++*deleted_; }

private:
    int* deleted_;
};

TEST(Materials, SubMaterialsByNumberOnly) {
    HostScene scene;
    auto* multi = scene.Make<MultiMtl>();
    auto* red = scene.Make<StdMtl>();
    auto* blue = scene.Make<StdMtl>();
    multi->SetSubMtl(3, red);
    multi->SetSubMtl(7, blue);
    multi->SetSubMtl(-2, red);  // ignored
    EXPECT_EQ(1, multi->IsMultiMtl());
    EXPECT_EQ(0, red->IsMultiMtl());
    EXPECT_EQ(8, multi->NumSubMtls());
    struct Case {
        int number;
        Mtl* expected;
    };
    const Case cases[] = {{3, red},           {7, blue},         {0, nullptr},  {4, nullptr},
                          {8, nullptr},       {-1, nullptr},     {-2, nullptr}, {65535, nullptr},
                          {INT_MAX, nullptr}, {INT_MIN, nullptr}};
    for (const Case& c : cases) EXPECT_EQ(c.expected, multi->GetSubMtl(c.number)) << c.number;
    multi->SetSubMtl(7, nullptr);
    EXPECT_EQ(nullptr, multi->GetSubMtl(7));
    EXPECT_EQ(4, multi->NumSubMtls());
    EXPECT_EQ(nullptr, red->GetSubMtl(0));
}

TEST(Materials, TextureSlots) {
    HostScene scene;
    auto* mtl = scene.Make<StdMtl>();
    auto* bitmap = scene.Make<BitmapTex>();
    bitmap->SetMapName("D:\\maps\\body.bmp");
    mtl->SetSubTexmap(1, bitmap);
    mtl->SetSubTexmap(StdMtl::kSlots, bitmap);  // ignored
    mtl->SetSubTexmap(-1, bitmap);              // ignored
    EXPECT_EQ(StdMtl::kSlots, mtl->NumSubTexmaps());
    for (int i : {-1, 0, 2, StdMtl::kSlots - 1, StdMtl::kSlots, INT_MAX}) {
        EXPECT_EQ(nullptr, mtl->GetSubTexmap(i)) << i;
    }
    Texmap* diffuse = mtl->GetSubTexmap(1);
    ASSERT_EQ(bitmap, diffuse);
    EXPECT_TRUE(diffuse->ClassID() == Class_ID(BMTEX_CLASS_ID, 0));
    EXPECT_STREQ("D:\\maps\\body.bmp", bitmap->GetMapName());
    EXPECT_FALSE(scene.Make<ProceduralTex>()->ClassID() == Class_ID(BMTEX_CLASS_ID, 0));
}

TEST(Objects, TriObjectConvertsToItself) {
    TriObject tri;
    EXPECT_EQ(1, tri.CanConvertToType(kTriClass));
    EXPECT_EQ(&tri, tri.ConvertToType(0, kTriClass));
    EXPECT_EQ(0, tri.CanConvertToType(Class_ID(9, 1)));
    EXPECT_EQ(nullptr, tri.ConvertToType(0, Class_ID(9, 1)));
    EXPECT_EQ(GEOMOBJECT_CLASS_ID, tri.SuperClassID());
}

TEST(Objects, EditableGeometryConvertsToNewTriObjectEachTime) {
    Mesh mesh;
    mesh.setNumVerts(3);
    mesh.setVert(2, Point3(1, 2, 3));
    EditableGeomObject editable(mesh);
    ASSERT_EQ(1, editable.CanConvertToType(kTriClass));
    std::unique_ptr<Object> first(editable.ConvertToType(0, kTriClass));
    std::unique_ptr<Object> second(editable.ConvertToType(0, kTriClass));
    ASSERT_NE(nullptr, first);
    ASSERT_NE(first.get(), second.get());
    EXPECT_NE(static_cast<Object*>(&editable), first.get());
    auto* tri = static_cast<TriObject*>(first.get());
    EXPECT_TRUE(tri->ClassID() == kTriClass);
    EXPECT_EQ(Point3(1, 2, 3), tri->GetMesh().getVert(2));
    tri->GetMesh().setVert(2, Point3());  // a copy: the source keeps its mesh
    EXPECT_EQ(Point3(1, 2, 3), editable.mesh.getVert(2));

    EditableGeomObject refusing(mesh, false);
    EXPECT_EQ(0, refusing.CanConvertToType(kTriClass));
    EXPECT_EQ(nullptr, refusing.ConvertToType(0, kTriClass));
    EXPECT_EQ(0, editable.CanConvertToType(Class_ID(0x1234, 0)));
}

TEST(Nodes, ObjectsAndTransformsByTime) {
    int deleted = 0;
    INode node;
    EXPECT_EQ(nullptr, node.EvalWorldState(0).obj);
    EXPECT_TRUE(node.GetObjTMAfterWSM(0) == Matrix3());
    auto* early = new CountedObject(&deleted);
    auto* late = new CountedObject(&deleted);
    node.SetObject(early, 10);
    node.SetObject(late, 100);
    node.SetObjTM(TransMatrix({1, 0, 0}), 10);
    node.SetObjTM(TransMatrix({2, 0, 0}), 100);
    struct Case {
        TimeValue t;
        Object* obj;
        float x;
    };
    const Case cases[] = {{INT_MIN, early, 1}, {0, early, 1},  {10, early, 1},    {99, early, 1},
                          {100, late, 2},      {101, late, 2}, {INT_MAX, late, 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.obj, node.EvalWorldState(c.t).obj) << c.t;
        Interval valid;
        EXPECT_EQ(c.x, node.GetObjTMAfterWSM(c.t, &valid).GetRow(3).x) << c.t;
        EXPECT_TRUE(valid.start <= c.t && c.t <= valid.end);
    }
    node.SetHidden(true);
    EXPECT_EQ(early, node.EvalWorldState(0).obj);
    EXPECT_EQ(nullptr, node.EvalWorldState(0, FALSE).obj);
    EXPECT_EQ(0, deleted);
}

TEST(Nodes, NodeOwnsItsObjects) {
    int deleted = 0;
    {
        INode node;
        auto* a = new CountedObject(&deleted);
        auto* b = new CountedObject(&deleted);
        node.SetObject(a, 0);
        node.SetObject(a, 0);  // same object again: kept
        EXPECT_EQ(0, deleted);
        node.SetObject(a, 5);  // one object at two keys
        node.SetObject(b, 0);  // a is still held at time 5
        EXPECT_EQ(0, deleted);
        node.SetObject(b, 5);  // a released now
        EXPECT_EQ(1, deleted);
        EXPECT_EQ(b, node.EvalWorldState(3).obj);
    }
    EXPECT_EQ(2, deleted);  // b once, though it sat at two keys
    INode node;
    node.SetObject(new CountedObject(&deleted), 0);
    node.SetObject(nullptr, 0);
    EXPECT_EQ(3, deleted);
    EXPECT_EQ(nullptr, node.EvalWorldState(0).obj);
}

TEST(Nodes, TreeOfChildren) {
    int deleted = 0;
    {
        HostScene scene;
        INode* root = scene.GetRootNode();
        ASSERT_NE(nullptr, root);
        EXPECT_STREQ("Scene Root", root->GetName());
        EXPECT_EQ(nullptr, root->GetParentNode());
        INode* box = root->CreateChild("Box01");
        INode* lamp = root->CreateChild("Lamp");
        INode* nested = box->CreateChild("Nested");
        nested->SetObject(new CountedObject(&deleted));
        box->SetObject(new CountedObject(&deleted));
        box->SetSelected(true);
        EXPECT_EQ(2, root->NumberOfChildren());
        EXPECT_EQ(box, root->GetChildNode(0));
        EXPECT_EQ(lamp, root->GetChildNode(1));
        EXPECT_EQ(nullptr, root->GetChildNode(2));
        EXPECT_EQ(nullptr, root->GetChildNode(-1));
        EXPECT_EQ(root, box->GetParentNode());
        EXPECT_EQ(box, nested->GetParentNode());
        EXPECT_STREQ("Box01", box->GetName());
        EXPECT_EQ(1, box->Selected());
        EXPECT_EQ(0, lamp->Selected());
        auto* mtl = scene.Make<StdMtl>();
        box->SetMtl(mtl);
        EXPECT_EQ(mtl, box->GetMtl());
        EXPECT_EQ(nullptr, lamp->GetMtl());
    }
    EXPECT_EQ(2, deleted);
}

}  // namespace
