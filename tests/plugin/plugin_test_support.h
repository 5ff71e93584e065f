// Shared pieces of the plug-in tests: the module's resources registered with
// the window stand-in, a scratch configuration directory, a host interface.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/win32/headless.h"
#include "plugin/embedded_resources.h"
#include "plugin/kvo_exporter.h"

namespace plugin_test {

inline HINSTANCE Module() {
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x6000));
}

inline void RegisterResources() {
    std::string error;
    ASSERT_TRUE(headless::RegisterModuleResources(Module(), EmbeddedResourceScript(),
                                                  EmbeddedResourceHeader(), &error))
        << error;
}

// A fresh directory, removed with the object.
class ScratchDir {
public:
    ScratchDir() {
        path = std::filesystem::temp_directory_path() /
               ("kvoexp_plugin_" + std::to_string(std::random_device{}()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
};

inline std::string ReadBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace plugin_test
