#include "cli/checks/save_failure.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "cli/outputs/path_parts.h"
#include "export/node_file.h"

namespace kvochecks {

namespace {

// Enough bytes that a full disk or a file-size limit shows at once.
constexpr size_t kProbeBytes = 1 << 16;

}  // namespace

std::string SaveFailureCause(const std::string& path, const std::string& nodeName) {
    const std::string rule = exporter::FileNameProblem(nodeName);
    if (!rule.empty()) return rule;
    const std::string folder = kvooutputs::FolderOf(path);
    const std::string name = path.substr(path.rfind('/') + 1);
    const long nameMax = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax > 0 && name.size() > static_cast<size_t>(nameMax)) {
        return std::strerror(ENAMETOOLONG);
    }
    std::string probe = folder + "/.kvoexp-probe-XXXXXX";
    std::vector<char> buffer(probe.begin(), probe.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) return std::strerror(errno);
    std::vector<char> zeros(kProbeBytes, 0);
    int failure = 0;
    for (size_t done = 0; done < zeros.size() && failure == 0;) {
        const ssize_t n = write(fd, zeros.data() + done, zeros.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            failure = n < 0 ? errno : ENOSPC;
        else
            done += static_cast<size_t>(n);
    }
    if (failure == 0 && fsync(fd) != 0 && errno != EINVAL) failure = errno;
    close(fd);
    unlink(buffer.data());
    return failure ? std::strerror(failure) : std::string();
}

}  // namespace kvochecks
