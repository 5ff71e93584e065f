// The importer for every format but the OBJ files our own reader takes lives
// in a module of its own, lib/kvoexp_import_assimp.so, loaded on the first
// scene that needs it: an import program that only reads OBJ files starts
// without the importer's libraries and their thousands of relocations.
#pragma once

#include <string>

#include "cli/import/assimp_import.h"

namespace kvoimport {

class FilesRead;

// What the module exports under kAssimpModuleEntry: ImportWithAssimp.
using ImportFunction = bool (*)(const std::string& path, const ImportSettings& settings,
                                kvoscene::Scene& scene, std::string& error, FilesRead* filesRead);
constexpr const char* kAssimpModuleEntry = "kvoexp_import_with_assimp";
constexpr const char* kAssimpModuleName = "kvoexp_import_assimp.so";

// ../lib/kvoexp_import_assimp.so relative to the running executable.
std::string AssimpModulePath();

// Loads the module once per process (a forked child inherits it); later calls
// give the first outcome. Null with `error` saying why when it cannot be loaded.
ImportFunction LoadAssimpModule(std::string& error);

// ImportWithAssimp through the module: a module that cannot be loaded fails
// the scene with a message naming it.
bool ImportWithAssimpModule(const std::string& path, const ImportSettings& settings,
                            kvoscene::Scene& scene, std::string& error, FilesRead* filesRead);

}  // namespace kvoimport
