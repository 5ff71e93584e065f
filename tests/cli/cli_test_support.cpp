#include "tests/cli/cli_test_support.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace clitest {

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         double timeoutSeconds, const std::function<bool(pid_t)>& whileRunning,
                         const std::vector<std::string>& env) {
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        close(outPipe[1]);
        close(errPipe[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    bool watching = static_cast<bool>(whileRunning);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        if (watching && whileRunning(pid)) watching = false;
        if (poll(fds, 2, 10) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
            }
        }
    }
    for (pollfd& p : fds) {
        if (p.fd >= 0) close(p.fd);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exited = WIFEXITED(status);
    if (result.exited) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

ProcessResult RunKvoexp(const std::vector<std::string>& args, double timeoutSeconds,
                        const std::vector<std::string>& env) {
    return RunProcess(KvoexpBinary(), args, timeoutSeconds, nullptr, env);
}

ProcessResult RunKvoexpInterruptedOnce(const std::vector<std::string>& args,
                                       const std::string& file, bool& sent) {
    sent = false;
    return RunProcess(KvoexpBinary(), args, 60, [&](pid_t pid) {
        if (!std::filesystem::exists(file)) return false;
        kill(pid, SIGINT);
        sent = true;
        return true;
    });
}

std::string KvoexpBinary() {
    return KVOEXP_BIN;
}
std::string KvoTool() {
    return KVO_TOOL;
}
std::string ModelsDir() {
    return KVOEXP_MODELS_DIR;
}
std::string SamplesDir() {
    return KVOEXP_SAMPLES_DIR;
}

bool ModuleBuilt() {
    const std::filesystem::path bin(KVOEXP_BIN);
    return std::filesystem::exists(bin.parent_path() / ".." / "lib" / "kvoexp.so");
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

void WriteBigObj(const std::string& path, int objects, int n, const std::string& objectPrefix) {
    std::ofstream out(path);
    int base = 1;
    for (int o = 0; o < objects; ++o) {
        out << "o " << objectPrefix << o << "\n";
        for (int j = 0; j <= n; ++j) {
            for (int i = 0; i <= n; ++i)
                out << "v " << i + o * n << " " << (i * j) % 7 << " " << j << "\n";
        }
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                const int a = base + j * (n + 1) + i;
                out << "f " << a << " " << a + n + 1 << " " << a + 1 << "\n";
                out << "f " << a + 1 << " " << a + n + 1 << " " << a + n + 2 << "\n";
            }
        }
        base += (n + 1) * (n + 1);
    }
}

std::string Code(kvochecks::WarningCode code) {
    return kvochecks::CodeName(code);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::set<std::string> KvoFiles(const std::string& dir) {
    std::set<std::string> names;
    if (!std::filesystem::exists(dir)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".kvo") names.insert(entry.path().filename().string());
    }
    return names;
}

}  // namespace clitest
