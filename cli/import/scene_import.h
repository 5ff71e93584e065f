// A scene file into the scene form: OBJ files through the console host's own
// reader where it takes them, everything else through Assimp.
#pragma once

#include <string>

#include "cli/import/assimp_import.h"
#include "cli/import/assimp_module.h"
#include "scene/compact_scene.h"

namespace kvoimport {

class FilesRead;

// `otherFormats` imports what the OBJ reader does not take: Assimp linked in,
// or ImportWithAssimpModule where the importer is loaded on demand.
bool ImportScene(const std::string& path, const ImportSettings& settings, kvoscene::Scene& scene,
                 std::string& error, FilesRead* filesRead = nullptr,
                 ImportFunction otherFormats = ImportWithAssimp);

}  // namespace kvoimport
