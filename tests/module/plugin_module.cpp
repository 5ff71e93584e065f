#include "tests/module/plugin_module.h"

#include <dlfcn.h>

namespace {

template <class Fn>
Fn Lookup(void* handle, const char* name, std::string& error) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr && error.empty()) error = std::string("missing export ") + name;
    return reinterpret_cast<Fn>(symbol);
}

}  // namespace

PluginModule::PluginModule(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = why != nullptr ? why : "dlopen failed";
        return;
    }
    LibDescription = Lookup<LibDescriptionFn>(handle_, "LibDescription", error_);
    LibNumberClasses = Lookup<LibNumberClassesFn>(handle_, "LibNumberClasses", error_);
    LibClassDesc = Lookup<LibClassDescFn>(handle_, "LibClassDesc", error_);
    LibVersion = Lookup<LibVersionFn>(handle_, "LibVersion", error_);
    Dl_info info{};
    if (LibVersion != nullptr && dladdr(reinterpret_cast<void*>(LibVersion), &info) != 0) {
        instance_ = static_cast<HINSTANCE>(info.dli_fbase);
    }
}

PluginModule::~PluginModule() {
    Unload();
}

void PluginModule::Unload() {
    if (handle_ == nullptr) return;
    dlclose(handle_);
    handle_ = nullptr;
    LibDescription = nullptr;
    LibNumberClasses = nullptr;
    LibClassDesc = nullptr;
    LibVersion = nullptr;
}

bool ModuleIsResident(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    dlclose(handle);
    return true;
}
