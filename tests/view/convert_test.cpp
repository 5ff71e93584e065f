// KVO to glTF and OBJ: what the written files hold, read back with Assimp, and
// the round trip sample scene -> kvoexp -> kvo convert -> glb.
#include "view/convert.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstring>
#include <map>

#include "kvo/kvo_geode.h"
#include "view_test_support.h"

namespace {

using namespace viewtest;

// One triangle corner: position, uv, normal, colour (zeros where absent).
using Corner = std::array<float, 11>;
using Triangle = std::array<Corner, 3>;

// Rotated to start at its smallest corner (the winding stays).
Triangle Canonical(Triangle t) {
    const auto smallest = std::min_element(t.begin(), t.end());
    std::rotate(t.begin(), smallest, t.end());
    return t;
}

std::vector<Triangle> MeshTriangles(const aiMesh* m) {
    std::vector<Triangle> out;
    for (unsigned f = 0; f < m->mNumFaces; ++f) {
        if (m->mFaces[f].mNumIndices != 3) continue;
        Triangle t;
        for (int k = 0; k < 3; ++k) {
            const unsigned v = m->mFaces[f].mIndices[k];
            Corner c{};
            c[0] = m->mVertices[v].x;
            c[1] = m->mVertices[v].y;
            c[2] = m->mVertices[v].z;
            if (m->mTextureCoords[0]) {
                c[3] = m->mTextureCoords[0][v].x;
                c[4] = m->mTextureCoords[0][v].y;
            }
            if (m->mNormals) {
                c[5] = m->mNormals[v].x;
                c[6] = m->mNormals[v].y;
                c[7] = m->mNormals[v].z;
            }
            if (m->mColors[0]) {
                c[8] = m->mColors[0][v].r;
                c[9] = m->mColors[0][v].g;
                c[10] = m->mColors[0][v].b;
            }
            t[k] = c;
        }
        out.push_back(Canonical(t));
    }
    return out;
}

std::vector<Triangle> GeobTriangles(const KvoGeob& g) {
    std::vector<Triangle> out;
    for (int32_t i = 0; i + 3 <= g.indexCount; i += 3) {
        Triangle t;
        for (int k = 0; k < 3; ++k) {
            const size_t v = g.indices[i + k];
            Corner c{};
            std::copy_n(g.vertices + 3 * v, 3, c.begin());
            if (g.texCoords) std::copy_n(g.texCoords + 2 * v, 2, c.begin() + 3);
            if (g.normals) std::copy_n(g.normals + 3 * v, 3, c.begin() + 5);
            if (g.colors) std::copy_n(g.colors + 3 * v, 3, c.begin() + 8);
            t[k] = c;
        }
        out.push_back(Canonical(t));
    }
    return out;
}

// Same triangles in any order, every value within `tolerance`; `colours` false
// ignores the colour part.
void ExpectSameTriangles(std::vector<Triangle> a, std::vector<Triangle> b, double tolerance,
                         bool colours, const std::string& what) {
    if (!colours) {
        for (auto* list : {&a, &b}) {
            for (Triangle& t : *list) {
                for (Corner& c : t) std::fill(c.begin() + 8, c.end(), 0.0f);
            }
        }
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    ASSERT_EQ(a.size(), b.size()) << what;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            for (int j = 0; j < 11; ++j) {
                ASSERT_NEAR(a[i][k][j], b[i][k][j], tolerance)
                    << what << ": triangle " << i << " corner " << k << " value " << j;
            }
        }
    }
}

std::string MaterialName(const aiScene* scene, const aiMesh* mesh) {
    aiString name;
    scene->mMaterials[mesh->mMaterialIndex]->Get(AI_MATKEY_NAME, name);
    return name.C_Str();
}

// A quad with distinct texture coordinates and colours in a coloured, textured material.
TestMesh MarkedQuad() {
    TestMesh quad = Quad("maps\\wood.png");
    quad.texCoords = {0.125f, 0.1f, 0.75f, 0.2f, 0.875f, 0.6f, 0.25f, 0.9f};
    quad.materialName = "Crate_Wood";
    quad.diffuse[0] = 0.5f;
    quad.diffuse[1] = 0.25f;
    quad.diffuse[2] = 0.125f;
    return quad;
}

TEST(ExportFormat, FollowsTheExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.glb", "glb2"}, {"a.GLTF", "gltf2"}, {"dir.x/a.obj", "obj"},
        {"a.fbx", ""},     {"glb", ""},         {"a.glb.tmp", ""}};
    for (const auto& [path, format] : cases) EXPECT_EQ(kvoview::ExportFormatFor(path), format);
}

