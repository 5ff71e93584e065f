#include "cli/checks/scene_checks.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "cli/checks/printable_text.h"
#include "cli/checks/written_values.h"
#include "cli/outputs/path_parts.h"
#include "export/material_extraction.h"
#include "export/node_file.h"
#include "hostdrive/scene_selection.h"
#include "textures/texture_lookup.h"

namespace kvochecks {

namespace {

using kvoscene::kNone;
using kvoscene::Material;
using kvoscene::Node;
using kvoscene::NodeKind;
using kvoscene::Scene;

// The plug-in reads names as C strings: a NUL ends them.
std::string AsThePluginSeesIt(const std::string& name) {
    return name.substr(0, name.find('\0'));
}

// What a face group of `materialId` carries into the file, by the export's rule.
MaterialReport GroupMaterialReport(const Scene& scene, const Node& node, uint16_t materialId,
                                   const kvotextures::TextureSearch& search) {
    MaterialReport report;
    const Material* mat = kvoscene::GroupMaterial(scene, node, materialId);
    if (!mat) return report;
    report.sourceName = mat->name;
    report.name = exporter::SanitizeName(AsThePluginSeesIt(mat->name));
    report.embedded = mat->embeddedDiffuseMap;
    if (mat->hasDiffuseMap) {
        report.texture = exporter::StripPath(AsThePluginSeesIt(mat->diffuseMap));
        const kvotextures::TextureLookup lookup =
            kvotextures::LookupTexture(AsThePluginSeesIt(mat->diffuseMap), search);
        report.found = !lookup.path.empty();
        report.resolvedPath = report.found            ? lookup.path
                              : lookup.looked.empty() ? std::string()
                                                      : lookup.looked.front();
        report.looked = lookup.looked;
        report.notImage = lookup.notImage;
    }
    return report;
}

std::vector<MaterialGroup> Groups(const Scene& scene, const Node& node,
                                  const kvotextures::TextureSearch& search) {
    std::map<uint16_t, uint64_t> faces;
    for (uint16_t id : node.mesh.materialIds) ++faces[id];
    std::vector<MaterialGroup> groups;
    for (const auto& [id, count] : faces) {
        groups.push_back({id, count, GroupMaterialReport(scene, node, id, search)});
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
                     ") below the root's children not exported with --no-collapse (the "
                     "default merges them into their root child)");
        }
        LossWarnings(scene_.losses);
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
    void LossWarnings(const kvoscene::ImportLosses& l) {
        if (l.lines + l.points > 0) {
            Warn(WarningCode::kNotTriangles, "",
                 Plural(l.lines, "line", "lines") + " and " + Plural(l.points, "point", "points") +
                     " of the scene's meshes not exported: only triangles have a surface");
        }
        if (l.animations > 0) {
            Warn(WarningCode::kAnimationDropped, "",
                 Plural(l.animations, "animation", "animations") +
                     " not exported: the files hold the default pose");
        }
        if (l.skinnedMeshes > 0) {
            Warn(WarningCode::kSkinDropped, "",
                 Plural(l.skinnedMeshes, "mesh bound to bones", "meshes bound to bones") +
                     ": exported unbound, in the default pose");
        }
        if (l.extraUvSets > 0) {
            Warn(WarningCode::kUvSetDropped, "",
                 Plural(l.extraUvSets, "texture coordinate set", "texture coordinate sets") +
                     " past the first (in " + Plural(l.extraUvMeshes, "mesh", "meshes") +
                     ") not exported: the files hold one set");
        }
    }

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
        report.groups = Groups(scene_, node,
                               {kvooutputs::FolderOf(settings_.scenePath), settings_.texturePaths});
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
                         "written (--copy-textures would extract it)");
            } else if (!m.texture.empty() && !m.found) {
                MissingTexture(node, which, m);
            }
        }
    }

    void MissingTexture(const std::string& node, const std::string& which,
                        const MaterialReport& m) {
        std::string places;
        for (const std::string& place : m.looked) {
            places += (places.empty() ? "" : ", ") + Quoted(place);
        }
        if (!m.notImage.empty()) {
            Warn(WarningCode::kTextureNotImage, node,
                 which + ": texture " + Quoted(m.texture) + ": " + Quoted(m.notImage) +
                     " is not an image; not used (looked at " + places + ")");
            return;
        }
        Warn(WarningCode::kTextureMissing, node,
             which + ": texture " + Quoted(m.texture) + " not found (looked at " +
                 (places.empty() ? std::string("no place: a Windows path") : places) + ")");
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

SceneCheck CheckScene(const Scene& scene, const SceneCheckSettings& settings) {
    SceneCheck check;
    Checker(scene, settings, check).Run();
    return check;
}

}  // namespace kvochecks
