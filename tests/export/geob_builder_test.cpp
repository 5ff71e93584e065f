// The geob builder against the literal de-duplication, and its edge cases.
#include "export/geob_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <ostream>
#include <set>

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

Matrix3 MirroringTransform() {
    return ScaleMatrix(Point3(-1.0f, 3.0f, 0.25f)) * RotateXMatrix(-1.1f) *
           TransMatrix(Point3(0.0f, 7.0f, -1.0f));
}

// A grid whose rows fall into bands of smoothing groups, one band without bits:
// most vertices keep one normal, the band edges and the flat band split.
Mesh BandedGrid(uint32_t seed) {
    Mesh mesh = MakeGrid(9 + static_cast<int>(seed % 5), 8);
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const int row = static_cast<int>(f) / (2 * (9 + static_cast<int>(seed % 5)));
        mesh.faces[f].setSmGroup(row / 2 == 3 ? 0u : 1u << (row / 2));
        mesh.faces[f].setMatID(static_cast<MtlID>(row % 2));
    }
    return mesh;
}

// Per-vertex normals drawn from a small pool, signed zeros among them.
void SpecifyNormals(Mesh& mesh, uint32_t seed) {
    const Point3 pool[] = {
        {0.0f, 0.0f, 1.0f}, {-0.0f, 0.0f, 1.0f}, {0.6f, 0.0f, 0.8f}, {0.0f, -1.0f, 0.0f}};
    std::vector<Point3> normals(mesh.verts.size());
    for (size_t v = 0; v < normals.size(); ++v) normals[v] = pool[(v * 7 + seed) % 4];
    mesh.SetSpecifiedNormals(std::move(normals));
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
    for (uint32_t seed = 1; seed <= 16; ++seed) {
        Mesh mesh = seed % 4 == 2 ? BandedGrid(seed)
                                  : MakeRandomMesh(seed, 40 + static_cast<int>(seed) * 97,
                                                   c.textured, c.coloured, 4);
        if (seed % 4 == 2 && c.coloured) {  // colour seams across shared texture vertices
            mesh.setNumVertCol(3);
            mesh.vertCol = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
            for (size_t f = 0; f < mesh.vcFace.size(); ++f) {
                const DWORD ci = static_cast<DWORD>(f % 3 == 0 ? 1 : 0);
                mesh.vcFace[f].setTVerts(ci, ci, (f / 5) % 3);
            }
        }
        if (seed % 4 == 2 && !c.textured) mesh.tvFace.clear();
        if (seed % 5 == 4) SpecifyNormals(mesh, seed);
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
        const Matrix3 tm = seed % 2 ? SomeTransform() : MirroringTransform();

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

TEST(GeobBuilder, VertexOnSmoothingBoundarySplitsIntoOneOutputPerNormal) {
    // A fold along the edge 1-2: face 0 flat in z = 0, face 1 tilted up, different
    // groups, one texture vertex per mesh vertex shared by both faces.
    Mesh mesh =
        MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}}, {{{0, 1, 2}, 1}, {{2, 1, 3}, 2}});
    SetTexture(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}});
    mesh.buildNormals();
    const Point3 flat = mesh.getFaceNormal(0);
    const Point3 tilted = mesh.getFaceNormal(1);
    ASSERT_FALSE(flat == tilted);
    const float flatYUp[3] = {flat.x, flat.z, -flat.y};
    const float tiltedYUp[3] = {tilted.x, tilted.z, -tilted.y};

    struct Case {
        bool normals, upNormals;
        int vertexCount;
        std::vector<uint16_t> indices;
    };
    const Case cases[] = {{true, false, 6, {0, 1, 2, 3, 4, 5}},
                          {false, false, 4, {0, 1, 2, 2, 1, 3}},
                          {true, true, 4, {0, 1, 2, 2, 1, 3}}};
    for (const Case& c : cases) {
        FakeContext context;
        context.options.exportNormals = c.normals;
        context.options.upNormals = c.upNormals;
        Tables tables;
        Build(context, mesh, AllFaces(mesh), tables);
        const KvoGeob& geob = tables.geobs[0];
        ASSERT_EQ(geob.vertexCount, c.vertexCount) << c.normals << c.upNormals;
        EXPECT_EQ(std::vector<uint16_t>(geob.indices, geob.indices + 6), c.indices);
        if (!c.normals || c.upNormals) continue;
        // Every corner carries the normal of its own face; the split copies keep the UVs.
        for (int k = 0; k < 6; ++k) {
            EXPECT_TRUE(SameFloats(geob.normals + 3 * k, k < 3 ? flatYUp : tiltedYUp, 3)) << k;
        }
        EXPECT_TRUE(SameFloats(geob.texCoords + 2 * 3, geob.texCoords + 2 * 2, 2));
        EXPECT_TRUE(SameFloats(geob.vertices + 3 * 4, geob.vertices + 3 * 1, 3));
    }
}

