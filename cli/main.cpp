// kvoexp: exports the objects of scene files into KVO files through the
// plug-in module, playing the host application's part from a terminal.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#ifdef KVOEXP_WITH_MIMALLOC
#include <mimalloc.h>
#include <unistd.h>

#include "cli/program/allocator_tuning.h"
#endif

#include "cli/program/cli_options.h"
#include "cli/program/program.h"
#include "cli/program/signals.h"
#include "cli/program/standard_descriptors.h"

namespace {

#ifdef KVOEXP_WITH_MIMALLOC
// In the host, running out of memory (an address-space limit) ends the run
// with a message and without its private and temporary files, not an abort.
void OnHostAllocatorError(int error, void*) {
    if (error != ENOMEM) return;
    static std::atomic<bool> ending{false};
    if (ending.exchange(true)) {
        for (;;) pause();  // another thread ends the program
    }
    static const char kMessage[] = "kvoexp: error: out of memory\n";
    (void)!write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    kvocli::RemoveLeftoversNow();
    _exit(kvocli::kExitFailed);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (!kvocli::OpenClosedStandardDescriptors()) return kvocli::kExitFailed;
#ifdef KVOEXP_WITH_MIMALLOC
    kvocli::TuneAllocator();
    mi_register_error(OnHostAllocatorError, nullptr);
#endif
    kvocli::CliOptions options;
    const kvocli::ParseOutcome parsed = kvocli::ParseCommandLine(argc, argv, options);
    if (!parsed.run) return parsed.exitCode;
    kvocli::InstallSignalHandlers();
    int status = kvocli::RunProgram(options);
    // A listing or summary that could not be written is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "kvoexp: error: cannot write to standard output\n");
        if (status == kvocli::kExitOk) status = kvocli::kExitFailed;
    }
    return status;
}
