#include "cli/program/signals.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>

#include "cli/outputs/folder_lock.h"
#include "kvo/kvo_temp_name.h"

namespace kvocli {

volatile sig_atomic_t gInterruptSignal = 0;

namespace {

// Fixed buffers: the handler may read them at any moment, and may not allocate.
char gConfigDir[PATH_MAX] = {};
// The output folder as opened when the export into it began: a folder renamed
// or replaced by a link since still has its own files removed, and the tree
// the path now leads to keeps its own.
volatile sig_atomic_t gOutputDirFd = -1;

void Remember(char* into, const std::string& path) {
    into[0] = '\0';  // forgotten while it changes
    if (path.empty() || path.size() >= PATH_MAX) return;
    std::memcpy(into + 1, path.c_str() + 1, path.size());  // the rest and its terminator
    std::atomic_signal_fence(std::memory_order_seq_cst);
    into[0] = path[0];  // last: the handler sees the whole path or none
}

// Removes the files in `dir` (relative to `base`) for which `wanted` holds,
// with system calls only (opendir and readdir may allocate, which a signal
// handler must not).
template <typename Wanted>
void RemoveFilesIn(int base, const char* dir, Wanted wanted) {
    const int fd = openat(base, dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    alignas(8) char buffer[4096];
    for (;;) {
        const long n = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (long at = 0; at < n;) {
            struct Entry {
                uint64_t ino;
                int64_t off;
                unsigned short reclen;
                unsigned char type;
                char name[1];
            };
            const Entry* entry = reinterpret_cast<const Entry*>(buffer + at);
            at += entry->reclen;
            const char* name = entry->name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
            if (wanted(name)) unlinkat(fd, name, 0);
        }
    }
    close(fd);
}

void RemoveLeftovers() {
    const int outputDir = gOutputDirFd;
    if (outputDir >= 0) {
        RemoveFilesIn(outputDir, ".", [](const char* name) {
            return kvo::IsTemporaryName(name) || std::strcmp(name, kvooutputs::kLockFileName) == 0;
        });
    }
    if (gConfigDir[0] != '\0') {
        RemoveFilesIn(AT_FDCWD, gConfigDir, [](const char*) { return true; });
        rmdir(gConfigDir);
    }
}

void OnSignal(int sig) {
    if (gInterruptSignal == 0) {
        gInterruptSignal = sig;
        return;
    }
    RemoveLeftovers();
    _exit(128 + gInterruptSignal);
}

}  // namespace

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, sig);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
    signal(SIGXFSZ, SIG_IGN);
}

int InterruptedExitStatus() {
    return 128 + gInterruptSignal;
}

std::string InterruptedMessage() {
    switch (gInterruptSignal) {
        case SIGINT:
            return "interrupted";
        case SIGTERM:
            return "interrupted by SIGTERM";
        case SIGHUP:
            return "interrupted by SIGHUP";
        default:
            return "interrupted by signal " + std::to_string(gInterruptSignal);
    }
}

void SetCleanupConfigDir(const std::string& dir) {
    Remember(gConfigDir, dir);
}

void SetCleanupOutputDir(const std::string& dir) {
    const int previous = gOutputDirFd;
    gOutputDirFd = -1;  // forgotten before it closes
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (previous >= 0) close(previous);
    if (!dir.empty()) gOutputDirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void RemoveLeftoversNow() {
    RemoveLeftovers();
}

}  // namespace kvocli
