// The plug-in DLL as the host application loads it: LoadLibraryA, the four
// exports found by name with GetProcAddress, FreeLibrary at the end.
#pragma once

#include <string>

#include "platform/max/max_sdk.h"

namespace winhost {

class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // False with a message when the DLL does not load or lacks an export.
    bool Load(const std::string& path, std::string& error);
    // Unloads the DLL: its static objects are destroyed, its side files closed.
    void Unload();
    HMODULE Module() const { return module_; }

    const char* (*LibDescription)() = nullptr;
    int (*LibNumberClasses)() = nullptr;
    ClassDesc* (*LibClassDesc)(int) = nullptr;
    unsigned long (*LibVersion)() = nullptr;

private:
    HMODULE module_ = nullptr;
};

}  // namespace winhost
