// The geob builder against the literal de-duplication, and its edge cases.
#include "export/geob_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <ostream>

#include "export_test_support.h"
#include "kvo/kvo_geode.h"
#include "reference_builder.h"

namespace exporttest {
namespace {

struct Tables {
    std::unique_ptr<KvoGeob[]> geobs{new KvoGeob[KvoGeode::kMaxGeobs]};
    std::unique_ptr<KvoMaterial[]> materials{new KvoMaterial[KvoGeode::kMaxMaterials]};
    ~Tables() {
        for (int i = 0; i < KvoGeode::kMaxGeobs; ++i) geobs[i].FreeArrays();
    }
};

std::map<uint32_t, std::vector<int32_t>> Groups(const Mesh& mesh) {
    std::map<uint32_t, std::vector<int32_t>> groups;
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        groups[mesh.faces[f].getMatID()].push_back(static_cast<int32_t>(f));
    }
    return groups;
}

std::vector<int32_t> AllFaces(const Mesh& mesh) {
    std::vector<int32_t> faces(mesh.faces.size());
    for (size_t f = 0; f < faces.size(); ++f) faces[f] = static_cast<int32_t>(f);
    return faces;
}

Matrix3 SomeTransform() {
    return ScaleMatrix(Point3(2.0f, 0.5f, 1.5f)) * RotateXMatrix(0.3f) *
           TransMatrix(Point3(10.0f, -4.0f, 2.5f));
}

// Builds one group with a running context; returns the geob count reached.
int Build(FakeContext& context, Mesh& mesh, const std::vector<int32_t>& faces, Tables& tables,
          const Matrix3& tm = Matrix3(), int geobCount = 0, int materialIndex = 0,
          bool* tableFull = nullptr) {
    context.running = true;
    EXPECT_TRUE(exporter::BuildGroupGeobs(context, nullptr, mesh, tm, tables.geobs.get(),
                                          tables.materials.get(), geobCount, materialIndex, 0,
                                          faces, nullptr, tableFull));
    return geobCount;
}

struct OptionCase {
    const char* name;
    bool localize, normals, upNormals, colours, textured, coloured;
};

void PrintTo(const OptionCase& c, std::ostream* out) {
    *out << c.name;
}

class RandomMeshes : public ::testing::TestWithParam<OptionCase> {};

TEST_P(RandomMeshes, MatchLiteralFirstAppearanceDeduplication) {
    const OptionCase& c = GetParam();
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        Mesh mesh =
            MakeRandomMesh(seed, 40 + static_cast<int>(seed) * 97, c.textured, c.coloured, 4);
        if (seed % 3 == 0) {  // indices past their arrays read as missing
            mesh.faces[1].v[2] = static_cast<DWORD>(mesh.numVerts + 5);
            mesh.faces[4].v[0] = 0xFFFFFFFFu;
            if (c.textured) mesh.tvFace[2].t[1] = static_cast<DWORD>(mesh.numTVerts + 3);
            if (c.coloured) mesh.vcFace[3].t[0] = static_cast<DWORD>(mesh.numCVerts);
        }
        mesh.buildNormals();
        FakeContext context;
        context.options.localize = c.localize;
        context.options.exportNormals = c.normals;
        context.options.upNormals = c.upNormals;
        context.options.exportVertexColors = c.colours;
        const Matrix3 tm = SomeTransform();

        Tables tables;
        exporter::GeobScratch scratch;  // shared by the groups, as the assembly does
        int geobCount = 0;
        int materialIndex = 0;
        context.running = true;
        for (const auto& group : Groups(mesh)) {
            const int first = geobCount;
            ASSERT_TRUE(exporter::BuildGroupGeobs(context, nullptr, mesh, tm, tables.geobs.get(),
                                                  tables.materials.get(), geobCount, materialIndex,
                                                  group.first, group.second, &scratch));
            const auto expected =
                ReferenceGroupGeobs(mesh, tm, context.options, materialIndex, group.second);
            ASSERT_EQ(geobCount - first, static_cast<int>(expected.size()));
            for (size_t g = 0; g < expected.size(); ++g) {
                EXPECT_TRUE(GeobMatches(tables.geobs[first + g], expected[g]))
                    << "seed " << seed << " group " << group.first;
            }
            ++materialIndex;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, RandomMeshes,
    ::testing::Values(OptionCase{"plain", false, false, false, false, true, false},
                      OptionCase{"world_normals", false, true, false, false, true, false},
                      OptionCase{"local_normals_colours", true, true, false, true, true, true},
                      OptionCase{"up_normals", false, true, true, false, true, false},
                      OptionCase{"up_without_normals", true, false, true, true, true, true},
                      OptionCase{"untextured", false, true, false, true, false, true},
                      OptionCase{"colour_option_without_colours", false, true, false, true, true,
                                 false}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return info.param.name; });

TEST(GeobBuilder, SharedVertexGivesOneOutputVertexAndSplitTextureGivesTwo) {
    // Faces 0 and 1 share vertices 0 and 2 with the same texture vertices; face 2 uses
    // vertex 0 again with another texture vertex.
    Mesh mesh = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}},
                         {{{0, 1, 2}}, {{2, 1, 3}}, {{0, 2, 3}}});
    SetTexture(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0.5f, 0.5f, 0}},
               {{0, 1, 2}, {2, 1, 3}, {4, 2, 3}});
    mesh.buildNormals();
    FakeContext context;
    Tables tables;
    ASSERT_EQ(Build(context, mesh, AllFaces(mesh), tables), 1);
    const KvoGeob& geob = tables.geobs[0];
    ASSERT_EQ(geob.vertexCount, 5);
    const std::vector<uint16_t> indices(geob.indices, geob.indices + geob.indexCount);
    EXPECT_EQ(indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3, 4, 2, 3}));
    // Output vertex 4 is mesh vertex 0 again: same position and normal, other UV.
    EXPECT_TRUE(SameFloats(geob.vertices + 12, geob.vertices, 3));
    EXPECT_TRUE(SameFloats(geob.normals + 12, geob.normals, 3));
    EXPECT_EQ(geob.texCoords[8], 0.5f);
    EXPECT_EQ(geob.texCoords[9], 0.5f);
    EXPECT_EQ(geob.burstLength[0], 15);  // three times the vertex count, not the index count
}

