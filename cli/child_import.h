// Imports a scene file in a child process with a time limit, so that an
// importer that crashes or hangs on a hostile file cannot take the console
// host with it. The child hands the scene back in the compact form.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/assimp_import.h"

namespace kvoscene {

// An import process that has handed over its whole answer and has only its
// exit left, which takes a while for a large scene (its memory is given
// back). It is waited for when this is destroyed or Wait() is called, so the
// host can go on with the scene meanwhile.
class EndingChild {
public:
    EndingChild() = default;
    explicit EndingChild(pid_t pid) : pid_(pid) {}
    EndingChild(EndingChild&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
    EndingChild& operator=(EndingChild&& other) noexcept;
    EndingChild(const EndingChild&) = delete;
    EndingChild& operator=(const EndingChild&) = delete;
    ~EndingChild() { Wait(); }
    void Wait();

private:
    pid_t pid_ = -1;
};

struct ChildImportResult {
    bool ok = false;
    std::vector<uint8_t> bytes;  // the compact form, when ok
    std::string error;           // the cause, when not ok
    double seconds = 0;
    EndingChild ending;  // when ok and the import process had not ended yet
};

// `interrupted` is polled while waiting; when it becomes non-zero the child
// is killed and the result says so. With `decoded`, the answer is also
// decoded into it (while the child ends); a damaged answer is then an error.
ChildImportResult ImportInChild(const std::string& path, const ImportSettings& settings,
                                double timeoutSeconds, const volatile sig_atomic_t* interrupted,
                                Scene* decoded = nullptr);

}  // namespace kvoscene
