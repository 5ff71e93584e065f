#include "scene/compact_scene.h"

namespace kvoscene {

const char* KindName(NodeKind kind) {
    switch (kind) {
        case NodeKind::Geometry:
            return "geometry";
        case NodeKind::Camera:
            return "camera";
        case NodeKind::Light:
            return "light";
        case NodeKind::Helper:
            return "helper";
    }
    return "unknown";
}

const Material* GroupMaterial(const Scene& scene, const Node& node, uint16_t materialId) {
    if (node.material == kNone || node.material >= scene.materials.size()) return nullptr;
    const Material& mat = scene.materials[node.material];
    if (!mat.multi) return &mat;
    const Material* sub = &mat;
    for (const auto& [id, index] : mat.subs) {
        if (id == materialId && index < scene.materials.size()) sub = &scene.materials[index];
    }
    return sub;
}

std::string UpAxisName(uint32_t up) {
    if ((up & 3) > 2 || up > 7) return "";
    const std::string axis(1, static_cast<char>('x' + (up & 3)));
    return (up & 4) ? "-" + axis : axis;
}

}  // namespace kvoscene
