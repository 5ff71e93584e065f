// Imports a scene file in a child process with a time limit, so that an
// importer that crashes or hangs on a hostile file cannot take the console
// host with it. The child hands the scene back in the compact form.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/assimp_import.h"

namespace kvoscene {

struct ChildImportResult {
    bool ok = false;
    std::vector<uint8_t> bytes;  // the compact form, when ok
    std::string error;           // the cause, when not ok
    double seconds = 0;
};

// `interrupted` is polled while waiting; when it becomes non-zero the child
// is killed and the result says so. With `decoded`, the answer is also
// decoded into it (while the child ends); a damaged answer is then an error.
ChildImportResult ImportInChild(const std::string& path, const ImportSettings& settings,
                                double timeoutSeconds, const volatile sig_atomic_t* interrupted,
                                Scene* decoded = nullptr);

}  // namespace kvoscene
