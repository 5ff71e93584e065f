// Loads the plug-in module at run time as the host application does: opens
// it, looks up the four exports by name, and unloads it again.
#pragma once

#include <string>

#include "platform/max/max_sdk.h"

class PluginModule {
public:
    typedef const char* (*LibDescriptionFn)();
    typedef int (*LibNumberClassesFn)();
    typedef ClassDesc* (*LibClassDescFn)(int);
    typedef unsigned long (*LibVersionFn)();

    // Opens the module; Loaded() tells whether it worked, Error() why not.
    explicit PluginModule(const std::string& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    const std::string& Error() const { return error_; }
    // The module's own handle, as the window stand-in knows it (its load address).
    HINSTANCE Instance() const { return instance_; }
    // Closes the module: its static objects are destroyed when it really unloads.
    void Unload();

    LibDescriptionFn LibDescription = nullptr;
    LibNumberClassesFn LibNumberClasses = nullptr;
    LibClassDescFn LibClassDesc = nullptr;
    LibVersionFn LibVersion = nullptr;

private:
    void* handle_ = nullptr;
    HINSTANCE instance_ = nullptr;
    std::string error_;
};

// Whether the module at `path` is still mapped into the process.
bool ModuleIsResident(const std::string& path);
