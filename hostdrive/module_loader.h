// Loads the plug-in module as the host application loads the plug-in DLL:
// opens it, finds the four exports by name, unloads it at the end. The
// POSIX variant (module_loader_posix.cpp) uses dlopen, the Windows variant
// (module_loader_windows.cpp) LoadLibraryA.
#pragma once

#include <string>

#include "platform/max/max_sdk.h"

namespace hostdrive {

class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // False with a message when the module does not load or lacks an
    // export; nothing stays loaded then.
    bool Load(const std::string& path, std::string& error);
    // Unloads the module: its static objects are destroyed, its side files closed.
    void Unload();
    bool Loaded() const { return handle_ != nullptr; }
    // The module's own handle, as the window system knows it.
    HINSTANCE Instance() const { return instance_; }

    const char* (*LibDescription)() = nullptr;
    int (*LibNumberClasses)() = nullptr;
    ClassDesc* (*LibClassDesc)(int) = nullptr;
    unsigned long (*LibVersion)() = nullptr;

private:
    // Per variant: open and close the module, look up one export.
    bool Open(const std::string& path, std::string& error);
    void* FindExport(const char* name, std::string& error);
    HINSTANCE InstanceOfModule() const;
    void Close();

    void* handle_ = nullptr;
    HINSTANCE instance_ = nullptr;
};

}  // namespace hostdrive
