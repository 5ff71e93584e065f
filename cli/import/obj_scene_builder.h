// Turns an OBJ model into the scene form as the importer's path does: one
// root child per object, its meshes (one per material) triangulated, welded
// and joined into the node's mesh, a multi-material where there are several.
#pragma once

#include <string>

#include "cli/import/assimp_import.h"
#include "cli/import/obj_model.h"
#include "scene/compact_scene.h"

namespace kvoimport {

// `fileStem` names unnamed objects ("stem-3"). False with `error` for a node
// past the scene form's limits.
bool BuildObjScene(const ObjModel& model, const ImportSettings& settings,
                   const std::string& fileStem, kvoscene::Scene& scene, std::string& error);

// Where a quad's two triangles start: its first corner whose angles to the
// opposite corner add up to more than pi (a concave corner), else corner 0;
// the same float steps as the importer's triangulation.
unsigned QuadFanStart(const float* const corners[4]);

}  // namespace kvoimport
