// Mesh array sizes: each setter keeps its count and its arrays in step.
#include "platform/max/max_sdk.h"

namespace {

int NonNegative(int n) {
    return n < 0 ? 0 : n;
}

}  // namespace

void Mesh::setNumVerts(int n) {
    numVerts = NonNegative(n);
    verts.resize(static_cast<size_t>(numVerts));
}

void Mesh::setNumFaces(int n) {
    numFaces = NonNegative(n);
    faces.resize(static_cast<size_t>(numFaces));
    // Texture and colour faces follow the faces while their channel is present.
    if (numTVerts > 0 || !tvFace.empty()) tvFace.resize(static_cast<size_t>(numFaces));
    if (numCVerts > 0 || !vcFace.empty()) vcFace.resize(static_cast<size_t>(numFaces));
}

void Mesh::setNumTVerts(int n) {
    numTVerts = NonNegative(n);
    tVerts.resize(static_cast<size_t>(numTVerts));
    if (numTVerts > 0) {
        tvFace.resize(static_cast<size_t>(numFaces));
    } else {
        tvFace.clear();
    }
}

void Mesh::setNumVertCol(int n) {
    numCVerts = NonNegative(n);
    vertCol.resize(static_cast<size_t>(numCVerts));
    if (numCVerts > 0) {
        vcFace.resize(static_cast<size_t>(numFaces));
    } else {
        vcFace.clear();
    }
}

void Mesh::SetSpecifiedNormals(std::vector<Point3> perVertex) {
    specified_ = std::move(perVertex);
}