TEST(Convert, GltfStoresTextureCoordinatesAsOneMinusV) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {MarkedQuad()});
    std::string error;
    ASSERT_TRUE(
        kvoview::ConvertKvoFile(dir.Path("quad.kvo"), dir.Path("quad.gltf"), nullptr, &error))
        << error;
    std::string bin;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        if (entry.path().extension() == ".bin") bin = ReadFile(entry.path().string());
    }
    ASSERT_FALSE(bin.empty());
    const TestMesh quad = MarkedQuad();
    std::vector<float> flipped;
    for (size_t i = 0; i < quad.texCoords.size(); i += 2) {
        flipped.push_back(quad.texCoords[i]);
        flipped.push_back(1.0f - quad.texCoords[i + 1]);
    }
    const std::string bytes(reinterpret_cast<const char*>(flipped.data()), flipped.size() * 4);
    EXPECT_NE(bin.find(bytes), std::string::npos) << "the .bin holds (u, 1 - v) in vertex order";
    const std::string positions(reinterpret_cast<const char*>(quad.positions.data()),
                                quad.positions.size() * 4);
    EXPECT_NE(bin.find(positions), std::string::npos) << "positions unchanged (Y up)";
}

class ConvertFormat : public ::testing::TestWithParam<const char*> {};

TEST_P(ConvertFormat, ReadsBackWithTheSameTrianglesAndMaterial) {
    ScratchDir dir;
    TestMesh quad = MarkedQuad();
    TestMesh cube = Cube();
    cube.materialName = "Stone";
    WriteKvo(dir.Path("pair.kvo"), {quad, cube});
    const std::string out = dir.Path(std::string("pair.") + GetParam());
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(kvoview::ConvertKvoFile(dir.Path("pair.kvo"), out, &warnings, &error)) << error;
    EXPECT_TRUE(warnings.empty());

    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(out, aiProcess_Triangulate);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    KvoGeode geode(dir.Path("pair.kvo"));
    ASSERT_TRUE(geode.Load());
    std::map<std::string, std::vector<Triangle>> read;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const std::vector<Triangle> t = MeshTriangles(scene->mMeshes[m]);
        auto& list = read[MaterialName(scene, scene->mMeshes[m])];
        list.insert(list.end(), t.begin(), t.end());
    }
    ASSERT_EQ(read.size(), 2u);
    ExpectSameTriangles(read["Crate_Wood"], GeobTriangles(*geode.geobs[0]), 1e-6, false, "quad");
    ExpectSameTriangles(read["Stone"], GeobTriangles(*geode.geobs[1]), 1e-6, false, "cube");
    if (std::string(GetParam()) != "obj") {
        // One node per geob below the file's node (OBJ keeps only group names).
        const aiNode* file = scene->mRootNode->FindNode("pair");
        ASSERT_NE(file, nullptr);
        const aiNode* second = file->FindNode("geob1");
        ASSERT_NE(second, nullptr);
        ASSERT_EQ(second->mNumMeshes, 1u);
        EXPECT_EQ(MaterialName(scene, scene->mMeshes[second->mMeshes[0]]), "Stone");
    }

    for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
        const aiMaterial* material = scene->mMaterials[i];
        aiString name, texture;
        material->Get(AI_MATKEY_NAME, name);
        if (std::string(name.C_Str()) != "Crate_Wood") continue;
        aiColor4D colour;
        ASSERT_EQ(material->Get(AI_MATKEY_COLOR_DIFFUSE, colour), AI_SUCCESS);
        EXPECT_FLOAT_EQ(colour.r, 0.5f);
        EXPECT_FLOAT_EQ(colour.g, 0.25f);
        EXPECT_FLOAT_EQ(colour.b, 0.125f);
        ASSERT_EQ(material->GetTexture(aiTextureType_DIFFUSE, 0, &texture), AI_SUCCESS);
        EXPECT_STREQ(texture.C_Str(), "maps\\wood.png");
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertFormat, ::testing::Values("glb", "gltf", "obj"));

TEST(Convert, VertexColoursReachTheGlb) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad()});
    KvoGeode geode(dir.Path("quad.kvo"));
    ASSERT_TRUE(geode.Load());
    KvoGeob& g = *geode.geobs[0];
    g.colors = static_cast<float*>(std::malloc(12 * sizeof(float)));
    for (int i = 0; i < 12; ++i) g.colors[i] = static_cast<float>(i) / 12;
    g.colorCount = 4;
    ASSERT_TRUE(geode.Save(dir.Path("coloured.kvo")));
    std::string error;
    ASSERT_TRUE(
        kvoview::ConvertKvoFile(dir.Path("coloured.kvo"), dir.Path("c.glb"), nullptr, &error))
        << error;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(dir.Path("c.glb"), aiProcess_Triangulate);
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(scene->mNumMeshes, 1u);
    ASSERT_NE(scene->mMeshes[0]->mColors[0], nullptr);
    ExpectSameTriangles(MeshTriangles(scene->mMeshes[0]), GeobTriangles(g), 1e-6, true, "colours");
}

