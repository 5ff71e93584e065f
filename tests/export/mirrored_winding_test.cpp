// Mirroring transforms: in world coordinates each triangle's corners are reversed,
// so the written winding agrees with the written normals; with Localize nothing moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "export/geob_builder.h"
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

std::vector<int32_t> AllFaces(const Mesh& mesh) {
    std::vector<int32_t> faces(mesh.faces.size());
    for (size_t f = 0; f < faces.size(); ++f) faces[f] = static_cast<int32_t>(f);
    return faces;
}

// Builds the whole mesh as one group with normals; returns the geob count.
int Build(Mesh& mesh, const Matrix3& tm, bool localize, Tables& tables) {
    FakeContext context;
    context.options.localize = localize;
    context.options.exportNormals = true;
    context.options.upNormals = false;
    context.running = true;
    int geobCount = 0;
    EXPECT_TRUE(exporter::BuildGroupGeobs(context, nullptr, mesh, tm, tables.geobs.get(),
                                          tables.materials.get(), geobCount, 0, 0, AllFaces(mesh)));
    return geobCount;
}

// The cube [-1, 1]^3 as 12 triangles wound counter-clockwise seen from outside;
// `hard`: one smoothing group per side, else one group for all.
Mesh Cube(bool hard) {
    std::vector<Point3> verts;
    for (int v = 0; v < 8; ++v) {
        verts.emplace_back(v & 1 ? 1.0f : -1.0f, v & 2 ? 1.0f : -1.0f, v & 4 ? 1.0f : -1.0f);
    }
    // Per side: four corners going round it.
    const uint32_t sides[6][4] = {{1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3},
                                  {0, 1, 5, 4}, {4, 5, 7, 6}, {0, 2, 3, 1}};
    std::vector<FaceSpec> faces;
    for (int s = 0; s < 6; ++s) {
        const uint32_t* q = sides[s];
        const std::array<uint32_t, 3> halves[2] = {{{q[0], q[1], q[2]}}, {{q[0], q[2], q[3]}}};
        for (const auto& t : halves) {
            FaceSpec face{{t[0], t[1], t[2]}, hard ? 1u << s : 1u, 0};
            // Turned outward where the list above goes round the other way.
            const Point3 n = CrossProd(verts[t[1]] - verts[t[0]], verts[t[2]] - verts[t[0]]);
            if (DotProd(n, verts[t[0]] + verts[t[1]] + verts[t[2]]) < 0) {
                std::swap(face.v[1], face.v[2]);
            }
            faces.push_back(face);
        }
    }
    return MakeMesh(verts, faces);
}

Point3 Written(const float* stream, uint16_t index) {
    return Point3(stream[3 * index], stream[3 * index + 1], stream[3 * index + 2]);
}

// Triangles of the geob whose geometric normal, from the written positions, points
// away from one of its corners' written normals.
int TrianglesAgainstTheirNormals(const KvoGeob& geob) {
    int against = 0;
    for (int k = 0; k + 3 <= geob.indexCount; k += 3) {
        const uint16_t* t = geob.indices + k;
        const Point3 p0 = Written(geob.vertices, t[0]);
        const Point3 n =
            CrossProd(Written(geob.vertices, t[1]) - p0, Written(geob.vertices, t[2]) - p0);
        bool agrees = true;
        for (int c = 0; c < 3; ++c) agrees = agrees && DotProd(n, Written(geob.normals, t[c])) > 0;
        if (!agrees) ++against;
    }
    return against;
}

Matrix3 Rows(const Point3& x, const Point3& y, const Point3& z, const Point3& translation) {
    Matrix3 tm;
    tm.SetRow(0, x);
    tm.SetRow(1, y);
    tm.SetRow(2, z);
    tm.SetRow(3, translation);
    return tm;
}

struct TransformCase {
    const char* name;
    Matrix3 tm;
    bool mirrors;
};

std::vector<TransformCase> Transforms() {
    return {
        {"identity", Matrix3(), false},
        {"scaled_rotated", ScaleMatrix(Point3(2, 0.5f, 1.5f)) * RotateXMatrix(0.3f), false},
        {"mirror_x", ScaleMatrix(Point3(-1, 1, 1)) * TransMatrix(Point3(4, 5, 6)), true},
        {"swap_y_z", Rows({1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 0, 0}), true},
        {"scaled_rotated_mirror",
         ScaleMatrix(Point3(-1, 3, 0.25f)) * RotateXMatrix(-1.1f) * TransMatrix(Point3(0, 7, -1)),
         true},
        {"two_mirrors_turn", ScaleMatrix(Point3(-1, -1, 1)), false},
    };
}

