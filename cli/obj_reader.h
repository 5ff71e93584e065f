// The console host's own OBJ reader: reads the file whole (a concurrent
// truncation only shortens what is read), parses numbers exactly and builds
// the scene form directly, as the importer's path would build it but with
// every number correctly rounded and `o`/`g` names whole. Files it does not
// take are left to the importer.
#pragma once

#include <string>
#include <vector>

#include "cli/assimp_import.h"
#include "cli/obj_parser.h"
#include "scene/compact_scene.h"

namespace kvoscene {

enum class ObjRead {
    Done,     // `scene` holds the file
    Failed,   // `message` says why; the importer would fail as well
    NotTaken  // `message` says what the reader does not take
};

struct ObjFilesRead {
    std::vector<std::string> mtlFiles;      // the .mtl files read, as opened
    std::vector<std::string> textureNames;  // every texture the materials name, in order
};

ObjRead ReadObjFile(const std::string& path, const ImportSettings& settings, Scene& scene,
                    std::string& message, ObjFilesRead* files = nullptr);

// The same from bytes in memory; `source` says where .mtl files come from.
ObjRead ReadObjBytes(const char* data, size_t size, const ObjSource& source,
                     const ImportSettings& settings, Scene& scene, std::string& message,
                     ObjFilesRead* files = nullptr);

// Reads a whole file into `bytes` with read(2); false with `error` set from errno, or
// "not a regular file".
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error, bool& opened);

}  // namespace kvoscene
