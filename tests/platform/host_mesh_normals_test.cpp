// Render normals built from smoothing groups, checked on known shapes and
// against a literal quadratic reference on random meshes.
#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <iterator>
#include <numeric>
#include <random>
#include <vector>

#include "platform/max/max_sdk.h"

namespace {

constexpr float kTolerance = 1e-6f;

void AddFace(Mesh& mesh, DWORD a, DWORD b, DWORD c, DWORD bits) {
    int f = mesh.getNumFaces();
    mesh.setNumFaces(f + 1);
    mesh.faces[f].setVerts(a, b, c);
    mesh.faces[f].setSmGroup(bits);
}

void ExpectNear(const Point3& expected, const Point3& actual) {
    EXPECT_NEAR(expected.x, actual.x, kTolerance);
    EXPECT_NEAR(expected.y, actual.y, kTolerance);
    EXPECT_NEAR(expected.z, actual.z, kTolerance);
}

int CornerIndex(const Point3& p) {
    return (p.x > 0 ? 1 : 0) + (p.y > 0 ? 2 : 0) + (p.z > 0 ? 4 : 0);
}

Point3 Axis(int a, float length) {
    Point3 p;
    p[a] = length;
    return p;
}

// A cube of corners (+-1, +-1, +-1) (vertex 0-7, bit 0 = +x, bit 1 = +y,
// bit 2 = +z) whose sides are fans of four outward triangles around a centre
// vertex (8 + side); side 2a + (0: +, 1: -) along axis a has `sideBits[side]`.
Mesh MakeFannedBox(const DWORD sideBits[6]) {
    Mesh mesh;
    mesh.setNumVerts(14);
    for (int i = 0; i < 8; ++i) {
        mesh.setVert(i, Point3(i & 1 ? 1.f : -1.f, i & 2 ? 1.f : -1.f, i & 4 ? 1.f : -1.f));
    }
    for (int side = 0; side < 6; ++side) {
        int a = side / 2;
        float s = side % 2 == 0 ? 1.f : -1.f;
        Point3 n = Axis(a, s), u = Axis((a + 1) % 3, 1), w = Axis((a + 2) % 3, 1);
        if (s < 0) std::swap(u, w);
        mesh.setVert(8 + side, n);
        const Point3 ring[4] = {n + u + w, n - u + w, n - u - w, n + u - w};
        for (int k = 0; k < 4; ++k) {
            AddFace(mesh, 8 + side, CornerIndex(ring[k]), CornerIndex(ring[(k + 1) % 4]),
                    sideBits[side]);
        }
    }
    return mesh;
}

Point3 SideNormal(int side) {
    return Axis(side / 2, side % 2 == 0 ? 1.f : -1.f);
}

TEST(BuildNormals, BoxWithSixSmoothingGroupsHasThreeAxisNormalsPerCorner) {
    const DWORD bits[6] = {1, 2, 4, 8, 16, 32};
    Mesh mesh = MakeFannedBox(bits);
    mesh.buildNormals();
    for (int f = 0; f < mesh.getNumFaces(); ++f)
        ExpectNear(SideNormal(f / 4), mesh.getFaceNormal(f));
    for (int corner = 0; corner < 8; ++corner) {
        const RVertex& rv = mesh.getRVert(corner);
        ASSERT_EQ(3u, rv.rFlags) << "corner " << corner;
        ASSERT_EQ(3u, rv.ern.size());
        DWORD seen = 0;
        for (const RNormal& n : rv.ern) {
            int side = 0;
            while (side < 6 && bits[side] != n.smGroup) ++side;
            ASSERT_LT(side, 6) << "unexpected bits " << n.smGroup;
            EXPECT_EQ(SideNormal(side), n.normal);  // exactly axis-aligned
            EXPECT_EQ(SideNormal(side)[side / 2], mesh.getVert(corner)[side / 2]);
            seen |= n.smGroup;
        }
        EXPECT_EQ(3u, std::bitset<64>(seen).count());
    }
    for (int side = 0; side < 6; ++side) {
        const RVertex& centre = mesh.getRVert(8 + side);
        EXPECT_EQ(1u, centre.rFlags);
        EXPECT_TRUE(centre.ern.empty());
        EXPECT_EQ(SideNormal(side), centre.rn.normal);
        EXPECT_EQ(bits[side], centre.rn.smGroup);
    }
}

TEST(BuildNormals, BoxInOneSmoothingGroupHasDiagonalCornerNormals) {
    const DWORD bits[6] = {1, 1, 1, 1, 1, 1};
    Mesh mesh = MakeFannedBox(bits);
    mesh.buildNormals();
    const float d = 1.f / std::sqrt(3.f);
    for (int corner = 0; corner < 8; ++corner) {
        const RVertex& rv = mesh.getRVert(corner);
        ASSERT_EQ(1u, rv.rFlags);
        EXPECT_TRUE(rv.ern.empty());
        EXPECT_EQ(1u, rv.rn.smGroup);
        const Point3& p = mesh.getVert(corner);
        ExpectNear(Point3(p.x * d, p.y * d, p.z * d), rv.rn.normal);
    }
}

TEST(BuildNormals, CylinderRimHasSmoothSideAndFlatCapNormals) {
    constexpr int kSegments = 16;
    const float pi = std::acos(-1.f);
    Mesh mesh;
    mesh.setNumVerts(2 * kSegments + 2);
    for (int i = 0; i < kSegments; ++i) {
        float angle = 2 * pi * i / kSegments;
        mesh.setVert(i, Point3(std::cos(angle), std::sin(angle), 0));
        mesh.setVert(kSegments + i, Point3(std::cos(angle), std::sin(angle), 2));
    }
    const int bottomCentre = 2 * kSegments, topCentre = 2 * kSegments + 1;
    mesh.setVert(bottomCentre, Point3(0, 0, 0));
    mesh.setVert(topCentre, Point3(0, 0, 2));
    for (int i = 0; i < kSegments; ++i) {
        int j = (i + 1) % kSegments;
        AddFace(mesh, i, j, kSegments + j, 1);
        AddFace(mesh, i, kSegments + j, kSegments + i, 1);
        AddFace(mesh, topCentre, kSegments + i, kSegments + j, 2);
        AddFace(mesh, bottomCentre, j, i, 4);
    }
    mesh.buildNormals();

    for (int v = 0; v < 2 * kSegments; ++v) {
        const RVertex& rv = mesh.getRVert(v);
        ASSERT_EQ(2u, rv.rFlags) << "rim vertex " << v;
        ASSERT_EQ(2u, rv.ern.size());
        bool top = v >= kSegments;
        for (const RNormal& n : rv.ern) {
            if (n.smGroup == 1) {
                Point3 radial = mesh.getVert(v);
                radial.z = 0;
                EXPECT_NEAR(0.f, n.normal.z, kTolerance);
                EXPECT_NEAR(1.f, n.normal.Length(), kTolerance);
                EXPECT_GT(DotProd(n.normal, radial), std::cos(pi / kSegments) - kTolerance);
            } else {
                EXPECT_EQ(top ? 2u : 4u, n.smGroup);
                ExpectNear(Point3(0, 0, top ? 1.f : -1.f), n.normal);
            }
        }
        EXPECT_NE(rv.ern[0].smGroup, rv.ern[1].smGroup);
    }
    for (int centre : {bottomCentre, topCentre}) {
        const RVertex& rv = mesh.getRVert(centre);
        EXPECT_EQ(1u, rv.rFlags);
        ExpectNear(Point3(0, 0, centre == topCentre ? 1.f : -1.f), rv.rn.normal);
    }
}

TEST(BuildNormals, FaceWithoutSmoothingBitsAddsNoNormal) {
    Mesh mesh;
    mesh.setNumVerts(4);
    mesh.setVert(0, Point3(0, 0, 0));
    mesh.setVert(1, Point3(1, 0, 0));
    mesh.setVert(2, Point3(0, 1, 0));
    mesh.setVert(3, Point3(0, 0, 1));
    AddFace(mesh, 0, 1, 2, 0);  // flat, normal +z
    AddFace(mesh, 0, 1, 3, 8);  // smooth, normal -y
    mesh.buildNormals();
    ExpectNear(Point3(0, 0, 1), mesh.getFaceNormal(0));
    ExpectNear(Point3(0, -1, 0), mesh.getFaceNormal(1));
    EXPECT_EQ(0u, mesh.getRVert(2).rFlags);
    EXPECT_TRUE(mesh.getRVert(2).ern.empty());
    for (int v : {0, 1}) {  // shared: only the smooth face counts
        EXPECT_EQ(1u, mesh.getRVert(v).rFlags);
        ExpectNear(Point3(0, -1, 0), mesh.getRVert(v).rn.normal);
        EXPECT_EQ(8u, mesh.getRVert(v).rn.smGroup);
    }
}

TEST(BuildNormals, SmoothingBitsGroupFacesTransitively) {
    struct Case {
        std::vector<DWORD> fanBits;  // faces around vertex 0, in face order
        std::vector<DWORD> clusterBits;
    };
    const Case cases[] = {
        {{1, 1 | 2, 2}, {3}}, {{1, 2, 1 | 2}, {3}},  // the third face joins two clusters
        {{1, 2}, {1, 2}},     {{1, 4, 2, 4 | 8, 1 | 2}, {3, 12}},
        {{2, 0, 2}, {2}},     {{0xffffffffu, 1}, {0xffffffffu}},
    };
    for (const Case& c : cases) {
        Mesh mesh;
        int n = static_cast<int>(c.fanBits.size());
        mesh.setNumVerts(n + 2);
        const float pi = std::acos(-1.f);
        for (int i = 0; i <= n; ++i) {
            float angle = pi * i / (n + 1);
            mesh.setVert(i + 1, Point3(std::cos(angle), std::sin(angle), 0.5f * i));
        }
        for (int i = 0; i < n; ++i) AddFace(mesh, 0, i + 1, i + 2, c.fanBits[i]);
        mesh.buildNormals();
        const RVertex& rv = mesh.getRVert(0);
        ASSERT_EQ(c.clusterBits.size(), rv.rFlags & NORCT_MASK);
        if (c.clusterBits.size() == 1) {
            EXPECT_EQ(c.clusterBits[0], rv.rn.smGroup);
            EXPECT_NEAR(1.f, rv.rn.normal.Length(), kTolerance);
        } else {
            ASSERT_EQ(c.clusterBits.size(), rv.ern.size());
            for (size_t k = 0; k < rv.ern.size(); ++k) {
                EXPECT_EQ(c.clusterBits[k], rv.ern[k].smGroup);
            }
        }
    }
}

TEST(BuildNormals, SpecifiedNormalsAreKeptOnEveryBuild) {
    Mesh mesh;
    mesh.setNumVerts(4);
    mesh.setVert(1, Point3(1, 0, 0));
    mesh.setVert(2, Point3(0, 1, 0));
    mesh.setVert(3, Point3(1, 1, 0));
    AddFace(mesh, 0, 1, 2, 1);
    AddFace(mesh, 1, 3, 2, 1);
    const std::vector<Point3> given = {
        {0, 0, 2}, {0.6f, 0, 0.8f}, {0, 1, 0}};  // vertex 3 not given
    mesh.SetSpecifiedNormals(given);
    for (int build = 0; build < 2; ++build) {
        mesh.buildNormals();
        for (int v = 0; v < 3; ++v) {
            EXPECT_EQ(SPECIFIED_NORMAL, mesh.getRVert(v).rFlags);
            EXPECT_EQ(given[v], mesh.getRVert(v).rn.normal);
        }
        EXPECT_EQ(1u, mesh.getRVert(3).rFlags);
        ExpectNear(Point3(0, 0, 1), mesh.getRVert(3).rn.normal);
        ExpectNear(Point3(0, 0, 1), mesh.getFaceNormal(1));
    }
}

TEST(BuildNormals, EveryVertexSpecifiedAfterSmoothingResetsRenderVerticesAndKeepsFaceNormals) {
    // A hard-edged fold: vertices 1 and 2 first get two normals each.
    Mesh mesh;
    mesh.setNumVerts(4);
    mesh.setVert(1, Point3(1, 0, 0));
    mesh.setVert(2, Point3(0, 1, 0));
    mesh.setVert(3, Point3(1, 1, 1));
    AddFace(mesh, 0, 1, 2, 1);
    AddFace(mesh, 2, 1, 3, 2);
    mesh.buildNormals();
    ASSERT_EQ(2u, mesh.getRVert(1).rFlags);
    ASSERT_EQ(2u, mesh.getRVert(1).ern.size());
    const Point3 flat = mesh.getFaceNormal(0);
    const Point3 tilted = mesh.getFaceNormal(1);

    const std::vector<Point3> given = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0.6f, 0.8f, 0}};
    mesh.SetSpecifiedNormals(given);
    mesh.buildNormals();
    for (int v = 0; v < 4; ++v) {
        const RVertex& rv = mesh.getRVert(v);
        EXPECT_EQ(SPECIFIED_NORMAL, rv.rFlags) << v;
        EXPECT_EQ(given[v], rv.rn.normal) << v;
        EXPECT_EQ(0u, rv.rn.smGroup) << v;
        EXPECT_TRUE(rv.ern.empty()) << v;
    }
    // Face normals are still there when asked for, through either accessor.
    EXPECT_EQ(flat, mesh.getFaceNormal(0));
    EXPECT_EQ(tilted, static_cast<const Mesh&>(mesh).getFaceNormal(1));

    // Without the specified normals the smoothing groups count again.
    mesh.SetSpecifiedNormals({});
    mesh.buildNormals();
    EXPECT_EQ(2u, mesh.getRVert(2).rFlags);
    EXPECT_EQ(flat, mesh.getFaceNormal(0));
}

