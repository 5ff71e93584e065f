// The loader on Windows: LoadLibraryA, GetProcAddress, FreeLibrary.
#include "hostdrive/module_loader.h"

namespace hostdrive {

bool PluginModule::Open(const std::string& path, std::string& error) {
    handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (handle_ == nullptr) {
        error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

void* PluginModule::FindExport(const char* name, std::string& error) {
    FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), name);
    if (address == nullptr) error = std::string("the module does not export ") + name;
    return reinterpret_cast<void*>(address);
}

HINSTANCE PluginModule::InstanceOfModule() const {
    return static_cast<HINSTANCE>(handle_);
}

void PluginModule::Close() {
    FreeLibrary(static_cast<HMODULE>(handle_));
}

}  // namespace hostdrive
