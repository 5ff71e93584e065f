#include "hostdrive/scene_selection.h"

#include "scene/host_scene_builder.h"

namespace hostdrive {

bool IsSelected(const kvoscene::Node& node, const std::vector<std::string>& globs) {
    if (node.parent != kvoscene::kNone) return false;
    if (globs.empty()) return true;
    for (const std::string& glob : globs) {
        if (MatchesGlob(glob, node.name)) return true;
    }
    return false;
}

namespace {

std::vector<INode*> Select(const kvoscene::Scene& scene, std::vector<INode*> nodes,
                           const std::vector<std::string>& globs) {
    for (size_t i = 0; i < scene.nodes.size() && i < nodes.size(); ++i) {
        if (IsSelected(scene.nodes[i], globs)) nodes[i]->SetSelected(true);
    }
    return nodes;
}

}  // namespace

std::vector<INode*> BuildSelectedScene(const kvoscene::Scene& scene, HostScene& host,
                                       const std::vector<std::string>& globs) {
    return Select(scene, kvoscene::BuildHostScene(scene, host), globs);
}

std::vector<INode*> BuildSelectedScene(kvoscene::Scene&& scene, HostScene& host,
                                       const std::vector<std::string>& globs) {
    return Select(scene, kvoscene::BuildHostScene(std::move(scene), host), globs);
}

}  // namespace hostdrive
