// The importer's arrays checked against the counts it claims: every array the
// conversion reads, shortened in turn, is refused with its name before a read.
#include "cli/import/importer_arrays.h"

#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "cli/import/assimp_import.h"

namespace {

// Vertices of the test mesh: enough that an array cut to one or two elements
// is shorter than its count by far more than an allocator may round a small
// block up (glibc hands out up to 31 bytes more than asked).
constexpr unsigned kVertices = 64;

// A scene of one triangle mesh below one root child, with normals, texture
// coordinates, colours and a named material; its two faces use the first
// three of its vertices.
std::unique_ptr<aiScene> Triangle() {
    auto scene = std::make_unique<aiScene>();
    aiMesh* m = new aiMesh();
    m->mName = aiString(std::string("Tri"));
    m->mNumVertices = kVertices;
    m->mVertices = new aiVector3D[kVertices]();
    m->mVertices[1] = {1, 0, 0};
    m->mVertices[2] = {0, 1, 0};
    m->mNormals = new aiVector3D[kVertices]();
    for (unsigned v = 0; v < kVertices; ++v) m->mNormals[v] = {0, 0, 1};
    m->mTextureCoords[0] = new aiVector3D[kVertices]();
    m->mColors[0] = new aiColor4D[kVertices]();
    m->mNumFaces = 2;
    m->mFaces = new aiFace[2];
    for (unsigned f = 0; f < 2; ++f) {
        m->mFaces[f].mNumIndices = 3;
        m->mFaces[f].mIndices = new unsigned[3]{0, 1, 2};
    }
    scene->mNumMeshes = 1;
    scene->mMeshes = new aiMesh* [1] { m };
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial* [1] { new aiMaterial() };
    const aiString name(std::string("Wood"));
    scene->mMaterials[0]->AddProperty(&name, AI_MATKEY_NAME);
    scene->mRootNode = new aiNode("root");
    aiNode* child = new aiNode("Part");
    child->mParent = scene->mRootNode;
    child->mNumMeshes = 1;
    child->mMeshes = new unsigned[1]{0};
    scene->mRootNode->mNumChildren = 1;
    scene->mRootNode->mChildren = new aiNode* [1] { child };
    return scene;
}

// Makes one array short, by more than an allocator rounds a block up (outside
// the sanitizers the check sees the block's usable size, not the size asked
// for, see kVertices); returns what puts the scene back into a state it can free.
using Shorten = std::function<std::function<void()>(aiScene&)>;

template <class T>
std::function<void()> Replace(T*& array, unsigned held) {
    delete[] array;
    array = new T[held]();
    return [] {};
}

std::function<void()> Claim(unsigned& count, unsigned more) {
    count += more;
    return [&count, more] { count -= more; };
}

struct Case {
    const char* name;
    Shorten shorten;
    const char* cause;  // expected in the error
};

TEST(ImporterArrays, EveryArrayShorterThanItsCountIsRefusedBeforeAnyRead) {
    const Case cases[] = {
        // The glTF 1 case: a 1-element normal array for every vertex.
        {"normals", [](aiScene& s) { return Replace(s.mMeshes[0]->mNormals, 1); }, "normals"},
        {"positions", [](aiScene& s) { return Replace(s.mMeshes[0]->mVertices, 2); }, "positions"},
        {"texture coordinates",
         [](aiScene& s) { return Replace(s.mMeshes[0]->mTextureCoords[0], 2); },
         "texture coordinates"},
        {"colours", [](aiScene& s) { return Replace(s.mMeshes[0]->mColors[0], 1); }, "colours"},
        {"vertex count", [](aiScene& s) { return Claim(s.mMeshes[0]->mNumVertices, 100); },
         "164 vertices claimed"},
        {"faces", [](aiScene& s) { return Claim(s.mMeshes[0]->mNumFaces, 100); }, "faces"},
        {"face corners", [](aiScene& s) { return Claim(s.mMeshes[0]->mFaces[1].mNumIndices, 100); },
         "face 1"},
        {"mesh table", [](aiScene& s) { return Claim(s.mNumMeshes, 100); }, "mesh table"},
        {"material table", [](aiScene& s) { return Claim(s.mNumMaterials, 100); },
         "material table"},
        {"material properties",
         [](aiScene& s) { return Claim(s.mMaterials[0]->mNumProperties, 100); }, "properties"},
        {"material string",
         [](aiScene& s) {
             aiMaterialProperty* p = s.mMaterials[0]->mProperties[0];
             const uint32_t longer = p->mDataLength;  // length + 4 + 1 > the data
             std::memcpy(p->mData, &longer, sizeof longer);
             return std::function<void()>([] {});
         },
         "string longer"},
        {"children", [](aiScene& s) { return Claim(s.mRootNode->mNumChildren, 100); }, "children"},
        {"node meshes",
         [](aiScene& s) { return Claim(s.mRootNode->mChildren[0]->mNumMeshes, 100); },
         "node 'Part': 101 meshes"},
        {"mesh name",
         [](aiScene& s) {
             s.mMeshes[0]->mName.length = 5000;
             return std::function<void()>([&s] { s.mMeshes[0]->mName.length = 3; });
         },
         "name has no end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<aiScene> scene = Triangle();
        std::string error;
        ASSERT_TRUE(kvoimport::CheckImporterArrays(scene.get(), error)) << error;
        const std::function<void()> restore = c.shorten(*scene);
        EXPECT_FALSE(kvoimport::CheckImporterArrays(scene.get(), error));
        EXPECT_NE(error.find(c.cause), std::string::npos) << error;
        // The conversion refuses it too, leaving no scene.
        kvoscene::Scene out;
        std::string convertError;
        EXPECT_FALSE(kvoimport::ConvertAssimpScene(scene.get(), "t.gltf", {}, out, convertError));
        EXPECT_EQ(convertError, error);
        EXPECT_TRUE(out.nodes.empty());
        restore();
    }
}

TEST(ImporterArrays, WholeArraysConvert) {
    std::unique_ptr<aiScene> scene = Triangle();
    for (const bool weld : {false, true}) {
        kvoimport::ImportSettings settings;
        settings.joinVertices = weld;
        kvoscene::Scene out;
        std::string error;
        ASSERT_TRUE(kvoimport::ConvertAssimpScene(scene.get(), "t.gltf", settings, out, error))
            << error;
        ASSERT_EQ(out.nodes.size(), 1u);
        EXPECT_EQ(out.nodes[0].mesh.FaceCount(), 2u);
        EXPECT_EQ(out.nodes[0].mesh.normals.size(), out.nodes[0].mesh.positions.size());
    }
}

TEST(ImporterArrays, BlockHoldsComparesTheAllocationWithTheCount) {
    std::unique_ptr<aiVector3D[]> three(new aiVector3D[3]);
    EXPECT_TRUE(kvoimport::BlockHolds(three.get(), 3, sizeof(aiVector3D)));
    EXPECT_FALSE(kvoimport::BlockHolds(three.get(), 1000, sizeof(aiVector3D)));
    EXPECT_FALSE(kvoimport::BlockHolds(nullptr, 1, 4));
    EXPECT_TRUE(kvoimport::BlockHolds(nullptr, 0, 4));
}

}  // namespace
