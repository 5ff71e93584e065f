// POSIX variant: open without blocking (a FIFO would wait for a writer), then
// fstat on the descriptor, so what is checked is what is read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kvo/file_kind_posix.h"
#include "kvo/input_file.h"

FILE* OpenRegularFile(const std::string& path, std::string& refusal) {
    refusal.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        refusal = std::string("not a regular file (") + FileKindName(info.st_mode) + ")";
        close(fd);
        return nullptr;
    }
    FILE* stream = fdopen(fd, "rb");
    if (!stream) close(fd);
    return stream;
}
