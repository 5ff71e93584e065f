// One import worker process as its host sees it: started from the kvoexp
// program with a memory limit, tied to the host's life, reached through a
// request pipe and an answer pipe, and ended or killed at will.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace kvoimport {

class WorkerProcess {
public:
    WorkerProcess() = default;
    ~WorkerProcess() { Stop(); }
    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;

    // Starts `program --import-worker`; `memoryLimitBytes` 0 means no limit.
    // The worker is killed when the thread that started it ends.
    bool Start(const std::string& program, uint64_t memoryLimitBytes, std::string& error);
    bool Running() const { return pid_ > 0; }
    int RequestFd() const { return requestFd_; }
    int AnswerFd() const { return answerFd_; }

    // Kills the worker at once and reaps it.
    void Kill();
    // Waits for a worker whose answer pipe has ended; returns its wait status.
    int Reap();
    // Closes the request pipe, so an idle worker ends, and reaps it.
    void Stop();

private:
    void CloseFds();

    pid_t pid_ = -1;
    int requestFd_ = -1;
    int answerFd_ = -1;
};

// Says how a worker ended, from its wait status.
std::string DescribeWorkerEnd(int status, uint64_t memoryLimitBytes);

// Half the machine's physical memory: the default limit of a worker.
uint64_t DefaultWorkerMemoryLimit();

// Each of `processes` import processes' memory limit when they share
// `budget` bytes (0: no budget), no more than the address-space limit this
// process inherited; 0 when neither limits it.
uint64_t WorkerMemoryShare(uint64_t budget, unsigned processes);

}  // namespace kvoimport
