// An OBJ file as the OBJ reader gathers it: the shared vertex arrays, the
// materials of the file and its .mtl, and the objects with their meshes (one
// material each), in the shapes the scene builder needs.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace kvoimport {

constexpr uint32_t kObjNoIndex = 0xffffffffu;

// The texture kinds a .mtl names, in the order the importer lists them (its
// texture type numbers), which is the order their files enter a depfile.
enum ObjTextureSlot : uint8_t {
    kObjDiffuse,
    kObjSpecular,
    kObjAmbient,
    kObjEmissive,
    kObjHeight,
    kObjNormals,
    kObjShininess,
    kObjOpacity,
    kObjTextureSlots
};

struct ObjMaterial {
    std::string name;
    std::string textures[kObjTextureSlots];
};

// One face corner: 0-based indices into the model's arrays, or kObjNoIndex.
struct ObjCorner {
    uint32_t v, vt, vn;
};

struct ObjMesh {
    std::string name;
    uint32_t material = kObjNoIndex;  // kObjNoIndex: the default material
    std::vector<ObjCorner> corners;   // the faces' corners, face after face
    std::vector<uint8_t> faceSizes;   // 3 or 4 corners per face
    bool anyUvs = false;              // some face gives texture coordinates
    bool anyNormals = false;          // some face gives normals
};

struct ObjObject {
    std::string name;
    std::vector<uint32_t> meshes;
};

struct ObjModel {
    // x, y, z triples.
    std::vector<float> positions, colors, uvs, normals;
    std::vector<ObjMaterial> materials;  // materials[0] is the default material
    std::unordered_map<std::string, uint32_t> materialIndex;
    std::vector<ObjObject> objects;
    std::unordered_map<std::string, uint32_t> objectIndex;  // first object of a name
    std::vector<ObjMesh> meshes;
    size_t faceCount = 0;

    // The state statements change, as the file is read.
    uint32_t currentObject = kObjNoIndex;
    uint32_t currentMesh = kObjNoIndex;
    uint32_t currentMaterial = kObjNoIndex;
    std::string activeGroup;

    uint32_t PositionCount() const { return static_cast<uint32_t>(positions.size() / 3); }
    uint32_t UvCount() const { return static_cast<uint32_t>(uvs.size() / 3); }
    uint32_t NormalCount() const { return static_cast<uint32_t>(normals.size() / 3); }
    uint32_t ColorCount() const { return static_cast<uint32_t>(colors.size() / 3); }
};

// The name the default material has, and the object that takes faces given
// before any `o` or `g`.
extern const char kObjDefaultMaterial[];
extern const char kObjDefaultObject[];

// Starts a model with its default material.
void StartObjModel(ObjModel& model);
// A new mesh of `name` for the current object (none: a mesh no object shows).
void AddObjMesh(ObjModel& model, const std::string& name);
// A new object, with its first mesh, which takes the current material.
void AddObjObject(ObjModel& model, const std::string& name);
// The material of `name`, added at the end when it is new.
uint32_t ObjMaterialOf(ObjModel& model, const std::string& name, bool& added);

}  // namespace kvoimport
