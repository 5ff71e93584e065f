#include "cli/checks/scene_checks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "cli/checks/printable_text.h"
#include "cli/checks/written_values.h"
#include "cli/import/image_file.h"
#include "cli/outputs/path_parts.h"
#include "export/material_extraction.h"
#include "export/node_file.h"
#include "hostdrive/scene_selection.h"

namespace kvochecks {

namespace {

using kvoscene::kNone;
using kvoscene::Material;
using kvoscene::Node;
using kvoscene::NodeKind;
using kvoscene::Scene;

bool IsFile(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The plug-in reads names as C strings: a NUL ends them.
std::string AsThePluginSeesIt(const std::string& name) {
    return name.substr(0, name.find('\0'));
}

// What a face group of `materialId` carries into the file, by the export's rule.
MaterialReport GroupMaterialReport(const Scene& scene, const Node& node, uint16_t materialId,
                                   const std::string& scenePath) {
    MaterialReport report;
    const Material* mat = kvoscene::GroupMaterial(scene, node, materialId);
    if (!mat) return report;
    report.sourceName = mat->name;
    report.name = exporter::SanitizeName(AsThePluginSeesIt(mat->name));
    report.embedded = mat->embeddedDiffuseMap;
    if (mat->hasDiffuseMap) {
        report.texture = exporter::StripPath(AsThePluginSeesIt(mat->diffuseMap));
        report.resolvedPath = ResolveTexture(scenePath, mat->diffuseMap, report.found);
    }
    return report;
}

std::vector<MaterialGroup> Groups(const Scene& scene, const Node& node,
                                  const std::string& scenePath) {
    std::map<uint16_t, uint64_t> faces;
    for (uint16_t id : node.mesh.materialIds) ++faces[id];
    std::vector<MaterialGroup> groups;
    for (const auto& [id, count] : faces) {
        groups.push_back({id, count, GroupMaterialReport(scene, node, id, scenePath)});
    }
    return groups;
}

class Checker {
public:
    Checker(const Scene& scene, const SceneCheckSettings& settings, SceneCheck& out)
        : scene_(scene), settings_(settings), out_(out) {}

    void Run() {
        std::vector<bool> selectedRoot(scene_.nodes.size(), false);
        for (size_t i = 0; i < scene_.nodes.size(); ++i) {
            const Node& node = scene_.nodes[i];
            if (node.parent == kNone) {
                selectedRoot[i] = hostdrive::IsSelected(node, settings_.selectGlobs);
                if (selectedRoot[i]) SelectedNode(node);
            } else if (node.parent < i && selectedRoot[node.parent]) {
                // Below a selected root child: its root child is what is exported.
                selectedRoot[i] = true;
                if (node.kind == NodeKind::Geometry) {
                    ++deeperNodes_;
                    deeperFaces_ += node.mesh.FaceCount();
                }
            }
        }
        if (deeperNodes_ > 0) {
            Warn(WarningCode::kBelowRoot, "",
                 Plural(deeperNodes_, "geometry node", "geometry nodes") + " (" +
                     Plural(deeperFaces_, "face", "faces") +
                     ") below the root's children not exported (--collapse merges them into "
                     "their root child)");
        }
        for (const std::string& glob : settings_.selectGlobs) {
            const bool matched =
                std::any_of(scene_.nodes.begin(), scene_.nodes.end(),
                            [&](const Node& node) { return hostdrive::IsSelected(node, {glob}); });
            if (!matched) {
                Warn(WarningCode::kSelectUnmatched, "",
                     "--select " + Quoted(glob) + " matched none of the root's children");
            }
        }
    }

private:
    void Warn(WarningCode code, const std::string& node, const std::string& text) {
        out_.warnings.push_back({code, node, text});
    }

    void SelectedNode(const Node& node) {
        NodeReport report;
        report.name = node.name;
        report.kind = kvoscene::KindName(node.kind);
        if (node.kind != NodeKind::Geometry) {
            out_.nodes.push_back(std::move(report));
            return;
        }
        const std::string seen = AsThePluginSeesIt(node.name);
        report.file = exporter::OutputPath(settings_.outputDir, exporter::NodeFileName(seen));
        report.facesIn = node.mesh.FaceCount();
        report.groups = Groups(scene_, node, settings_.scenePath);
        out_.nodes.push_back(std::move(report));
        CheckName(node.name);
        CheckMaterials(node.name, out_.nodes.back().groups);
        CheckNumbers(node);
    }

    void CheckName(const std::string& name) {
        const std::string who = "node " + Quoted(name);
        if (HasControlCharacter(name)) {
            std::string text = who + ": the name holds control characters";
            if (name.find('\0') != std::string::npos) {
                text += "; the plug-in reads it as " + Quoted(AsThePluginSeesIt(name));
            }
            Warn(WarningCode::kNameControlCharacter, name, text);
        }
        const std::string seen = AsThePluginSeesIt(name);
        if (exporter::FileNameProblem(seen).empty()) {
            const std::string windows = exporter::WindowsFileNameProblem(seen);
            if (!windows.empty()) {
                Warn(WarningCode::kNameNotPortable, name,
                     who + ": Windows refuses it as a file name: " + windows);
            }
        }
        if (settings_.geometryIni && seen.find_first_of("\r\n{}") != std::string::npos) {
            Warn(WarningCode::kNameBreaksGeometryIni, name,
                 who + ": a line break or brace in the name breaks geometry.ini");
        }
    }

    void CheckMaterials(const std::string& node, const std::vector<MaterialGroup>& groups) {
        for (const MaterialGroup& group : groups) {
            const MaterialReport& m = group.material;
            const std::string which = "node " + Quoted(node) + ", material " + Quoted(m.name);
            if (m.embedded) {
                Warn(WarningCode::kTextureEmbedded, node,
                     which +
                         ": the texture is held inside the scene file; no texture name is "
                         "written");
            } else if (!m.texture.empty() && !m.found && IsFile(m.resolvedPath)) {
                Warn(WarningCode::kTextureNotImage, node,
                     which + ": texture " + Quoted(m.texture) + " is not an image (" +
                         Quoted(m.resolvedPath) + "); it is not used or listed");
            } else if (!m.texture.empty() && !m.found) {
                Warn(WarningCode::kTextureMissing, node,
                     which + ": texture " + Quoted(m.texture) + " not found (looked for " +
                         Quoted(m.resolvedPath) + ")");
            }
        }
    }

    void CheckNumbers(const Node& node) {
        const NonFiniteValues bad =
            CountNonFiniteWritten(node, {settings_.localize, settings_.vertexColors});
        if (bad.Total() == 0) return;
        std::string text =
            "node " + Quoted(node.name) + ": " +
            Plural(bad.positions, "non-finite position value", "non-finite position values") +
            (settings_.localize ? "" : " (moved by the node's transform)") + " and " +
            Plural(bad.normals, "non-finite normal value", "non-finite normal values");
        if (bad.uvs) text += ", " + Plural(bad.uvs, "texture coordinate", "texture coordinates");
        if (bad.colors) text += ", " + Plural(bad.colors, "colour value", "colour values");
        if (bad.transform) text += "; the node's transform is not finite";
        Warn(WarningCode::kNonFiniteValues, node.name, text);
    }

    const Scene& scene_;
    const SceneCheckSettings& settings_;
    SceneCheck& out_;
    uint64_t deeperNodes_ = 0;
    uint64_t deeperFaces_ = 0;
};

}  // namespace

std::string ResolveTexture(const std::string& scenePath, const std::string& texture, bool& found) {
    found = false;
    if (texture.empty()) return {};
    std::vector<std::string> candidates;
    const std::string folder = kvooutputs::FolderOf(scenePath);
    // Paths written on Windows use '\\'; read it as the separator first.
    std::string slashed = texture;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    for (const std::string& path : {slashed, texture}) {
        const std::string candidate = path[0] == '/' ? path : folder + "/" + path;
        if (candidates.empty() || candidates.back() != candidate) candidates.push_back(candidate);
    }
    const std::string base = exporter::StripPath(texture);
    if (base != texture) candidates.push_back(folder + "/" + base);
    std::string notImage;  // a file of the name that is no image: never used as a texture
    for (const std::string& candidate : candidates) {
        if (!IsFile(candidate)) continue;
        if (kvoimport::IsImageFile(candidate)) {
            found = true;
            return candidate;
        }
        if (notImage.empty()) notImage = candidate;
    }
    return notImage.empty() ? candidates.front() : notImage;
}

SceneCheck CheckScene(const Scene& scene, const SceneCheckSettings& settings) {
    SceneCheck check;
    Checker(scene, settings, check).Run();
    return check;
}

}  // namespace kvochecks
