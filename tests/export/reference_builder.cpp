#include "reference_builder.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "export/geob_builder.h"
#include "export_test_support.h"

namespace exporttest {

namespace {

constexpr size_t kFacesPerGeob = 21845;
constexpr uint32_t kNoColour = 0xFFFFFFFFu;

Point3 FaceNormal(Mesh& mesh, int face) {
    return mesh.getFaceNormal(face);
}

// The render-vertex rule, literally; a vertex past the mesh sees the face normal.
Point3 ReferenceNormal(Mesh& mesh, int face, uint32_t v) {
    if (v >= mesh.verts.size()) return FaceNormal(mesh, face);
    RVertex& rv = mesh.getRVert(static_cast<int>(v));
    const DWORD s = mesh.faces[face].smGroup;
    if (rv.rFlags & 0x4000) return rv.rn.normal;
    const DWORD m = rv.rFlags & 0xFF;
    if (m == 0 || s == 0) return FaceNormal(mesh, face);
    if (m == 1) return rv.rn.normal;
    Point3 result = FaceNormal(mesh, face);
    for (DWORD i = 0; i < m; ++i) {
        if (rv.ern[i].smGroup & s) result = rv.ern[i].normal;
    }
    return result;
}

void PushYUp(std::vector<float>& out, const Point3& p) {
    out.push_back(p.x);
    out.push_back(p.z);
    out.push_back(-p.y);
}

template <class T>
T* Copy(const std::vector<T>& values) {
    if (values.empty()) return nullptr;
    T* array = static_cast<T*>(std::malloc(values.size() * sizeof(T)));
    std::memcpy(array, values.data(), values.size() * sizeof(T));
    return array;
}

// A corner's key: vertex, texture vertex, the normal seen from its face (compared by
// bits, only when normals vary) and its colour index (only with colours).
struct CornerKey {
    uint32_t v = 0, t = 0;
    bool hasNormal = false;
    Point3 normal;
    bool hasColour = false;
    uint32_t colour = 0;
};

bool SameKey(const CornerKey& a, const CornerKey& b) {
    if (a.v != b.v || a.t != b.t || a.hasNormal != b.hasNormal || a.hasColour != b.hasColour)
        return false;
    if (a.hasColour && a.colour != b.colour) return false;
    return !a.hasNormal || std::memcmp(&a.normal, &b.normal, sizeof a.normal) == 0;
}

// The determinant of the transform's 3x3 part, by the rule of Sarrus.
double Determinant(const Matrix3& tm) {
    const Point3 a = tm.GetRow(0), b = tm.GetRow(1), c = tm.GetRow(2);
    return double{a.x} * b.y * c.z + double{a.y} * b.z * c.x + double{a.z} * b.x * c.y -
           double{a.z} * b.y * c.x - double{a.x} * b.z * c.y - double{a.y} * b.x * c.z;
}

}  // namespace

std::vector<ExpectedGeob> ReferenceGroupGeobs(Mesh& mesh, const Matrix3& objectTM,
                                              const ExportOptions& options, int materialIndex,
                                              const std::vector<int32_t>& faces) {
    std::vector<ExpectedGeob> result;
    const bool hasColours = mesh.numCVerts != 0;
    const bool keyNormals = options.exportNormals && !options.upNormals;
    const bool keyColours = options.exportVertexColors && hasColours;
    const exporter::NormalTransform normalTM(objectTM);
    // World positions under a mirroring transform take each face's corners as 0, 2, 1.
    const bool reversed = !options.localize && Determinant(objectTM) < 0;
    size_t start = 0;
    do {
        const size_t n = std::min(faces.size() - start, kFacesPerGeob);
        std::vector<CornerKey> cornerKeys;
        std::vector<uint32_t> colourIndices;
        for (size_t i = start; i < start + n; ++i) {
            const int f = faces[i];
            for (int corner = 0; corner < 3; ++corner) {
                const int j = reversed ? (3 - corner) % 3 : corner;
                CornerKey key;
                key.v = mesh.faces[f].v[j];
                key.t = static_cast<size_t>(f) < mesh.tvFace.size() ? mesh.tvFace[f].t[j] : 0;
                if (keyNormals) {
                    key.hasNormal = true;
                    key.normal = ReferenceNormal(mesh, f, key.v);
                }
                const uint32_t colour =
                    static_cast<size_t>(f) < mesh.vcFace.size() ? mesh.vcFace[f].t[j] : kNoColour;
                if (keyColours) {
                    key.hasColour = true;
                    key.colour = colour;
                }
                if (hasColours) colourIndices.push_back(colour);
                cornerKeys.push_back(key);
            }
        }

        ExpectedGeob geob;
        geob.materialIndex = materialIndex;
        std::vector<CornerKey> outputKeys;
        for (size_t k = 0; k < cornerKeys.size(); ++k) {
            size_t p = 0;
            while (p < outputKeys.size() && !SameKey(outputKeys[p], cornerKeys[k])) ++p;
            geob.indices.push_back(static_cast<uint16_t>(p));
            if (p < outputKeys.size()) continue;
            outputKeys.push_back(cornerKeys[k]);

            const uint32_t v = cornerKeys[k].v;
            const uint32_t t = cornerKeys[k].t;
            Point3 position = v < mesh.verts.size() ? mesh.verts[v] : Point3();
            if (!options.localize) position = objectTM * position;
            PushYUp(geob.vertices, position);
            const Point3 uv = t < mesh.tVerts.size() ? mesh.tVerts[t] : Point3();
            geob.texCoords.push_back(uv.x);
            geob.texCoords.push_back(uv.y);
            if (options.exportNormals) {
                if (options.upNormals) {
                    geob.normals.insert(geob.normals.end(), {0.0f, 1.0f, 0.0f});
                } else {
                    const Point3& normal = cornerKeys[k].normal;
                    PushYUp(geob.normals, options.localize ? normal : normalTM.Apply(normal));
                }
            }
            if (keyColours) {
                const uint32_t ci = colourIndices[k];
                const Point3 colour = ci < mesh.vertCol.size() ? mesh.vertCol[ci] : Point3();
                geob.colors.push_back(colour.x);
                geob.colors.push_back(colour.y);
                geob.colors.push_back(colour.z);
            }
        }
        result.push_back(std::move(geob));
        start += n;
    } while (start < faces.size());
    return result;
}

::testing::AssertionResult GeobMatches(const KvoGeob& actual, const ExpectedGeob& expected) {
    const int vertexCount = expected.vertexCount();
    const auto fail = [](const char* what, long long got, long long want) {
        return ::testing::AssertionFailure() << what << ": " << got << " instead of " << want;
    };
    if (actual.materialIndex != expected.materialIndex)
        return fail("materialIndex", actual.materialIndex, expected.materialIndex);
    if (actual.indexCount != static_cast<int>(expected.indices.size()))
        return fail("indexCount", actual.indexCount, expected.indices.size());
    if (actual.vertexCount != vertexCount)
        return fail("vertexCount", actual.vertexCount, vertexCount);
    if (actual.texCoordCount != vertexCount)
        return fail("texCoordCount", actual.texCoordCount, vertexCount);
    if (actual.normalCount != static_cast<int>(expected.normals.size() / 3))
        return fail("normalCount", actual.normalCount, expected.normals.size() / 3);
    if (actual.colorCount != static_cast<int>(expected.colors.size() / 3))
        return fail("colorCount", actual.colorCount, expected.colors.size() / 3);
    if (expected.normals.empty() != (actual.normals == nullptr))
        return ::testing::AssertionFailure() << "normals presence";
    if (expected.colors.empty() != (actual.colors == nullptr))
        return ::testing::AssertionFailure() << "colours presence";
    if (actual.burstCount != 1) return fail("burstCount", actual.burstCount, 1);
    if (actual.burstStart[0] != 0) return fail("burstStart", actual.burstStart[0], 0);
    if (actual.burstLength[0] != 3 * vertexCount)
        return fail("burstLength", actual.burstLength[0], 3 * vertexCount);
    if (actual.burstMaterial[0] != expected.materialIndex)
        return fail("burstMaterial", actual.burstMaterial[0], expected.materialIndex);
    if (actual.burstVertsPerPrim[0] != 3)
        return fail("vertsPerPrim", actual.burstVertsPerPrim[0], 3);
    if (actual.headerWord0 != 0 || actual.headerWord1 != 0)
        return ::testing::AssertionFailure() << "header words";
    for (size_t k = 0; k < expected.indices.size(); ++k) {
        if (actual.indices[k] != expected.indices[k])
            return fail("index", actual.indices[k], expected.indices[k]) << " at " << k;
    }
    auto floats = SameFloats(actual.vertices, expected.vertices.data(), expected.vertices.size());
    if (!floats) return floats << " (vertices)";
    floats = SameFloats(actual.texCoords, expected.texCoords.data(), expected.texCoords.size());
    if (!floats) return floats << " (texCoords)";
    floats = SameFloats(actual.normals, expected.normals.data(), expected.normals.size());
    if (!floats) return floats << " (normals)";
    floats = SameFloats(actual.colors, expected.colors.data(), expected.colors.size());
    if (!floats) return floats << " (colours)";
    return ::testing::AssertionSuccess();
}

void FillGeob(const ExpectedGeob& expected, KvoGeob& geob) {
    const int vertexCount = expected.vertexCount();
    geob.materialIndex = expected.materialIndex;
    geob.indices = Copy(expected.indices);
    geob.indexCount = static_cast<int32_t>(expected.indices.size());
    geob.vertices = Copy(expected.vertices);
    geob.vertexCount = vertexCount;
    geob.texCoords = Copy(expected.texCoords);
    geob.texCoordCount = vertexCount;
    geob.normals = Copy(expected.normals);
    geob.normalCount = static_cast<int32_t>(expected.normals.size() / 3);
    geob.colors = Copy(expected.colors);
    geob.colorCount = static_cast<int32_t>(expected.colors.size() / 3);
    geob.burstMaterial[0] = expected.materialIndex;
    geob.burstLength[0] = 3 * vertexCount;
}

}  // namespace exporttest
