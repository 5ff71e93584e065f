// kvoexp-import: the import process the console host starts beside itself
// (`kvoexp-import --import-worker REQUEST_FD ANSWER_FD`). It alone loads the
// importer, so the host program starts without it.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "cli/import/huge_pages.h"
#include "cli/import/import_worker.h"
#ifdef KVOEXP_WITH_MIMALLOC
#include <mimalloc.h>

#include "cli/program/allocator_tuning.h"
#endif

namespace {

#ifdef KVOEXP_WITH_MIMALLOC
// mimalloc aborts on a failed `new` instead of calling the new handler: its
// out-of-memory report ends the worker with the status the host recognises.
void OnAllocatorError(int error, void*) {
    if (error == ENOMEM) _exit(kvoimport::kWorkerOutOfMemoryStatus);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    // Started by a thread of the host that blocks every signal.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    kvoimport::StartWithoutHugePages();
#ifdef KVOEXP_WITH_MIMALLOC
    kvocli::TuneAllocator();
    mi_register_error(OnAllocatorError, nullptr);
#endif
    int status = 2;
    if (!kvoimport::MaybeRunImportWorker(argc, argv, status)) {
        std::fprintf(stderr, "kvoexp-import: the import process of kvoexp, started by it\n");
    }
    return status;
}
