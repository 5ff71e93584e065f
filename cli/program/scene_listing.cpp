#include "cli/program/scene_listing.h"

#include <set>

#include "export/node_file.h"
#include "hostdrive/scene_selection.h"

namespace kvocli {

namespace {

using kvoscene::kNone;
using kvoscene::Material;
using kvoscene::Node;
using kvoscene::NodeKind;
using kvoscene::Scene;

std::string JoinIds(const std::set<uint16_t>& ids) {
    std::string text;
    for (uint16_t id : ids) text += (text.empty() ? "" : ",") + std::to_string(id);
    return text;
}

// The material each ID resolves to, as the exporter reads the node's material.
std::string StandardMaterial(const Material& mat) {
    const std::string map = mat.hasDiffuseMap        ? " (map " + mat.diffuseMap + ")"
                            : mat.embeddedDiffuseMap ? " (map held in the scene file)"
                                                     : "";
    return "'" + mat.name + "'" + map;
}

std::string MaterialNames(const Scene& scene, const Node& node, const std::set<uint16_t>& ids) {
    if (node.material == kNone || node.material >= scene.materials.size()) return "none";
    const Material& mat = scene.materials[node.material];
    if (!mat.multi) return StandardMaterial(mat);
    std::string text = "'" + mat.name + "' {";
    bool first = true;
    for (uint16_t id : ids) {
        const Material* sub = kvoscene::GroupMaterial(scene, node, id);
        text += (first ? "" : ", ") + std::to_string(id) + ": " +
                (sub == &mat ? std::string("-") : StandardMaterial(*sub));
        first = false;
    }
    return text + "}";
}

std::string Describe(const Scene& scene, const Node& node) {
    std::string text = kvoscene::KindName(node.kind);
    if (node.kind != NodeKind::Geometry) return text;
    const std::set<uint16_t> ids(node.mesh.materialIds.begin(), node.mesh.materialIds.end());
    text += ", " + std::to_string(node.mesh.FaceCount()) + " faces";
    if (!ids.empty()) text += ", material IDs " + JoinIds(ids);
    text += ", material " + MaterialNames(scene, node, ids);
    return text;
}

// What the export does with a selected geometry node, by the exporter's own rules.
std::string ExportMark(const std::string& name) {
    const std::string problem = exporter::FileNameProblem(name);
    if (!problem.empty()) return "will not be written: " + problem;
    return "exported as '" + exporter::NodeFileName(name) + "'";
}

struct Tree {
    const Scene& scene;
    const std::vector<std::string>& givenNames;
    const std::vector<std::string>& globs;
    std::vector<std::vector<size_t>> children;
};

void PrintNode(std::FILE* out, const Tree& tree, size_t index, int depth) {
    const Scene& scene = tree.scene;
    const std::vector<std::string>& globs = tree.globs;
    const Node& node = scene.nodes[index];
    std::string mark;
    if (node.parent == kNone) {
        const bool selected = hostdrive::IsSelected(node, globs);
        if (!selected) {
            mark = "  [not selected]";
        } else {
            mark = node.kind == NodeKind::Geometry ? "  [selected: " + ExportMark(node.name) + "]"
                                                   : "  [selected: not geometry, skipped]";
        }
    } else {
        mark = "  [below a root child: not exported]";
    }
    const std::string& name = index < tree.givenNames.size() ? tree.givenNames[index] : node.name;
    std::fprintf(out, "%*s'%s'  %s%s\n", 2 * depth + 2, "", name.c_str(),
                 Describe(scene, node).c_str(), mark.c_str());
    for (size_t child : tree.children[index]) PrintNode(out, tree, child, depth + 1);
}

}  // namespace

void PrintSceneTree(std::FILE* out, const std::string& sceneName, const Scene& scene,
                    const std::vector<std::string>& givenNames,
                    const std::vector<std::string>& globs) {
    std::fprintf(out, "%s: %zu nodes, %zu materials\n", sceneName.c_str(), scene.nodes.size(),
                 scene.materials.size());
    Tree tree{scene, givenNames, globs, std::vector<std::vector<size_t>>(scene.nodes.size())};
    std::vector<size_t> roots;
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const uint32_t parent = scene.nodes[i].parent;
        (parent == kNone ? roots : tree.children[parent]).push_back(i);
    }
    for (size_t root : roots) PrintNode(out, tree, root, 0);
}

}  // namespace kvocli
