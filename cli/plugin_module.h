// Loads the plug-in module at run time and finds its four exports, as the
// host application does with the plug-in DLL.
#pragma once

#include <string>

#include "platform/max/max_sdk.h"

namespace kvocli {

class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool Load(const std::string& path, std::string& error);
    void Unload();

    const char* (*LibDescription)() = nullptr;
    int (*LibNumberClasses)() = nullptr;
    ClassDesc* (*LibClassDesc)(int) = nullptr;
    unsigned long (*LibVersion)() = nullptr;

private:
    void* handle_ = nullptr;
};

// The module's path: `requested` when given, else $KVOEXP_MODULE, else
// ../lib/kvoexp.so relative to the running executable.
std::string FindModulePath(const std::string& requested);

}  // namespace kvocli
