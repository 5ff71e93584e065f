// A scene file into the scene form: OBJ files through the console host's own
// reader where it takes them, everything else through Assimp.
#pragma once

#include <string>

#include "cli/import/assimp_import.h"
#include "scene/compact_scene.h"

namespace kvoimport {

class FilesRead;

bool ImportScene(const std::string& path, const ImportSettings& settings, kvoscene::Scene& scene,
                 std::string& error, FilesRead* filesRead = nullptr);

}  // namespace kvoimport