TEST(GeobBuilder, SmoothSphereKeepsOneOutputVertexPerTextureCorner) {
    // A latitude-longitude sphere in one smoothing group with a texture seam at
    // longitude 0: normals split nothing, so the count is that of (vertex, tvert) pairs.
    constexpr int kRings = 12, kSegments = 16;
    std::vector<Point3> verts;
    std::vector<Point3> tverts;
    for (int r = 0; r <= kRings; ++r) {
        const float phi = 3.14159265f * static_cast<float>(r) / kRings;
        for (int s = 0; s <= kSegments; ++s) {
            const float theta = 6.2831853f * static_cast<float>(s % kSegments) / kSegments;
            if (s < kSegments) {
                verts.emplace_back(std::sin(phi) * std::cos(theta), std::sin(phi) * std::sin(theta),
                                   std::cos(phi));
            }
            tverts.emplace_back(static_cast<float>(s) / kSegments, static_cast<float>(r) / kRings,
                                0.0f);
        }
    }
    std::vector<FaceSpec> faces;
    std::vector<std::array<uint32_t, 3>> tfaces;
    for (int r = 0; r < kRings; ++r) {
        for (int s = 0; s < kSegments; ++s) {
            const uint32_t a = r * kSegments + s, b = r * kSegments + (s + 1) % kSegments;
            const uint32_t c = a + kSegments, d = b + kSegments;
            const uint32_t ta = r * (kSegments + 1) + s, tb = ta + 1;
            const uint32_t tc = ta + kSegments + 1, td = tb + kSegments + 1;
            faces.push_back({{a, c, d}, 1});
            faces.push_back({{a, d, b}, 1});
            tfaces.push_back({ta, tc, td});
            tfaces.push_back({ta, td, tb});
        }
    }
    Mesh mesh = MakeMesh(verts, faces);
    SetTexture(mesh, tverts, tfaces);
    mesh.buildNormals();
    std::set<std::pair<uint32_t, uint32_t>> pairs;
    for (size_t f = 0; f < faces.size(); ++f) {
        for (int j = 0; j < 3; ++j) pairs.emplace(faces[f].v[j], tfaces[f][j]);
    }
    for (bool localize : {false, true}) {
        FakeContext context;
        context.options.localize = localize;
        Tables tables;
        Build(context, mesh, AllFaces(mesh), tables, SomeTransform());
        EXPECT_EQ(tables.geobs[0].vertexCount, static_cast<int>(pairs.size()));
    }
}

TEST(GeobBuilder, NormalsFollowTheTransformUnlessLocalized) {
    Mesh mesh = MakeMesh({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}, {{{0, 1, 2}, 0}});
    mesh.buildNormals();
    const Point3 n = mesh.getFaceNormal(0);
    const Matrix3 tms[] = {TransMatrix(Point3(100, 200, 300)), SomeTransform(),
                           MirroringTransform()};
    for (const Matrix3& tm : tms) {
        for (bool localize : {true, false}) {
            FakeContext context;
            context.options.localize = localize;
            Tables tables;
            Build(context, mesh, AllFaces(mesh), tables, tm);
            const KvoGeob& geob = tables.geobs[0];
            Point3 expected = localize ? n : exporter::NormalTransform(tm).Apply(n);
            const float normal[3] = {expected.x, expected.z, -expected.y};
            for (int k = 0; k < 3; ++k) {
                EXPECT_TRUE(SameFloats(geob.normals + 3 * k, normal, 3)) << "localize " << localize;
            }
            // World normals stay perpendicular to the moved face.
            if (localize) continue;
            const Point3 p0 = tm * mesh.verts[0], p1 = tm * mesh.verts[1], p2 = tm * mesh.verts[2];
            EXPECT_NEAR(DotProd(expected, p1 - p0), 0.0f, 1e-4f);
            EXPECT_NEAR(DotProd(expected, p2 - p0), 0.0f, 1e-4f);
            EXPECT_NEAR(expected.Length(), 1.0f, 1e-6f);
        }
    }
}

