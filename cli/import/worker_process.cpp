#include "cli/import/worker_process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "cli/import/import_worker.h"

namespace kvoimport {

namespace {

// A larger pipe buffer means fewer switches between the two processes.
constexpr int kPipeBytes = 1 << 20;

void WaitFor(pid_t pid, int& status) {
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Runs in a vfork child, which shares the host's memory until exec: only
// system calls, and writes to this frame's own variables. The host's threads
// block every signal, so no handler of the host can run here; the worker
// unblocks them itself once it runs (import_main.cpp).
[[noreturn]] void ExecWorker(const char* program, int requestFd, int answerFd,
                             uint64_t memoryLimitBytes, pid_t host) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != host) _exit(1);  // the host has already gone
    fcntl(requestFd, F_SETFD, 0);
    fcntl(answerFd, F_SETFD, 0);
#if !defined(__SANITIZE_ADDRESS__)
    // (The address sanitizer reserves far more address space than any limit.)
    if (memoryLimitBytes > 0) {
        const rlimit limit{static_cast<rlim_t>(memoryLimitBytes),
                           static_cast<rlim_t>(memoryLimitBytes)};
        setrlimit(RLIMIT_AS, &limit);
    }
#endif
    // The scene form's answer file is written by the import process but held
    // in memory: it takes no more than the host accepts (a smaller inherited
    // limit stays; the form then comes down the pipe).
    rlimit size{};
    if (memoryLimitBytes > 0 && getrlimit(RLIMIT_FSIZE, &size) == 0 &&
        (size.rlim_cur == RLIM_INFINITY || size.rlim_cur > memoryLimitBytes)) {
        size.rlim_cur = static_cast<rlim_t>(memoryLimitBytes);
        setrlimit(RLIMIT_FSIZE, &size);
    }
    char request[16], answer[16];
    // Small non-negative numbers: formatted by hand, snprintf is not signal-safe.
    auto format = [](int fd, char* out) {
        char digits[16];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + fd % 10);
            fd /= 10;
        } while (fd > 0);
        for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
        out[n] = '\0';
    };
    format(requestFd, request);
    format(answerFd, answer);
    char* const argv[] = {const_cast<char*>(program), const_cast<char*>(kImportWorkerFlag), request,
                          answer, nullptr};
    execv(program, argv);
    _exit(127);
}

}  // namespace

bool WorkerProcess::Start(const std::string& program, uint64_t memoryLimitBytes,
                          std::string& error) {
    Stop();
    int requests[2], answers[2];
    if (pipe2(requests, O_CLOEXEC) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(answers, O_CLOEXEC) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        close(requests[0]);
        close(requests[1]);
        return false;
    }
    fcntl(answers[1], F_SETPIPE_SZ, kPipeBytes);  // a hint: the default size works too
    const pid_t host = getpid();
#if defined(__SANITIZE_ADDRESS__)
    const pid_t pid = fork();
#else
    // The host's page tables are not copied for a child that only runs exec.
    const pid_t pid = vfork();
#endif
    if (pid < 0) {
        error = std::string("cannot start an import process: ") + std::strerror(errno);
        for (int fd : {requests[0], requests[1], answers[0], answers[1]}) close(fd);
        return false;
    }
    if (pid == 0) ExecWorker(program.c_str(), requests[0], answers[1], memoryLimitBytes, host);
    close(requests[0]);
    close(answers[1]);
    pid_ = pid;
    requestFd_ = requests[1];
    answerFd_ = answers[0];
    return true;
}

void WorkerProcess::CloseFds() {
    if (requestFd_ >= 0) close(requestFd_);
    if (answerFd_ >= 0) close(answerFd_);
    requestFd_ = answerFd_ = -1;
}

void WorkerProcess::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    Reap();
}

int WorkerProcess::Reap() {
    int status = 0;
    CloseFds();
    if (pid_ > 0) WaitFor(pid_, status);
    pid_ = -1;
    return status;
}

void WorkerProcess::Stop() {
    if (requestFd_ >= 0) {
        close(requestFd_);
        requestFd_ = -1;
    }
    if (pid_ > 0) Reap();
    CloseFds();
}

std::string DescribeWorkerEnd(int status, uint64_t memoryLimitBytes) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == kWorkerOutOfMemoryStatus) {
        return "the importer ran out of memory (limit " + std::to_string(memoryLimitBytes >> 20) +
               " MiB)";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
        return "the import process could not be started";
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        const char* name = strsignal(sig);
        return "the importer crashed (signal " + std::to_string(sig) + (name ? ", " : "") +
               (name ? name : "") + ")";
    }
    if (WIFEXITED(status)) {
        return "the import process failed (exit status " + std::to_string(WEXITSTATUS(status)) +
               ")";
    }
    return "the import process ended abnormally";
}

uint64_t DefaultWorkerMemoryLimit() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 2;
}

uint64_t WorkerMemoryShare(uint64_t budget, unsigned processes) {
    uint64_t share = budget / std::max(1u, processes);
    rlimit inherited{};
    if (getrlimit(RLIMIT_AS, &inherited) == 0 && inherited.rlim_cur != RLIM_INFINITY) {
        const uint64_t cap = static_cast<uint64_t>(inherited.rlim_cur);
        if (share == 0 || cap < share) share = cap;
    }
    return share;
}

}  // namespace kvoimport
