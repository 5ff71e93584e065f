// Face normals and render vertex normals from smoothing groups, in time linear
// in the mesh size: the faces around each vertex come from one counting-sort
// pass, and each vertex merges its faces into clusters by shared smoothing bits.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/max/max_sdk.h"

namespace {

bool FaceInRange(const Face& face, size_t vertCount) {
    return face.v[0] < vertCount && face.v[1] < vertCount && face.v[2] < vertCount;
}

struct Cluster {
    DWORD bits = 0;
    Point3 sum;
};

// Adds a face's smoothing bits to the clusters of one vertex. Clusters that
// share a bit with the face are merged into the earliest of them, so clusters
// stay ordered by their first face and their bit sets stay disjoint.
void AddToClusters(std::vector<Cluster>& clusters, DWORD bits) {
    const size_t none = clusters.size();
    size_t target = none;
    size_t kept = 0;
    for (size_t c = 0; c < clusters.size(); ++c) {
        if ((clusters[c].bits & bits) == 0) {
            clusters[kept++] = clusters[c];
        } else if (target == none) {
            target = kept;
            clusters[kept] = clusters[c];
            clusters[kept++].bits |= bits;
        } else {
            clusters[target].bits |= clusters[c].bits;
        }
    }
    clusters.resize(kept);
    if (target == none) clusters.push_back(Cluster{bits, Point3()});
}

}  // namespace

void Mesh::BuildFaceNormals() const {
    const size_t vertCount = verts.size();
    const size_t faceCount = faces.size();
    faceNormalsPending_ = false;
    faceNormals_.assign(faceCount, Point3());
    for (size_t f = 0; f < faceCount; ++f) {
        const Face& face = faces[f];
        if (!FaceInRange(face, vertCount)) continue;  // a broken face has no normal
        const Point3& p0 = verts[face.v[0]];
        faceNormals_[f] = Normalize(CrossProd(verts[face.v[1]] - p0, verts[face.v[2]] - p0));
    }
}

void Mesh::buildNormals() {
    const size_t vertCount = verts.size();
    const size_t faceCount = faces.size();

    if (specified_.size() >= vertCount) {  // every vertex has its normal already
        faceNormalsPending_ = true;        // no vertex needs the face normals
        faceNormals_.clear();
        // One pass over the render vertices, each made once in storage kept
        // from an earlier call.
        rVerts_.clear();
        rVerts_.reserve(vertCount);
        for (size_t v = 0; v < vertCount; ++v) {
            RVertex& rv = rVerts_.emplace_back();
            rv.rFlags = SPECIFIED_NORMAL;
            rv.rn.normal = specified_[v];
        }
        return;
    }
    BuildFaceNormals();
    rVerts_.assign(vertCount, RVertex());

    // Faces around each vertex, in ascending face order (counting sort). Faces
    // without smoothing bits add no cluster and are left out. A face that
    // repeats a vertex is degenerate: listing it twice changes no sum.
    std::vector<size_t> first(vertCount + 1, 0);
    for (const Face& face : faces) {
        if (face.smGroup == 0 || !FaceInRange(face, vertCount)) continue;
        for (DWORD v : face.v) ++first[v + 1];
    }
    for (size_t v = 0; v < vertCount; ++v) first[v + 1] += first[v];
    std::vector<size_t> around(first[vertCount]);
    std::vector<size_t> next(first.begin(), first.end() - 1);
    for (size_t f = 0; f < faceCount; ++f) {
        const Face& face = faces[f];
        if (face.smGroup == 0 || !FaceInRange(face, vertCount)) continue;
        for (DWORD v : face.v) around[next[v]++] = f;
    }

    std::vector<Cluster> clusters;
    for (size_t v = 0; v < vertCount; ++v) {
        RVertex& rv = rVerts_[v];
        if (v < specified_.size()) {
            rv.rFlags = SPECIFIED_NORMAL;
            rv.rn.normal = specified_[v];
            continue;
        }
        clusters.clear();
        for (size_t i = first[v]; i < first[v + 1]; ++i) {
            AddToClusters(clusters, faces[around[i]].smGroup);
        }
        // Sums in ascending face order, once the clusters are final.
        for (size_t i = first[v]; i < first[v + 1]; ++i) {
            DWORD bits = faces[around[i]].smGroup;
            for (Cluster& cluster : clusters) {
                if (cluster.bits & bits) {
                    cluster.sum += faceNormals_[around[i]];
                    break;
                }
            }
        }
        rv.rFlags = static_cast<DWORD>(std::min<size_t>(clusters.size(), NORCT_MASK));
        if (clusters.size() == 1) {
            rv.rn.normal = Normalize(clusters[0].sum);
            rv.rn.smGroup = clusters[0].bits;
        } else {
            for (const Cluster& cluster : clusters) {
                RNormal normal;
                normal.normal = Normalize(cluster.sum);
                normal.smGroup = cluster.bits;
                rv.ern.push_back(normal);
            }
        }
    }
}
