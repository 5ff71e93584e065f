// A scene as the console host hands it from its import process to the
// plug-in's host: plain data in the host's Z-up frame, without any importer
// or host types, so that any program (also a Windows host) can read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvoscene {

constexpr uint32_t kNone = 0xffffffffu;

enum class NodeKind : uint8_t { Geometry = 0, Camera = 1, Light = 2, Helper = 3 };

// How a vertex channel's faces relate to the position faces.
enum class ChannelFaces : uint8_t { Absent = 0, SameAsPositions = 1, Own = 2 };

struct Material {
    std::string name;
    bool multi = false;
    // Standard material: the diffuse bitmap's path, when there is a bitmap.
    bool hasDiffuseMap = false;
    std::string diffuseMap;
    // The diffuse texture is held inside the scene file (no bitmap for the
    // host; `diffuseMap` names it as the scene file does).
    bool embeddedDiffuseMap = false;
    // Multi-material: (sub-material number, index of a standard material).
    std::vector<std::pair<uint32_t, uint32_t>> subs;
};

// A triangle mesh. Points are x, y, z triples; faces are index triples.
struct Mesh {
    std::vector<float> positions;
    std::vector<uint32_t> faces;
    std::vector<uint16_t> materialIds;  // one per face
    std::vector<uint32_t> smoothing;    // one per face
    std::vector<float> normals;         // one per position, or empty

    std::vector<float> uvs;  // map channel 1
    ChannelFaces uvFaceMode = ChannelFaces::Absent;
    std::vector<uint32_t> uvFaces;  // only with ChannelFaces::Own

    std::vector<float> colors;
    ChannelFaces colorFaceMode = ChannelFaces::Absent;
    std::vector<uint32_t> colorFaces;  // only with ChannelFaces::Own

    uint32_t VertexCount() const { return static_cast<uint32_t>(positions.size() / 3); }
    uint32_t FaceCount() const { return static_cast<uint32_t>(faces.size() / 3); }
};

struct Node {
    std::string name;
    uint32_t parent = kNone;  // index of an earlier node, or kNone for the scene root
    NodeKind kind = NodeKind::Helper;
    float transform[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};  // object-to-world, 4 rows of 3
    uint32_t material = kNone;
    Mesh mesh;  // geometry nodes only
};

// What the import read but no node carries: told to the user as warnings.
struct ImportLosses {
    uint32_t lines = 0;          // line primitives dropped from meshes
    uint32_t points = 0;         // point primitives dropped from meshes
    uint32_t animations = 0;     // animations of the file
    uint32_t skinnedMeshes = 0;  // meshes bound to bones
    uint32_t extraUvMeshes = 0;  // meshes with texture coordinates past the first set
    uint32_t extraUvSets = 0;    // those sets, added up

    bool Any() const {
        return lines || points || animations || skinnedMeshes || extraUvMeshes || extraUvSets;
    }
};

// Where the import placed the file in the host's frame: the file's up axis
// and the factor its lengths were multiplied by. Recorded when the import
// converted anything or was asked to.
struct SourceFrame {
    bool recorded = false;
    uint32_t up = 1;  // the file's up: axis 0, 1, 2 (x, y, z), plus 4 when it points to -axis
    double factor = 1;
};
// "y", "-z"...; "" for an up code that names no axis.
std::string UpAxisName(uint32_t up);

struct Scene {
    std::vector<Material> materials;
    std::vector<Node> nodes;  // parents before their children
    ImportLosses losses;
    SourceFrame frame;
};

const char* KindName(NodeKind kind);

// The material whose name and diffuse map a face group of `materialId` takes
// when the node is exported: the node's standard material, its multi-material's
// sub-material of that number (the last one given for it), or the
// multi-material itself when it has none of that number (a name, no map).
// Null when the node has no material or names one the scene does not hold.
const Material* GroupMaterial(const Scene& scene, const Node& node, uint16_t materialId);

}  // namespace kvoscene