TEST(GeobBuilder, VertexOnSmoothingBoundaryTakesTheNormalSeenFromItsFirstFace) {
    // A fold along the edge 1-2: face 0 flat in z = 0, face 1 tilted up, different groups.
    Mesh mesh =
        MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}}, {{{0, 1, 2}, 1}, {{2, 1, 3}, 2}});
    mesh.buildNormals();
    FakeContext context;
    Tables tables;
    Build(context, mesh, AllFaces(mesh), tables);
    const KvoGeob& geob = tables.geobs[0];
    ASSERT_EQ(geob.vertexCount, 4);  // untextured: one output vertex per mesh vertex
    const Point3 flat = mesh.getFaceNormal(0);
    const Point3 tilted = mesh.getFaceNormal(1);
    ASSERT_FALSE(flat == tilted);
    // Vertex 1 (output 1) and 2 (output 2) are first used by face 0: the flat normal.
    const float flatYUp[3] = {flat.x, flat.z, -flat.y};
    const float tiltedYUp[3] = {tilted.x, tilted.z, -tilted.y};
    EXPECT_TRUE(SameFloats(geob.normals + 3, flatYUp, 3));
    EXPECT_TRUE(SameFloats(geob.normals + 6, flatYUp, 3));
    EXPECT_TRUE(SameFloats(geob.normals + 9, tiltedYUp, 3));
}

TEST(GeobBuilder, PositionsAreLocalOrWorldAfterTheAxisChangeAndNormalsStayUnmoved) {
    Mesh mesh = MakeMesh({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}, {{{0, 1, 2}}});
    mesh.buildNormals();
    const Matrix3 tm = TransMatrix(Point3(100, 200, 300));
    for (bool localize : {true, false}) {
        FakeContext context;
        context.options.localize = localize;
        Tables tables;
        Build(context, mesh, AllFaces(mesh), tables, tm);
        const KvoGeob& geob = tables.geobs[0];
        const float offset[3] = {localize ? 0.0f : 100.0f, localize ? 0.0f : 300.0f,
                                 localize ? 0.0f : -200.0f};
        const float expected[3] = {1 + offset[0], 3 + offset[1], -2 + offset[2]};
        EXPECT_TRUE(SameFloats(geob.vertices, expected, 3)) << "localize " << localize;
        const Point3 n = mesh.getFaceNormal(0);
        const float normal[3] = {n.x, n.z, -n.y};
        EXPECT_TRUE(SameFloats(geob.normals, normal, 3)) << "localize " << localize;
    }
}

