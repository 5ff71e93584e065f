// The loader on POSIX systems: dlopen, dlsym, dlclose.
#include <dlfcn.h>

#include "hostdrive/module_loader.h"

namespace hostdrive {

bool PluginModule::Open(const std::string& path, std::string& error) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : "cannot load " + path;
        return false;
    }
    return true;
}

void* PluginModule::FindExport(const char* name, std::string& error) {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) error = std::string("the module does not export ") + name;
    return symbol;
}

// The window stand-in knows a module by its load address.
HINSTANCE PluginModule::InstanceOfModule() const {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(LibVersion), &info) == 0) return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

void PluginModule::Close() {
    dlclose(handle_);
}

}  // namespace hostdrive
