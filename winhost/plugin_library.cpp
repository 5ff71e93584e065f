#include "winhost/plugin_library.h"

namespace winhost {

namespace {

// Finds an export by name and gives it the caller's function type.
template <typename Function>
bool FindExport(HMODULE module, const char* name, Function& target, std::string& error) {
    FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        error = std::string("the DLL does not export ") + name;
        return false;
    }
    target = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    return true;
}

}  // namespace

PluginLibrary::~PluginLibrary() {
    Unload();
}

bool PluginLibrary::Load(const std::string& path, std::string& error) {
    Unload();
    module_ = LoadLibraryA(path.c_str());
    if (module_ == nullptr) {
        error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
        return false;
    }
    if (!FindExport(module_, "LibDescription", LibDescription, error) ||
        !FindExport(module_, "LibNumberClasses", LibNumberClasses, error) ||
        !FindExport(module_, "LibClassDesc", LibClassDesc, error) ||
        !FindExport(module_, "LibVersion", LibVersion, error)) {
        Unload();
        return false;
    }
    return true;
}

void PluginLibrary::Unload() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
    LibDescription = nullptr;
    LibNumberClasses = nullptr;
    LibClassDesc = nullptr;
    LibVersion = nullptr;
}

}  // namespace winhost