TEST(Convert, RefusesWhatItCannotDo) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad()});
    std::string error;
    EXPECT_FALSE(kvoview::ConvertKvoFile(dir.Path("quad.kvo"), dir.Path("q.fbx"), nullptr, &error));
    EXPECT_NE(error.find("q.fbx"), std::string::npos) << error;
    EXPECT_FALSE(kvoview::ConvertKvoFile(dir.Path("none.kvo"), dir.Path("q.glb"), nullptr, &error));
    EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("q.glb")));
}

#ifdef KVOEXP_BIN
// The sample scene through the console host and back out as glb: the same
// triangles as the scene file (texture coordinates included, so the two v
// flips cancel) and, per material, the same as the KVO file.
TEST(Convert, SampleSceneRoundTripThroughKvoexp) {
    ScratchDir dir;
    const std::string scenePath = std::string(KVOEXP_SAMPLES_DIR) + "/sample_scene.gltf";
    const ProcessResult exported =
        RunProgram(KVOEXP_BIN, {scenePath, "-o", dir.Path("out"), "--localize", "--normals",
                                "--vertex-colors", "--no-optimize", "--no-collapse", "-q"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;

    Assimp::Importer original;
    const aiScene* scene = original.ReadFile(scenePath, aiProcess_Triangulate);
    ASSERT_NE(scene, nullptr) << original.GetErrorString();
    int checked = 0;
    for (unsigned c = 0; c < scene->mRootNode->mNumChildren; ++c) {
        const aiNode* node = scene->mRootNode->mChildren[c];
        const std::string name = node->mName.C_Str();
        if (node->mNumMeshes == 0) continue;  // the camera
        const std::string kvo = dir.Path("out/" + name + ".kvo");
        const std::string glb = dir.Path(name + ".glb");
        const ProcessResult converted = RunProgram(KvoTool(), {"convert", kvo, glb});
        ASSERT_EQ(converted.exitCode, 0) << name << ": " << converted.err;

        Assimp::Importer importer;
        const aiScene* back = importer.ReadFile(glb, aiProcess_Triangulate);
        ASSERT_NE(back, nullptr) << importer.GetErrorString();
        std::vector<Triangle> fromScene, fromGlb;
        for (unsigned m = 0; m < node->mNumMeshes; ++m) {
            const std::vector<Triangle> t = MeshTriangles(scene->mMeshes[node->mMeshes[m]]);
            fromScene.insert(fromScene.end(), t.begin(), t.end());
        }
        std::map<std::string, std::vector<Triangle>> glbByMaterial, kvoByMaterial;
        for (unsigned m = 0; m < back->mNumMeshes; ++m) {
            const std::vector<Triangle> t = MeshTriangles(back->mMeshes[m]);
            fromGlb.insert(fromGlb.end(), t.begin(), t.end());
            auto& list = glbByMaterial[MaterialName(back, back->mMeshes[m])];
            list.insert(list.end(), t.begin(), t.end());
        }
        ExpectSameTriangles(fromScene, fromGlb, 1e-6, false, name + " scene vs glb");

        KvoGeode geode(kvo);
        ASSERT_TRUE(geode.Load()) << geode.error;
        for (int32_t g = 0; g < geode.geobCount; ++g) {
            const std::vector<Triangle> t = GeobTriangles(*geode.geobs[g]);
            auto& list = kvoByMaterial[geode.materials[geode.geobs[g]->materialIndex]->name];
            list.insert(list.end(), t.begin(), t.end());
        }
        ASSERT_EQ(glbByMaterial.size(), kvoByMaterial.size()) << name;
        for (const auto& [material, triangles] : kvoByMaterial) {
            ASSERT_EQ(glbByMaterial.count(material), 1u) << name << ": material " << material;
            ExpectSameTriangles(glbByMaterial[material], triangles, 1e-6, true,
                                name + " kvo vs glb, material " + material);
        }
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}
#endif

}  // namespace

namespace {

TEST(Convert, FileWithoutTrianglesGivesASceneWithoutMeshesAndAWarning) {
    viewtest::ScratchDir dir;
    viewtest::WriteKvo(dir.Path("empty.kvo"), {});
    for (const char* name : {"e.glb", "e.obj"}) {
        std::vector<std::string> warnings;
        std::string error;
        ASSERT_TRUE(
            kvoview::ConvertKvoFile(dir.Path("empty.kvo"), dir.Path(name), &warnings, &error))
            << name << ": " << error;
        ASSERT_EQ(warnings.size(), 1u) << name;
        EXPECT_NE(warnings[0].find("no triangles"), std::string::npos) << warnings[0];
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(dir.Path(name), 0);
        // Assimp may refuse to read a file without meshes; what it reads has none.
        if (scene) {
            EXPECT_EQ(scene->mNumMeshes, 0u) << name;
        }
    }
}

}  // namespace
