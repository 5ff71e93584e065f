#include "cli/outputs/side_file_check.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "export/node_file.h"

namespace kvooutputs {

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads a regular file whole without following a link or waiting on a FIFO.
std::string ReadSideFile(const std::string& path, struct stat& st, std::string& cause) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        cause = errno == ENOENT ? "was not written"
                                : std::string("cannot be read: ") + std::strerror(errno);
        return {};
    }
    std::string bytes;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        cause = "is not a regular file";
    } else {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = read(fd, &bytes[got], bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        if (got != bytes.size()) cause = "changed or could not be read while checked";
    }
    close(fd);
    return bytes;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What the file's content says of a cut, or "".
std::string ContentProblem(const std::string& name, const std::string& text,
                           const std::vector<std::string>& kvoWritten) {
    if (!EndsWith(text, "\r\n")) return "cut short: its last line is incomplete";
    if (name == "geometry.ini") {
        if (!EndsWith(text, "\r\n}\r\n")) return "cut short: the closing '}' is missing";
        for (const std::string& kvo : kvoWritten) {
            if (text.find("\tfile=" + BaseName(kvo) + "\r\n") == std::string::npos) {
                return "cut short: no entry for " + BaseName(kvo);
            }
        }
    } else if (name == "kvoexp_log.txt") {
        for (const std::string& kvo : kvoWritten) {
            if (text.find(BaseName(kvo) + "'.\r\n") == std::string::npos) {
                return "cut short: no line for " + BaseName(kvo);
            }
        }
    }
    return {};
}

}  // namespace

std::vector<std::string> CheckSideFiles(const SideFileCheck& check) {
    std::vector<std::string> problems;
    struct rlimit limit {};
    const bool limited = getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY;
    for (const std::string& name : check.asked) {
        const std::string path = exporter::OutputPath(check.dir, name);
        struct stat st {};
        std::string cause;
        const std::string text = ReadSideFile(path, st, cause);
        if (cause.empty() && limited && static_cast<uint64_t>(st.st_size) >= limit.rlim_cur) {
            cause = "cut at the file-size limit (" + std::to_string(limit.rlim_cur) + " bytes)";
        }
        if (cause.empty()) cause = ContentProblem(name, text, check.kvoWritten);
        if (!cause.empty()) problems.push_back(name + ": " + cause);
    }
    return problems;
}

}  // namespace kvooutputs
