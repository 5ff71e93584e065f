// Shared pieces of the plug-in tests: the module's resources registered with
// the window stand-in, a scratch configuration directory, a host interface.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/win32/headless.h"
#include "plugin/embedded_resources.h"
#include "plugin/kvo_exporter.h"
#include "tests/support/scratch_dir.h"

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

using testsupport::ScratchDir;

inline std::string ReadBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace plugin_test
