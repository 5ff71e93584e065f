#include "source_normals.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <assimp/Importer.hpp>
#include <cmath>
#include <map>
#include <tuple>

#include "kvo_corners.h"

namespace clitest {

namespace {

using D3 = std::array<double, 3>;
using D4x4 = std::array<std::array<double, 4>, 4>;  // column vectors: p' = M p

struct SourceTriangle {
    std::array<D3, 3> positions;
    std::array<D3, 3> normals;
};

D4x4 ToDouble(const aiMatrix4x4& m) {
    return {{{m.a1, m.a2, m.a3, m.a4},
             {m.b1, m.b2, m.b3, m.b4},
             {m.c1, m.c2, m.c3, m.c4},
             {m.d1, m.d2, m.d3, m.d4}}};
}

D4x4 Multiply(const D4x4& a, const D4x4& b) {
    D4x4 out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) out[i][j] += a[i][k] * b[k][j];
    return out;
}

D3 MovePoint(const D4x4& m, const aiVector3D& v) {
    D3 out;
    for (int i = 0; i < 3; ++i) out[i] = m[i][0] * v.x + m[i][1] * v.y + m[i][2] * v.z + m[i][3];
    return out;
}

D3 Cross(const D3& a, const D3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double Dot(const D3& a, const D3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

D3 Minus(const D3& a, const D3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

// The inverse of the 3x3 part, transposed: adjugate over determinant.
std::array<D3, 3> NormalMatrix(const D4x4& m) {
    const D3 c0{m[0][0], m[1][0], m[2][0]}, c1{m[0][1], m[1][1], m[2][1]},
        c2{m[0][2], m[1][2], m[2][2]};
    const double det = Dot(c0, Cross(c1, c2));
    // Rows of the inverse are the cross products of the columns over det; its
    // transpose has them as columns, so row i of the result collects component i.
    const D3 r0 = Cross(c1, c2), r1 = Cross(c2, c0), r2 = Cross(c0, c1);
    std::array<D3, 3> out;
    for (int i = 0; i < 3; ++i) out[i] = {r0[i] / det, r1[i] / det, r2[i] / det};
    return out;
}

D3 MoveNormal(const std::array<D3, 3>& nm, const D3& n) {
    return {Dot(nm[0], n), Dot(nm[1], n), Dot(nm[2], n)};
}

void Collect(const aiScene* scene, const aiNode* node, const D4x4& parent,
             std::vector<SourceTriangle>& out) {
    const D4x4 world = Multiply(parent, ToDouble(node->mTransformation));
    const std::array<D3, 3> nm = NormalMatrix(world);
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const aiMesh* mesh = scene->mMeshes[node->mMeshes[i]];
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            if (face.mNumIndices != 3) continue;
            SourceTriangle t;
            std::array<D3, 3> local;
            for (int k = 0; k < 3; ++k) {
                const aiVector3D& v = mesh->mVertices[face.mIndices[k]];
                local[k] = {v.x, v.y, v.z};
                t.positions[k] = MovePoint(world, v);
            }
            const D3 faceNormal = Cross(Minus(local[1], local[0]), Minus(local[2], local[0]));
            for (int k = 0; k < 3; ++k) {
                D3 n = faceNormal;
                if (mesh->mNormals) {
                    const aiVector3D& fn = mesh->mNormals[face.mIndices[k]];
                    n = {fn.x, fn.y, fn.z};
                }
                t.normals[k] = MoveNormal(nm, n);
            }
            out.push_back(t);
        }
    }
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        Collect(scene, node->mChildren[i], world, out);
    }
}

double Distance(const D3& a, const std::array<float, 3>& b) {
    double d = 0;
    for (int i = 0; i < 3; ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

// Degrees between two directions; negative when either has none.
double Angle(const D3& a, const std::array<float, 3>& bf) {
    const D3 b{bf[0], bf[1], bf[2]};
    const double la = std::sqrt(Dot(a, a)), lb = std::sqrt(Dot(b, b));
    if (!(la > 1e-30) || !(lb > 1e-30) || !std::isfinite(la) || !std::isfinite(lb)) return -1;
    const double c = std::clamp(Dot(a, b) / (la * lb), -1.0, 1.0);
    return std::acos(c) * 180.0 / M_PI;
}

using Cell = std::tuple<long long, long long, long long>;

}  // namespace

NormalDeviation CompareWithSourceNormals(const std::string& scenePath,
                                         const std::vector<std::string>& kvoFiles) {
    NormalDeviation result;
    Assimp::Importer importer;
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    const aiScene* scene = importer.ReadFile(scenePath, aiProcess_Triangulate);
    std::vector<SourceTriangle> source;
    if (scene && scene->mRootNode) {
        D4x4 identity{};
        for (int i = 0; i < 4; ++i) identity[i][i] = 1;
        Collect(scene, scene->mRootNode, identity, source);
    }

    // Positions match within a ten-thousandth of the scene's extent.
    double extent = 1e-3;
    for (const SourceTriangle& t : source)
        for (const D3& p : t.positions)
            for (double x : p) extent = std::max(extent, std::fabs(x));
    const double eps = 1e-4 * extent;
    const double cellSize = 4 * eps;
    const auto cellOf = [&](double x, double y, double z) {
        return Cell{std::llround(x / cellSize), std::llround(y / cellSize),
                    std::llround(z / cellSize)};
    };
    std::map<Cell, std::vector<std::pair<size_t, int>>> grid;
    for (size_t t = 0; t < source.size(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const D3& p = source[t].positions[k];
            grid[cellOf(p[0], p[1], p[2])].emplace_back(t, k);
        }
    }

    for (const std::string& file : kvoFiles) {
        const KvoCorners corners = ReadKvoCorners(file);
        for (const KvoTriangle& e : corners.triangles) {
            result.corners += 3;
            const auto& p0 = e.corners[0].position;
            const Cell centre = cellOf(p0[0], p0[1], p0[2]);
            // Best match: the smallest position error, then the smallest worst angle.
            double bestError = eps, bestAngle = 1e9;
            const SourceTriangle* best = nullptr;
            int bestRotation = 0;
            for (long long dx = -1; dx <= 1; ++dx)
                for (long long dy = -1; dy <= 1; ++dy)
                    for (long long dz = -1; dz <= 1; ++dz) {
                        const Cell cell{std::get<0>(centre) + dx, std::get<1>(centre) + dy,
                                        std::get<2>(centre) + dz};
                        const auto found = grid.find(cell);
                        if (found == grid.end()) continue;
                        for (const auto& [t, k] : found->second) {
                            const SourceTriangle& s = source[t];
                            double error = 0, worst = 0;
                            for (int j = 0; j < 3; ++j) {
                                error = std::max(error, Distance(s.positions[(k + j) % 3],
                                                                 e.corners[j].position));
                                worst = std::max(
                                    worst, Angle(s.normals[(k + j) % 3], e.corners[j].normal));
                            }
                            if (error > bestError || (error == bestError && worst >= bestAngle))
                                continue;
                            bestError = error, bestAngle = worst, best = &s, bestRotation = k;
                        }
                    }
            if (!best) {
                result.unmatched += 3;
                continue;
            }
            for (int j = 0; j < 3; ++j) {
                const double angle =
                    Angle(best->normals[(bestRotation + j) % 3], e.corners[j].normal);
                if (angle < 0) {
                    ++result.undefined;
                    continue;
                }
                result.worstDegrees = std::max(result.worstDegrees, angle);
                if (angle > 1) ++result.over1;
                if (angle > 60) ++result.over60;
            }
        }
    }
    return result;
}

}  // namespace clitest