TEST(BuildNormals, DegenerateAndBrokenFacesGiveZeroNormals) {
    Mesh mesh;
    mesh.setNumVerts(3);
    mesh.setVert(1, Point3(1, 0, 0));
    mesh.setVert(2, Point3(2, 0, 0));  // collinear
    AddFace(mesh, 0, 1, 2, 1);
    AddFace(mesh, 0, 0, 1, 1);
    AddFace(mesh, 0, 1, 3, 1);  // index out of range
    AddFace(mesh, 0xffffffffu, 1, 2, 1);
    mesh.buildNormals();
    for (int f = 0; f < 4; ++f) EXPECT_EQ(Point3(), mesh.getFaceNormal(f)) << "face " << f;
    EXPECT_EQ(1u, mesh.getRVert(0).rFlags);
    EXPECT_EQ(Point3(), mesh.getRVert(0).rn.normal);
}

// Literal reference: every face is tested against every vertex, and faces
// are grouped by merging labels pairwise until nothing changes.
struct Reference {
    std::vector<Point3> faceNormals;
    std::vector<RVertex> rVerts;
};

Reference BuildNormalsReference(const Mesh& mesh, const std::vector<Point3>& specified) {
    Reference ref;
    const size_t nv = mesh.verts.size();
    auto inRange = [&](const Face& f) { return f.v[0] < nv && f.v[1] < nv && f.v[2] < nv; };
    for (const Face& f : mesh.faces) {
        Point3 n;
        if (inRange(f)) {
            const Point3& p0 = mesh.verts[f.v[0]];
            n = Normalize(CrossProd(mesh.verts[f.v[1]] - p0, mesh.verts[f.v[2]] - p0));
        }
        ref.faceNormals.push_back(n);
    }
    ref.rVerts.resize(nv);
    for (size_t v = 0; v < nv; ++v) {
        RVertex& rv = ref.rVerts[v];
        if (v < specified.size()) {
            rv.rFlags = SPECIFIED_NORMAL;
            rv.rn.normal = specified[v];
            continue;
        }
        std::vector<size_t> around;
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            const Face& face = mesh.faces[f];
            if (!inRange(face) || face.smGroup == 0) continue;
            if (face.v[0] == v || face.v[1] == v || face.v[2] == v) around.push_back(f);
        }
        std::vector<size_t> label(around.size());
        std::iota(label.begin(), label.end(), 0);
        for (bool changed = true; changed;) {
            changed = false;
            for (size_t a = 0; a < around.size(); ++a) {
                for (size_t b = 0; b < around.size(); ++b) {
                    bool share =
                        (mesh.faces[around[a]].smGroup & mesh.faces[around[b]].smGroup) != 0;
                    if (share && label[a] != label[b]) {
                        label[a] = label[b] = std::min(label[a], label[b]);
                        changed = true;
                    }
                }
            }
        }
        std::vector<RNormal> clusters;
        for (size_t first = 0; first < around.size(); ++first) {
            if (label[first] != first) continue;
            RNormal cluster;
            Point3 sum;
            for (size_t i = 0; i < around.size(); ++i) {
                if (label[i] != first) continue;
                sum += ref.faceNormals[around[i]];
                cluster.smGroup |= mesh.faces[around[i]].smGroup;
            }
            cluster.normal = Normalize(sum);
            clusters.push_back(cluster);
        }
        rv.rFlags = static_cast<DWORD>(std::min<size_t>(clusters.size(), 255));
        if (clusters.size() == 1) {
            rv.rn = clusters[0];
        } else {
            rv.ern = clusters;
        }
    }
    return ref;
}