TEST(GeobBuilder, UpNormalsNeedNormals) {
    Mesh mesh = MakeGrid(2, 2);
    mesh.buildNormals();
    for (bool normals : {true, false}) {
        FakeContext context;
        context.options.exportNormals = normals;
        context.options.upNormals = true;
        Tables tables;
        Build(context, mesh, AllFaces(mesh), tables);
        const KvoGeob& geob = tables.geobs[0];
        if (!normals) {
            EXPECT_EQ(geob.normals, nullptr);
            EXPECT_EQ(geob.normalCount, 0);
            continue;
        }
        ASSERT_EQ(geob.normalCount, geob.vertexCount);
        for (int v = 0; v < geob.vertexCount; ++v) {
            const float up[3] = {0, 1, 0};
            EXPECT_TRUE(SameFloats(geob.normals + 3 * v, up, 3));
        }
    }
}

TEST(GeobBuilder, CornersOfOneKeyShareTheFirstCornersColour) {
    Mesh mesh = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{{0, 1, 2}}, {{2, 1, 3}}});
    mesh.setNumVertCol(4);
    mesh.vertCol = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    mesh.vcFace[0].setTVerts(0, 1, 2);
    mesh.vcFace[1].setTVerts(3, 3, 3);  // corners of vertices 2 and 1 carry another colour
    mesh.buildNormals();
    FakeContext context;
    context.options.exportVertexColors = true;
    Tables tables;
    Build(context, mesh, AllFaces(mesh), tables);
    const KvoGeob& geob = tables.geobs[0];
    ASSERT_EQ(geob.colorCount, 4);
    const float expected[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1};
    EXPECT_TRUE(SameFloats(geob.colors, expected, 12));
}

TEST(GeobBuilder, DegenerateFacesAreKeptAndMissingTexturesReadAsZero) {
    Mesh mesh = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 0, 1}}, {{0, 1, 2}}});
    mesh.buildNormals();
    FakeContext context;
    Tables tables;
    Build(context, mesh, AllFaces(mesh), tables);
    const KvoGeob& geob = tables.geobs[0];
    EXPECT_EQ(geob.indexCount, 6);
    const std::vector<uint16_t> indices(geob.indices, geob.indices + 6);
    EXPECT_EQ(indices, (std::vector<uint16_t>{0, 0, 1, 0, 1, 2}));
    const float zeros[6] = {0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(SameFloats(geob.texCoords, zeros, 6));
}

TEST(GeobBuilder, GroupsSplitAt21845Faces) {
    for (int faces : {21845, 21846}) {
        Mesh mesh = MakeGrid(faces / 2, 1);
        if (faces % 2) {  // one more face at the end: a copy of face 0 on new corners
            mesh.setNumFaces(faces);
            mesh.faces[faces - 1].setVerts(2, 1, 0);
            mesh.tvFace[faces - 1].setTVerts(2, 1, 0);
        }
        mesh.buildNormals();
        FakeContext context;
        context.BeginObject(static_cast<uint32_t>(faces));
        context.recordSteps = true;
        Tables tables;
        const int count = Build(context, mesh, AllFaces(mesh), tables, Matrix3(), 0, 3);
        ASSERT_EQ(count, faces == 21845 ? 1 : 2);
        EXPECT_EQ(tables.geobs[0].indexCount, 3 * 21845);
        EXPECT_EQ(tables.geobs[0].materialIndex, 3);
        if (count == 2) {
            const KvoGeob& last = tables.geobs[1];
            EXPECT_EQ(last.indexCount, 3);
            EXPECT_EQ(last.materialIndex, 3);
            EXPECT_EQ(last.burstMaterial[0], 3);
            EXPECT_EQ(last.vertexCount, 3);  // numbered within its own geob
            const std::vector<uint16_t> indices(last.indices, last.indices + 3);
            EXPECT_EQ(indices, (std::vector<uint16_t>{0, 1, 2}));
        }
        // One step per face, then half of the extra steps once for the whole group.
        ASSERT_EQ(context.stepCalls.size(), static_cast<size_t>(faces) + 1);
        EXPECT_EQ(context.stepCalls.back(), context.objectExtraSteps / 2);
        EXPECT_EQ(context.totalSteps, faces + context.objectExtraSteps / 2);
    }
}

