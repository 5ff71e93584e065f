#include "cli/import/obj_model.h"

namespace kvoimport {

const char kObjDefaultMaterial[] = "DefaultMaterial";
const char kObjDefaultObject[] = "defaultobject";

void StartObjModel(ObjModel& model) {
    model = ObjModel();
    bool added = false;
    ObjMaterialOf(model, kObjDefaultMaterial, added);
}

void AddObjMesh(ObjModel& model, const std::string& name) {
    model.currentMesh = static_cast<uint32_t>(model.meshes.size());
    model.meshes.emplace_back();
    model.meshes.back().name = name;
    if (model.currentObject != kObjNoIndex) {
        model.objects[model.currentObject].meshes.push_back(model.currentMesh);
    }
}

void AddObjObject(ObjModel& model, const std::string& name) {
    model.currentObject = static_cast<uint32_t>(model.objects.size());
    model.objects.emplace_back();
    model.objects.back().name = name;
    model.objectIndex.emplace(name, model.currentObject);
    AddObjMesh(model, name);
    if (model.currentMaterial != kObjNoIndex) {
        model.meshes[model.currentMesh].material = model.currentMaterial;
    }
}

uint32_t ObjMaterialOf(ObjModel& model, const std::string& name, bool& added) {
    const auto found = model.materialIndex.find(name);
    added = found == model.materialIndex.end();
    if (!added) return found->second;
    const uint32_t index = static_cast<uint32_t>(model.materials.size());
    model.materials.emplace_back();
    model.materials.back().name = name;
    model.materialIndex.emplace(name, index);
    return index;
}

}  // namespace kvoimport