Mesh RandomMesh(std::mt19937& rng, std::vector<Point3>& specified) {
    const DWORD bitChoices[] = {0, 1, 2, 4, 3, 6, 5, 8, 0x80000000u, 0xffffffffu, 1 | 8};
    Mesh mesh;
    int nv = std::uniform_int_distribution<int>(1, 30)(rng);
    int nf = std::uniform_int_distribution<int>(0, 90)(rng);
    mesh.setNumVerts(nv);
    std::uniform_int_distribution<int> coord(-2, 2);
    for (Point3& p : mesh.verts) p = Point3(coord(rng), coord(rng), coord(rng));
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<DWORD> vertex(0, nv - 1);
    std::uniform_int_distribution<size_t> bits(0, std::size(bitChoices) - 1);
    for (int f = 0; f < nf; ++f) {
        DWORD idx[3];
        for (DWORD& i : idx) {
            int roll = percent(rng);
            i = roll < 2 ? 0xffffffffu : roll < 4 ? static_cast<DWORD>(nv) : vertex(rng);
        }
        AddFace(mesh, idx[0], idx[1], idx[2], bitChoices[bits(rng)]);
    }
    specified.clear();
    if (percent(rng) < 20) {
        specified.resize(std::uniform_int_distribution<int>(0, nv + 2)(rng), Point3(0, 0.5f, 3));
        mesh.SetSpecifiedNormals(specified);
    }
    return mesh;
}

TEST(BuildNormals, MatchesQuadraticReferenceOnRandomMeshes) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        std::vector<Point3> specified;
        Mesh mesh = RandomMesh(rng, specified);
        mesh.buildNormals();
        Reference ref = BuildNormalsReference(mesh, specified);
        for (int f = 0; f < mesh.getNumFaces(); ++f) {
            ASSERT_EQ(ref.faceNormals[f], mesh.getFaceNormal(f)) << "round " << round;
        }
        for (int v = 0; v < mesh.getNumVerts(); ++v) {
            const RVertex& got = mesh.getRVert(v);
            const RVertex& want = ref.rVerts[v];
            ASSERT_EQ(want.rFlags, got.rFlags) << "round " << round << " vertex " << v;
            EXPECT_EQ(want.rn.normal, got.rn.normal);
            EXPECT_EQ(want.rn.smGroup, got.rn.smGroup);
            ASSERT_EQ(want.ern.size(), got.ern.size());
            for (size_t k = 0; k < want.ern.size(); ++k) {
                EXPECT_EQ(want.ern[k].normal, got.ern[k].normal);
                EXPECT_EQ(want.ern[k].smGroup, got.ern[k].smGroup);
            }
        }
    }
}

}  // namespace
