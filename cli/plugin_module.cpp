#include "cli/plugin_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace kvocli {

namespace {

template <class Fn>
bool FindExport(void* handle, const char* name, Fn& fn, std::string& error) {
    void* symbol = dlsym(handle, name);
    if (!symbol) {
        error = std::string("the module has no export ") + name;
        return false;
    }
    fn = reinterpret_cast<Fn>(symbol);
    return true;
}

}  // namespace

PluginModule::~PluginModule() {
    Unload();
}

bool PluginModule::Load(const std::string& path, std::string& error) {
    Unload();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error = why ? why : ("cannot load " + path);
        return false;
    }
    if (!FindExport(handle_, "LibDescription", LibDescription, error) ||
        !FindExport(handle_, "LibNumberClasses", LibNumberClasses, error) ||
        !FindExport(handle_, "LibClassDesc", LibClassDesc, error) ||
        !FindExport(handle_, "LibVersion", LibVersion, error)) {
        Unload();
        return false;
    }
    return true;
}

void PluginModule::Unload() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    LibDescription = nullptr;
    LibNumberClasses = nullptr;
    LibClassDesc = nullptr;
    LibVersion = nullptr;
}

std::string FindModulePath(const std::string& requested) {
    if (!requested.empty()) return requested;
    if (const char* env = std::getenv("KVOEXP_MODULE"); env && *env) return env;
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "kvoexp.so";
    std::string exe(self, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : exe.substr(0, slash);
    return dir + "/../lib/kvoexp.so";
}

}  // namespace kvocli
