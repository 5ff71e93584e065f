#include "cli/checks/nothing_to_export.h"

#include "cli/checks/export_warnings.h"
#include "hostdrive/scene_selection.h"

namespace kvochecks {

namespace {

using kvoscene::kNone;
using kvoscene::Node;
using kvoscene::NodeKind;

// "2 lights, 1 camera and 3 helpers".
std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

}  // namespace

std::string NothingToExport(const kvoscene::Scene& scene,
                            const std::vector<std::string>& selectGlobs) {
    uint64_t counts[4] = {};
    uint64_t deeperFaces = 0;
    std::vector<bool> selected(scene.nodes.size(), false);
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const Node& node = scene.nodes[i];
        ++counts[static_cast<size_t>(node.kind) & 3];
        if (node.parent == kNone) {
            selected[i] = hostdrive::IsSelected(node, selectGlobs);
            if (selected[i] && node.kind == NodeKind::Geometry) return {};
        } else if (node.parent < i && selected[node.parent]) {
            selected[i] = true;
            if (node.kind == NodeKind::Geometry) deeperFaces += node.mesh.FaceCount();
        }
    }
    const uint64_t geometry = counts[static_cast<size_t>(NodeKind::Geometry)];
    if (geometry == 0) {
        std::vector<std::string> held;
        const uint64_t lights = counts[static_cast<size_t>(NodeKind::Light)];
        const uint64_t cameras = counts[static_cast<size_t>(NodeKind::Camera)];
        const uint64_t helpers = counts[static_cast<size_t>(NodeKind::Helper)];
        if (lights) held.push_back(Plural(lights, "light", "lights"));
        if (cameras) held.push_back(Plural(cameras, "camera", "cameras"));
        if (helpers) held.push_back(Plural(helpers, "helper node", "helper nodes"));
        if (scene.losses.animations) {
            held.push_back(Plural(scene.losses.animations, "animation", "animations"));
        }
        const uint64_t unsurfaced = uint64_t{scene.losses.lines} + scene.losses.points;
        if (unsurfaced) held.push_back(Plural(unsurfaced, "line or point", "lines and points"));
        if (held.empty()) return "the scene holds nothing, no geometry";
        return "the scene holds " + Listed(held) + ", no geometry";
    }
    if (deeperFaces > 0) {
        return "its " + Plural(geometry, "geometry node", "geometry nodes") + " (" +
               Plural(deeperFaces, "face", "faces") +
               ") are all below the root's children, which --no-collapse leaves out";
    }
    return "the selected root children hold no geometry (--select leaves out " +
           Plural(geometry, "geometry node", "geometry nodes") + ")";
}

}  // namespace kvochecks
