// What the console host can tell of a scene before pressing Export: the
// selected nodes with what each should become, and the warnings about what
// the export will lose (deeper geometry, missing or embedded textures,
// names that break on Windows or in geometry.ini, non-finite numbers...).
#pragma once

#include <string>
#include <vector>

#include "cli/checks/export_warnings.h"
#include "cli/checks/node_report.h"
#include "scene/compact_scene.h"

namespace kvochecks {

struct SceneCheckSettings {
    std::string scenePath;                  // textures are looked up beside it
    std::vector<std::string> texturePaths;  // then in these folders (--texture-path)
    std::string outputDir;
    std::vector<std::string> selectGlobs;
    bool geometryIni = false;   // the geometry.ini box is checked
    bool localize = false;      // the Localize box: positions stay in the object's frame
    bool vertexColors = false;  // the Vertex Colors box: colours are written
};

struct SceneCheck {
    std::vector<NodeReport> nodes;  // the selected root children, in scene order
    std::vector<ExportWarning> warnings;
};

SceneCheck CheckScene(const kvoscene::Scene& scene, const SceneCheckSettings& settings);

}  // namespace kvochecks
