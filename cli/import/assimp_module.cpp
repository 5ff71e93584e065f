#include "cli/import/assimp_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace kvoimport {

namespace {

struct LoadedModule {
    ImportFunction import = nullptr;
    std::string error;
};

LoadedModule Load() {
    LoadedModule loaded;
    const std::string path = AssimpModulePath();
    // Never unloaded: the importer's libraries do not all unload cleanly.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module != nullptr) {
        loaded.import = reinterpret_cast<ImportFunction>(dlsym(module, kAssimpModuleEntry));
    }
    if (loaded.import == nullptr) {
        const char* cause = dlerror();
        loaded.error = "the importer module cannot be loaded: " +
                       std::string(cause != nullptr ? cause : path + ": no entry point");
    }
    return loaded;
}

}  // namespace

std::string AssimpModulePath() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = ".";
    if (n > 0) {
        const std::string exe(self, static_cast<size_t>(n));
        const size_t slash = exe.rfind('/');
        if (slash != std::string::npos) dir = exe.substr(0, slash);
    }
    return dir + "/../lib/" + kAssimpModuleName;
}

ImportFunction LoadAssimpModule(std::string& error) {
    static const LoadedModule loaded = Load();
    if (loaded.import == nullptr) error = loaded.error;
    return loaded.import;
}

bool ImportWithAssimpModule(const std::string& path, const ImportSettings& settings,
                            kvoscene::Scene& scene, std::string& error, FilesRead* filesRead) {
    const ImportFunction import = LoadAssimpModule(error);
    return import != nullptr && import(path, settings, scene, error, filesRead);
}

}  // namespace kvoimport
