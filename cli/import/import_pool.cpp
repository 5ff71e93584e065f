#include "cli/import/import_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "cli/import/answer_file.h"
#include "cli/import/huge_pages.h"
#include "cli/import/import_worker.h"
#include "cli/import/worker_process.h"
#include "scene/scene_decoder.h"
#include "scene/scene_encoder.h"

namespace kvoimport {

using kvoscene::DecodeScene;

namespace {

using Clock = std::chrono::steady_clock;

// How often a slot waiting on its worker looks at the interrupt flag.
constexpr int kPollMilliseconds = 100;
// Time limits beyond this are as good as none (and keep the clock's sums in range).
constexpr double kLongestTimeout = 1e7;

}  // namespace

std::string FormatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

struct ImportPool::Slot {
    WorkerProcess worker;
};

ImportPool::ImportPool(ImportPoolSettings settings, std::vector<std::string> paths)
    : settings_(std::move(settings)), paths_(std::move(paths)), results_(paths_.size()) {
    if (pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
    // Huge pages come back on with the first scene that is not a small OBJ file.
    StartWithoutHugePages();
    const unsigned jobs =
        std::max(1u, std::min<unsigned>(settings_.jobs, static_cast<unsigned>(paths_.size())));
    // The slots' threads take no signals: the host's handlers run on the main
    // thread, and a worker that has gone makes a write fail, not SIGPIPE.
    sigset_t blocked, previous;
    sigfillset(&blocked);
    pthread_sigmask(SIG_SETMASK, &blocked, &previous);
    ahead_ = jobs;
    // One budget for the invocation: each process gets its share.
    workerLimit_ = WorkerMemoryShare(settings_.memoryLimitBytes, jobs);
    slots_.reserve(jobs);
    for (unsigned i = 0; i < jobs; ++i) {
        slots_.push_back(std::make_unique<Slot>());
        Slot* slot = slots_.back().get();
        // A thread that cannot be had (a process limit, no address space for
        // its stack) leaves the pool with fewer; with none, every scene fails.
        try {
            threads_.emplace_back([this, slot] { RunSlot(*slot); });
        } catch (const std::system_error& e) {
            slots_.pop_back();
            startError_ = std::string("cannot start an import thread: ") + e.what();
            break;
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

ImportPool::~ImportPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (wake_[1] >= 0) {
        const uint8_t byte = 1;
        (void)!write(wake_[1], &byte, 1);
    }
    for (std::thread& thread : threads_) thread.join();
    for (int fd : wake_) {
        if (fd >= 0) close(fd);
    }
}

bool ImportPool::Stopping() const {
    return settings_.interrupted != nullptr && *settings_.interrupted != 0;
}

bool ImportPool::Next(ImportedScene& out) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (consumed_ >= paths_.size()) return false;
    if (threads_.empty()) {
        out = ImportedScene();
        out.error = startError_;
        ++consumed_;
        return true;
    }
    while (!results_[consumed_]) {
        if (Stopping()) return false;
        changed_.wait_for(lock, std::chrono::milliseconds(kPollMilliseconds));
    }
    out = std::move(*results_[consumed_]);
    results_[consumed_].reset();
    ++consumed_;
    lock.unlock();
    changed_.notify_all();
    return true;
}

void ImportPool::RunSlot(Slot& slot) {
    const size_t ahead = ahead_;
    for (;;) {
        size_t index = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(
                lock, [&] { return stop_ || next_ >= paths_.size() || next_ < consumed_ + ahead; });
            if (stop_ || next_ >= paths_.size()) break;
            index = next_++;
        }
        auto result = std::make_unique<ImportedScene>(ImportOne(slot, paths_[index]));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            results_[index] = std::move(result);
        }
        changed_.notify_all();
    }
    // Workers end here, while the thread that started them still lives.
    slot.worker.Stop();
}

bool ImportPool::DecodeForm(const uint8_t* data, size_t size, ImportedScene& result) const {
    if (!settings_.decode) return true;
    std::string error;
    if (DecodeScene(data, size, result.scene, error)) return true;
    result.error = "the import process's answer is damaged: " + error;
    result.scene = kvoscene::Scene();
    return false;
}

ImportedScene ImportPool::ImportOne(Slot& slot, const std::string& path) {
    ImportedScene result;
    result.path = path;
    const auto start = Clock::now();
    const double timeout = std::min(settings_.timeoutSeconds, kLongestTimeout);
    const auto deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
    WorkerProcess& worker = slot.worker;
    if (!worker.Running() && !worker.Start(settings_.workerProgram, workerLimit_, result.error)) {
        return result;
    }
    AllowHugePagesFor(path);
    // The scene form comes back in a fresh file of its own; without one, down
    // the pipe. It is closed only after the worker has answered or been reaped.
    AnswerFile file;
    AnswerFileRef ref;
    std::string unused;
    const bool offered = file.Create(unused) && file.Ref(ref);
    const std::vector<uint8_t> request =
        EncodeRequest(path, settings_.import, offered ? &ref : nullptr);
    ReplyReader answer(workerLimit_ > 0 ? workerLimit_ : UINT64_MAX);
    enum class End { Answered, Ended, TimedOut, Stopped, Refused } end = End::Ended;
    if (WriteAll(worker.RequestFd(), request.data(), request.size())) {
        for (;;) {
            if (Stopping()) {
                end = End::Stopped;
                break;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                end = End::TimedOut;
                break;
            }
            pollfd p[2] = {{worker.AnswerFd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
            const int wait = static_cast<int>(std::min<long long>(left.count(), kPollMilliseconds));
            const int ready = poll(p, wake_[0] >= 0 ? 2 : 1, wait);
            if (ready < 0 && errno != EINTR) break;
            if (ready <= 0) continue;
            if (wake_[0] >= 0 && (p[1].revents & POLLIN)) {
                end = End::Stopped;
                break;
            }
            size_t room = 0;
            uint8_t* into = answer.Space(room);
            const ssize_t n = read(worker.AnswerFd(), into, room);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // the worker has gone
            answer.Took(static_cast<size_t>(n));
            if (!answer.Refusal().empty()) {
                end = End::Refused;
                break;
            }
            if (answer.Complete()) {
                end = End::Answered;
                break;
            }
        }
    }
    switch (end) {
        case End::Answered:
            break;
        case End::Ended: {
            const int status = worker.Reap();
            std::string cause = DescribeWorkerEnd(status, workerLimit_);
            if (WIFEXITED(status) && WEXITSTATUS(status) == kWorkerOutOfMemoryStatus &&
                ahead_ > 1 && workerLimit_ < settings_.memoryLimitBytes) {
                cause += ", a share of " + std::to_string(settings_.memoryLimitBytes >> 20) +
                         " MiB for " + std::to_string(ahead_) + " import processes";
            }
            result.error = answer.Started()
                               ? "the import process's answer is cut short (" + cause + ")"
                               : cause;
            return result;
        }
        case End::TimedOut:
            worker.Kill();
            result.error = "timed out after " + FormatSeconds(settings_.timeoutSeconds);
            return result;
        case End::Stopped:
            worker.Kill();
            result.error = "interrupted";
            return result;
        case End::Refused:
            worker.Kill();
            result.error = "the import process's answer is damaged: " + answer.Refusal();
            return result;
    }
    AnswerBytes body = answer.TakeBody();
    if (answer.Kind() == kErrorFollows) {
        result.error.assign(reinterpret_cast<const char*>(body.data()), body.size());
        if (result.error.empty()) result.error = "unknown import error";
        return result;
    }
    if (answer.Kind() == kSceneInFile) {
        if (!offered) {
            worker.Kill();
            result.error = "the import process's answer is damaged: a scene in a file not offered";
            return result;
        }
        AnswerView view;
        std::string error;
        if (!file.Take(answer.Length(), view, error)) {
            result.error = "the import process's answer is damaged: " + error;
            return result;
        }
        if (!DecodeForm(view.data(), view.size(), result)) return result;
        if (settings_.keepBytes) {
            if (!result.bytes.Allocate(view.size())) {
                result.error = "no memory for the import process's answer";
                return result;
            }
            if (view.size() > 0) std::memcpy(result.bytes.data(), view.data(), view.size());
        }
        // Unmapped and closed as soon as the scene is decoded.
        view.Release();
        file.Close();
    } else {
        if (!DecodeForm(body.data(), body.size(), result)) return result;
        if (settings_.keepBytes) result.bytes = std::move(body);
    }
    result.filesRead = answer.TakeFilesRead();
    result.embeddedImages = answer.TakeEmbeddedImages();
    result.ok = true;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

}  // namespace kvoimport
