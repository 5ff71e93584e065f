#include "cli/child_import.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

#include "cli/child_answer.h"
#include "scene/scene_decoder.h"
#include "scene/scene_encoder.h"

namespace kvoscene {

namespace {

// A larger pipe buffer means fewer switches between the two processes.
constexpr int kPipeBytes = 1 << 20;

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

[[noreturn]] void RunChild(int fd, const std::string& path, const ImportSettings& settings) {
    signal(SIGINT, SIG_DFL);
    signal(SIGPIPE, SIG_IGN);
    Scene scene;
    std::string error;
    bool written;
    if (ImportWithAssimp(path, settings, scene, error)) {
        // The form goes out in pieces as it is encoded, so the host reads
        // while the rest is still being written.
        const SceneAnswerHead head = MakeSceneAnswerHead(EncodedSize(scene));
        written = WriteAll(fd, head.data(), head.size()) &&
                  EncodeScene(scene, [fd](const uint8_t* data, size_t size) {
                      return WriteAll(fd, data, size);
                  });
    } else {
        written = WriteAll(fd, &kErrorFollows, 1) &&
                  WriteAll(fd, reinterpret_cast<const uint8_t*>(error.data()), error.size());
    }
    close(fd);
    _exit(written ? 0 : 1);
}

std::string DescribeStatus(int status) {
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

void WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void KillAndReap(pid_t pid) {
    kill(pid, SIGKILL);
    WaitFor(pid);
}

}  // namespace

EndingChild& EndingChild::operator=(EndingChild&& other) noexcept {
    if (this != &other) {
        Wait();
        pid_ = other.pid_;
        other.pid_ = -1;
    }
    return *this;
}

void EndingChild::Wait() {
    if (pid_ > 0) WaitFor(pid_);
    pid_ = -1;
}

ChildImportResult ImportInChild(const std::string& path, const ImportSettings& settings,
                                double timeoutSeconds, const volatile sig_atomic_t* interrupted,
                                Scene* decoded) {
    using Clock = std::chrono::steady_clock;
    ChildImportResult result;
    const auto start = Clock::now();
    int fds[2];
    if (pipe(fds) != 0) {
        result.error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return result;
    }
    fcntl(fds[1], F_SETPIPE_SZ, kPipeBytes);  // a hint: the default size works too
    const pid_t pid = fork();
    if (pid < 0) {
        result.error = std::string("cannot start the import process: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        close(fds[0]);
        RunChild(fds[1], path, settings);
    }
    close(fds[1]);

    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(timeoutSeconds));
    AnswerReader answer;
    bool timedOut = false, stopped = false, refused = false;
    for (;;) {
        if (interrupted && *interrupted) {
            stopped = true;
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        // Wake up now and then to notice an interruption.
        const int wait = static_cast<int>(left.count() < 200 ? left.count() : 200);
        const int ready = poll(&p, 1, wait);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        size_t room = 0;
        uint8_t* into = answer.Space(room);
        if (into == nullptr) {  // no memory for the answer
            refused = true;
            break;
        }
        const ssize_t n = read(fds[0], into, room);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // end of the answer
        answer.Took(static_cast<size_t>(n));
    }
    close(fds[0]);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (timedOut || stopped || refused) {
        KillAndReap(pid);
        if (stopped) {
            result.error = "interrupted";
        } else if (refused) {
            result.error = "no memory for the import process's answer";
        } else {
            result.error = "timed out after " +
                           std::to_string(static_cast<long>(std::ceil(timeoutSeconds))) + " s";
        }
        return result;
    }
    // Decoding overlaps the end of the import process, which takes a while
    // to give its memory back.
    const bool complete = answer.SceneComplete();
    if (complete) result.bytes = answer.TakeBody();
    std::string decodeError;
    const bool decodedOk =
        complete && decoded != nullptr &&
        DecodeScene(result.bytes.data(), result.bytes.size(), *decoded, decodeError);
    int status = 0;
    // A whole answer that decodes means the child has passed its last write
    // and has only _exit left: it is waited for later, while the scene is
    // exported, unless it has already ended.
    bool ended = false;
    if (complete && (decoded == nullptr || decodedOk)) {
        pid_t waited;
        while ((waited = waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (waited == 0) {
            result.ok = true;
            result.ending = EndingChild(pid);
            return result;
        }
        ended = waited == pid;
    }
    while (!ended && waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            result.error = std::string("lost the import process: ") + std::strerror(errno);
            return result;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result.error = DescribeStatus(status);
        return result;
    }
    if (answer.Empty()) {
        result.error = "the import process gave no answer";
    } else if (answer.Kind() == kErrorFollows) {
        const std::vector<uint8_t> text = answer.TakeBody();
        result.error.assign(text.begin(), text.end());
        if (result.error.empty()) result.error = "unknown import error";
    } else if (!complete) {
        result.error = "the import process gave a malformed answer";
    } else if (decoded != nullptr && !decodedOk) {
        result.error = "the import process's answer is damaged: " + decodeError;
    } else {
        result.ok = true;
    }
    if (!result.ok) result.bytes.clear();
    return result;
}

}  // namespace kvoscene
