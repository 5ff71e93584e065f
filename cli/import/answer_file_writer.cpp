#include "cli/import/answer_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace kvoimport {

int OpenAnswerFile(pid_t host, const AnswerFileRef& ref) {
    if (host <= 1) return -1;
    const std::string path = "/proc/" + std::to_string(host) + "/fd/" + std::to_string(ref.fd);
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    // Only a memfd can be sealed; a fresh one has no seals and no bytes yet.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<uint64_t>(st.st_ino) != ref.inode || st.st_size != 0 ||
        fcntl(fd, F_GET_SEALS) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace kvoimport