TEST(MirroredWinding, WorldTrianglesFaceTheirNormalsAndLocalOnesAreUntouched) {
    for (bool hard : {true, false}) {
        for (const TransformCase& c : Transforms()) {
            const std::string label = std::string(c.name) + (hard ? " hard" : " smooth");
            Mesh mesh = Cube(hard);
            mesh.buildNormals();

            Tables world;
            ASSERT_EQ(Build(mesh, c.tm, false, world), 1) << label;
            const KvoGeob& geob = world.geobs[0];
            EXPECT_EQ(TrianglesAgainstTheirNormals(geob), 0) << label;
            // Each triangle keeps its first corner and, when mirrored, swaps the other two.
            for (size_t f = 0; f < mesh.faces.size(); ++f) {
                for (int k = 0; k < 3; ++k) {
                    const int j = c.mirrors ? (3 - k) % 3 : k;
                    const Point3 p = c.tm * mesh.verts[mesh.faces[f].v[j]];
                    const float expected[3] = {p.x, p.z, -p.y};
                    EXPECT_TRUE(
                        SameFloats(geob.vertices + 3 * geob.indices[3 * f + k], expected, 3))
                        << label << " face " << f << " corner " << k;
                }
            }

            // Localize: the mesh's own frame and order, whatever the transform.
            Tables local, plain;
            ASSERT_EQ(Build(mesh, c.tm, true, local), 1) << label;
            ASSERT_EQ(Build(mesh, Matrix3(), true, plain), 1) << label;
            const KvoGeob& a = local.geobs[0];
            const KvoGeob& b = plain.geobs[0];
            ASSERT_EQ(a.indexCount, b.indexCount) << label;
            ASSERT_EQ(a.vertexCount, b.vertexCount) << label;
            EXPECT_TRUE(std::equal(a.indices, a.indices + a.indexCount, b.indices)) << label;
            EXPECT_TRUE(SameFloats(a.vertices, b.vertices, 3 * size_t(a.vertexCount))) << label;
            EXPECT_TRUE(SameFloats(a.normals, b.normals, 3 * size_t(a.vertexCount))) << label;
            EXPECT_EQ(TrianglesAgainstTheirNormals(a), 0) << label;
        }
    }
}

TEST(MirroredWinding, SharedVerticesAreNumberedInTheReversedCornerOrder) {
    // Two faces sharing the edge 1-2: corners (0, 2, 1) and (2, 3, 1) once reversed.
    Mesh mesh = MakeMesh({{1, 2, 3}, {4, 2, 3}, {1, 5, 3}, {4, 5, 3}}, {{{0, 1, 2}}, {{2, 1, 3}}});
    mesh.buildNormals();
    Tables tables;
    ASSERT_EQ(Build(mesh, ScaleMatrix(Point3(-1, 1, 1)), false, tables), 1);
    const KvoGeob& geob = tables.geobs[0];
    EXPECT_EQ(std::vector<uint16_t>(geob.indices, geob.indices + geob.indexCount),
              (std::vector<uint16_t>{0, 1, 2, 1, 3, 2}));
    // Output vertices in first appearance: mesh vertices 0, 2, 1, 3 mirrored in x.
    const float vertices[12] = {-1, 3, -2, -1, 3, -5, -4, 3, -2, -4, 3, -5};
    ASSERT_EQ(geob.vertexCount, 4);
    EXPECT_TRUE(SameFloats(geob.vertices, vertices, 12));
    EXPECT_EQ(TrianglesAgainstTheirNormals(geob), 0);
}

TEST(MirroredWinding, EveryGeobOfACutGroupIsReversed) {
    Mesh mesh = MakeGrid(10923, 1);  // 21846 faces: two geobs
    mesh.buildNormals();
    const Matrix3 tm = Rows({1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 0, 0});
    Tables tables;
    ASSERT_EQ(Build(mesh, tm, false, tables), 2);
    ExportOptions options;
    options.localize = false;
    options.exportNormals = true;
    options.upNormals = false;
    const auto expected = ReferenceGroupGeobs(mesh, tm, options, 0, AllFaces(mesh));
    ASSERT_EQ(expected.size(), 2u);
    for (int g = 0; g < 2; ++g) {
        EXPECT_TRUE(GeobMatches(tables.geobs[g], expected[g])) << "geob " << g;
        EXPECT_EQ(TrianglesAgainstTheirNormals(tables.geobs[g]), 0) << "geob " << g;
    }
}

}  // namespace
}  // namespace exporttest