TEST(GeobBuilder, PositionsAreLocalOrWorldAfterTheAxisChange) {
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

TEST(GeobBuilder, ColourSeamOnSharedTextureVerticesKeepsBothColours) {
    Mesh mesh = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{{0, 1, 2}}, {{2, 1, 3}}});
    SetTexture(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}});
    mesh.setNumVertCol(4);
    mesh.vertCol = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    mesh.vcFace[0].setTVerts(0, 1, 2);
    mesh.vcFace[1].setTVerts(3, 3, 3);  // the corners of vertices 2 and 1 carry white
    mesh.buildNormals();
    for (bool colours : {true, false}) {
        FakeContext context;
        context.options.exportVertexColors = colours;
        Tables tables;
        Build(context, mesh, AllFaces(mesh), tables);
        const KvoGeob& geob = tables.geobs[0];
        const std::vector<uint16_t> indices(geob.indices, geob.indices + 6);
        if (!colours) {  // the seam only matters when colours are written
            EXPECT_EQ(geob.vertexCount, 4);
            EXPECT_EQ(indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3}));
            EXPECT_EQ(geob.colors, nullptr);
            continue;
        }
        ASSERT_EQ(geob.colorCount, 6);
        EXPECT_EQ(indices, (std::vector<uint16_t>{0, 1, 2, 3, 4, 5}));
        const float expected[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        EXPECT_TRUE(SameFloats(geob.colors, expected, 18));
    }
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

// The inverse transpose computed the long way: Gauss-Jordan on the 3x3 part.
Point3 InverseTransposeNormal(const Matrix3& tm, const Point3& n) {
    double a[3][6] = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) a[i][j] = tm.GetRow(i)[j];
        a[i][3 + i] = 1.0;
    }
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 3; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        }
        std::swap(a[pivot], a[col]);
        const double scale = a[col][col];
        for (double& value : a[col]) value /= scale;
        for (int r = 0; r < 3; ++r) {
            if (r == col) continue;
            const double factor = a[r][col];
            for (int j = 0; j < 6; ++j) a[r][j] -= factor * a[col][j];
        }
    }
    // Points are row vectors (p' = p A), so normals move as n' = n (A^-1)^T.
    double out[3];
    for (int j = 0; j < 3; ++j) out[j] = n.x * a[j][3] + n.y * a[j][4] + n.z * a[j][5];
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    return Point3(static_cast<float>(out[0] / length), static_cast<float>(out[1] / length),
                  static_cast<float>(out[2] / length));
}

struct TransformCase {
    const char* name;
    Matrix3 tm;
};

Matrix3 Sheared() {
    Matrix3 tm;
    tm.SetRow(1, Point3(0.7f, 1.0f, 0.0f));
    tm.SetRow(2, Point3(0.0f, -0.4f, 2.0f));
    tm.SetRow(3, Point3(5.0f, 6.0f, 7.0f));
    return tm;
}

TEST(NormalTransform, IsTheNormalisedInverseTransposeAndKeepsCubeNormalsPointingOut) {
    const TransformCase cases[] = {
        {"identity", Matrix3()},
        {"rotation", RotateXMatrix(0.8f) * TransMatrix(Point3(3, 4, 5))},
        {"non_uniform_scale", ScaleMatrix(Point3(4.0f, 0.5f, 2.0f))},
        {"mirror", ScaleMatrix(Point3(-1.0f, 1.0f, 1.0f))},
        {"scaled_rotated_mirror", MirroringTransform()},
        {"shear", Sheared()},
        {"tiny_scale", ScaleMatrix(Point3(1e-20f, 2e-20f, 1e-20f))},
    };
    // The six faces of the cube [-1, 1]^3: outward normal and centre.
    const Point3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const TransformCase& c : cases) {
        const exporter::NormalTransform transform(c.tm);
        const Point3 centre = c.tm * Point3();
        for (int axis = 0; axis < 3; ++axis) {
            for (float sign : {1.0f, -1.0f}) {
                const Point3 n = axes[axis] * sign;
                const Point3 moved = transform.Apply(n);
                const Point3 expected = InverseTransposeNormal(c.tm, n);
                for (int i = 0; i < 3; ++i) EXPECT_NEAR(moved[i], expected[i], 1e-6f) << c.name;
                EXPECT_NEAR(moved.Length(), 1.0f, 1e-6f) << c.name;
                // The moved face centre lies on the outward side of the moved cube's centre.
                EXPECT_GT(DotProd(moved, c.tm * n - centre), 0.0f) << c.name;
            }
        }
    }
}

TEST(NormalTransform, DegenerateImagesBecomeZeroVectors) {
    const exporter::NormalTransform flatten(ScaleMatrix(Point3(1.0f, 1.0f, 0.0f)));
    EXPECT_TRUE(flatten.Apply(Point3(0, 0, 1)) == Point3(0, 0, 1));
    EXPECT_TRUE(flatten.Apply(Point3(1, 0, 0)) == Point3());
    const exporter::NormalTransform identity{Matrix3()};
    EXPECT_TRUE(identity.Apply(Point3()) == Point3());
    EXPECT_TRUE(identity.Apply(Point3(std::nanf(""), 0, 1)) == Point3());
    EXPECT_TRUE(identity.Apply(Point3(INFINITY, 0, 0)) == Point3());
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