TEST(GeobBuilder, PollsBeforeEachGeobFaceAndCornerAndStopsAtEveryCancel) {
    Mesh mesh = MakeGrid(1, 1);  // two faces
    mesh.buildNormals();
    const uint64_t polls = 1 + 2 + 6 + 6;  // geob, faces, corner pass, vertex pass
    {
        FakeContext context;
        Tables tables;
        Build(context, mesh, AllFaces(mesh), tables);
        EXPECT_EQ(context.polls, polls);
    }
    for (uint64_t cancelAt = 1; cancelAt <= polls; ++cancelAt) {
        FakeContext context;
        context.BeginObject(100);
        context.cancelAtPoll = cancelAt;
        context.running = true;
        Tables tables;
        int geobCount = 0;
        EXPECT_FALSE(exporter::BuildGroupGeobs(context, nullptr, mesh, Matrix3(),
                                               tables.geobs.get(), tables.materials.get(),
                                               geobCount, 0, 0, AllFaces(mesh)));
        EXPECT_EQ(geobCount, 0);
        EXPECT_EQ(context.polls, cancelAt) << "polled again after a cancellation";
        // Face steps only for faces completed before the cancel; never the group's extra.
        const uint64_t facesDone = cancelAt <= 5 ? 0 : cancelAt <= 9 ? 1 : 2;
        EXPECT_EQ(context.totalSteps, facesDone) << "cancel at " << cancelAt;
    }
}

TEST(GeobBuilder, AGroupRunningPastTheTableIsCutAtItsEnd) {
    Mesh mesh = MakeGrid(10923, 1);  // 21846 faces: two geobs, one of which still fits
    mesh.buildNormals();
    FakeContext context;
    Tables tables;
    bool tableFull = false;
    const int count = Build(context, mesh, AllFaces(mesh), tables, Matrix3(), 199, 7, &tableFull);
    EXPECT_EQ(count, 200);
    EXPECT_TRUE(tableFull);
    EXPECT_EQ(tables.geobs[199].indexCount, 3 * 21845);
    EXPECT_EQ(tables.materials[7].textureCount, 1);
}

TEST(GeobBuilder, LogsSevenLinesPerGeob) {
    ScratchDir dir;
    Mesh mesh = MakeGrid(1, 1);
    mesh.setNumVertCol(1);
    mesh.buildNormals();
    FakeContext context;
    context.options.generateLog = true;
    context.log->Open(dir.File("log.txt"));
    Tables tables;
    Build(context, mesh, AllFaces(mesh), tables, Matrix3(), 4, 2);
    context.CloseSideFiles();
    EXPECT_EQ(ReadFile(dir.File("log.txt")),
              CrLf("Valdrin KVO Exporter Log\n======================\n"
                   "\t\tGeob4\n\t\t\tMaterial Index ... 2\n\t\t\tFaces ............ 2\n"
                   "\t\t\tVertices ......... 4\n\t\t\tTexCoords ........ 4\n"
                   "\t\t\tNormals .......... 4\n\t\t\tVertex Colors .... 0\n"));
}

struct NormalCase {
    const char* name;
    DWORD flags;
    DWORD faceSmoothing;
    std::vector<std::pair<DWORD, float>> normals;  // smoothing bits, x of the normal
    float expectedX;                               // 9 stands for the face normal
};

void PrintTo(const NormalCase& c, std::ostream* out) {
    *out << c.name;
}

class VertexNormal : public ::testing::TestWithParam<NormalCase> {};

TEST_P(VertexNormal, FollowsTheRenderVertex) {
    const NormalCase& c = GetParam();
    Mesh mesh = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}, c.faceSmoothing}});
    mesh.buildNormals();
    mesh.getFaceNormal(0) = Point3(9, 0, 0);
    RVertex rv;
    rv.rFlags = c.flags;
    if (!c.normals.empty()) rv.rn.normal = Point3(c.normals[0].second, 0, 0);
    for (const auto& n : c.normals) {
        RNormal normal;
        normal.smGroup = n.first;
        normal.normal = Point3(n.second, 0, 0);
        rv.ern.push_back(normal);
    }
    EXPECT_EQ(exporter::GetVertexNormal(mesh, 0, rv).x, c.expectedX);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VertexNormal,
    ::testing::Values(NormalCase{"specified", SPECIFIED_NORMAL | 3, 0, {{1, 5.0f}}, 5.0f},
                      NormalCase{"no_normals", 0, 1, {}, 9.0f},
                      NormalCase{"face_unsmoothed", 2, 0, {{1, 1.0f}, {2, 2.0f}}, 9.0f},
                      NormalCase{"single", 1, 4, {{1, 3.0f}}, 3.0f},
                      NormalCase{"last_match_wins", 3, 6, {{2, 1.0f}, {8, 2.0f}, {4, 3.0f}}, 3.0f},
                      NormalCase{"first_of_two", 2, 1, {{1, 1.0f}, {2, 2.0f}}, 1.0f},
                      NormalCase{"none_shares_a_bit", 2, 16, {{1, 1.0f}, {2, 2.0f}}, 9.0f}),
    [](const ::testing::TestParamInfo<NormalCase>& info) { return info.param.name; });

}  // namespace
}  // namespace exporttest
