// The entry point of lib/kvoexp_import_assimp.so, the importer's module that
// the import program loads on demand (assimp_module.h).
#include <type_traits>

#include "cli/import/assimp_module.h"

extern "C" __attribute__((visibility("default"))) bool kvoexp_import_with_assimp(
    const std::string& path, const kvoimport::ImportSettings& settings, kvoscene::Scene& scene,
    std::string& error, kvoimport::FilesRead* filesRead) {
    return kvoimport::ImportWithAssimp(path, settings, scene, error, filesRead);
}

static_assert(std::is_same_v<decltype(&kvoexp_import_with_assimp), kvoimport::ImportFunction>,
              "the module's entry point has the loader's type");
