// Helpers of the console host's tests: running the built kvoexp as a child
// process, files, and the shared scratch directory and scene builders.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cli/checks/warning_codes.h"
#include "tests/support/scene_nodes.h"
#include "tests/support/scratch_dir.h"

namespace clitest {

using testsupport::ScratchDir;
using testsupport::TriangleNode;

// Hands out `bytes` in order, exactly as many as each call asks for, as the
// import protocol's readers ask of a pipe; false once fewer remain.
class ExactReads {
public:
    explicit ExactReads(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool operator()(uint8_t* into, size_t n) {
        if (bytes_.size() - at_ < n) return false;
        if (n > 0) std::memcpy(into, bytes_.data() + at_, n);
        at_ += n;
        return true;
    }

private:
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
};

struct ProcessResult {
    bool exited = false;    // false: killed by a signal (or our time limit)
    int exitCode = -1;      // when exited
    int signal = 0;         // when killed
    bool timedOut = false;  // we had to kill it
    std::string out, err;
};

// Runs `program` with `args` and extra environment entries ("NAME=value");
// `whileRunning` (when given) is called every few milliseconds with the
// child's pid until it returns true.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         double timeoutSeconds = 60,
                         const std::function<bool(pid_t)>& whileRunning = nullptr,
                         const std::vector<std::string>& env = {});

ProcessResult RunKvoexp(const std::vector<std::string>& args, double timeoutSeconds = 60,
                        const std::vector<std::string>& env = {});
// Runs kvoexp and sends it SIGINT (a Ctrl-C) once `file` exists; `sent` says
// whether it was sent before kvoexp ended.
ProcessResult RunKvoexpInterruptedOnce(const std::vector<std::string>& args,
                                       const std::string& file, bool& sent);

std::string KvoexpBinary();
std::string KvoTool();
std::string ModelsDir();
std::string SamplesDir();
bool ModuleBuilt();

std::string ReadFile(const std::string& path);
bool Contains(const std::string& text, const std::string& part);
// A warning code's name in the report, from the one table of codes.
std::string Code(kvochecks::WarningCode code);
// The names of the .kvo files in `dir` (none when it does not exist).
std::set<std::string> KvoFiles(const std::string& dir);
void WriteFile(const std::string& path, const std::string& text);

// An OBJ of `objects` grids of n x n quads (2 n^2 triangles each), named
// objectPrefix0, objectPrefix1...
void WriteBigObj(const std::string& path, int objects, int n, const std::string& objectPrefix);

}  // namespace clitest
