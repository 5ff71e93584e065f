#include "tools/standard_output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

int FinishOutput(const char* program, int status) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout)) return status;
    const int failure = errno;
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program,
                 failure ? std::strerror(failure) : "write error");
    return status == 0 ? 1 : status;
}

void IgnoreFileSizeSignal() {
#if defined(SIGXFSZ)
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
