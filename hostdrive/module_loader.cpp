// The part of the loader both variants share.
#include "hostdrive/module_loader.h"

namespace hostdrive {

namespace {

template <class Fn>
bool Assign(void* symbol, Fn& fn) {
    fn = reinterpret_cast<Fn>(symbol);
    return symbol != nullptr;
}

}  // namespace

PluginModule::~PluginModule() {
    Unload();
}

bool PluginModule::Load(const std::string& path, std::string& error) {
    Unload();
    if (!Open(path, error)) return false;
    if (!Assign(FindExport("LibDescription", error), LibDescription) ||
        !Assign(FindExport("LibNumberClasses", error), LibNumberClasses) ||
        !Assign(FindExport("LibClassDesc", error), LibClassDesc) ||
        !Assign(FindExport("LibVersion", error), LibVersion)) {
        Unload();
        return false;
    }
    instance_ = InstanceOfModule();
    return true;
}

void PluginModule::Unload() {
    if (handle_ != nullptr) Close();
    handle_ = nullptr;
    instance_ = nullptr;
    LibDescription = nullptr;
    LibNumberClasses = nullptr;
    LibClassDesc = nullptr;
    LibVersion = nullptr;
}

}  // namespace hostdrive
