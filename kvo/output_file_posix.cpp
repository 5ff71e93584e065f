// POSIX variant: the target's kind from lstat; a device or FIFO is opened
// without O_CREAT or O_TRUNC, without following a link and without blocking,
// and must still be what lstat saw once opened.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kvo/file_kind_posix.h"
#include "kvo/output_file.h"
#include "kvo/temp_file.h"

namespace {

bool WrittenThrough(mode_t mode) {
    return S_ISCHR(mode) || S_ISFIFO(mode);
}

bool Fail(const std::string& target, const char* cause, std::string& error) {
    error = "cannot write '" + target + "': " + cause;
    return false;
}

// Opens the device or FIFO `target` that lstat described as `seen`.
bool OpenDevice(const std::string& target, const struct stat& seen, OutputFile& file,
                std::string& error) {
    const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // A FIFO opened without blocking has no reader when this fails with ENXIO.
        if (errno == ENXIO && S_ISFIFO(seen.st_mode)) {
            return Fail(target, "no process is reading the FIFO", error);
        }
        return Fail(target, std::strerror(errno), error);
    }
    struct stat opened {};
    if (fstat(fd, &opened) != 0 || opened.st_dev != seen.st_dev || opened.st_ino != seen.st_ino ||
        !WrittenThrough(opened.st_mode)) {
        close(fd);
        return Fail(target, "the file changed while it was opened", error);
    }
    // Writes wait for a slow reader instead of failing with EAGAIN.
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int cause = errno;
        close(fd);
        return Fail(target, std::strerror(cause), error);
    }
    // The writers seek back to patch lengths: the bytes wait in a seekable file.
    file.stream = std::tmpfile();
    if (!file.stream) {
        const int cause = errno;
        close(fd);
        error = std::string("cannot create a temporary file: ") + std::strerror(cause);
        return false;
    }
    file.device = fd;
    return true;
}

// Copies the staged bytes to the device, retrying partial writes.
bool CopyToDevice(OutputFile& file, std::string& error) {
    if (std::fflush(file.stream) != 0 || std::fseek(file.stream, 0, SEEK_SET) != 0) {
        return Fail(file.target, std::strerror(errno), error);
    }
    char block[65536];
    size_t count = 0;
    while ((count = std::fread(block, 1, sizeof block, file.stream)) > 0) {
        for (size_t done = 0; done < count;) {
            const ssize_t put = write(file.device, block + done, count - done);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                return Fail(file.target, put < 0 ? std::strerror(errno) : "nothing written", error);
            }
            done += static_cast<size_t>(put);
        }
    }
    if (std::ferror(file.stream)) return Fail(file.target, "cannot read the staged bytes", error);
    return true;
}

}  // namespace

bool OpenOutputFile(const std::string& target, OutputFile& file, std::string& error) {
    file = OutputFile{};
    file.target = target;
    struct stat seen {};
    if (lstat(target.c_str(), &seen) == 0 && !S_ISREG(seen.st_mode) && !S_ISLNK(seen.st_mode)) {
        if (WrittenThrough(seen.st_mode)) return OpenDevice(target, seen, file, error);
        error = "cannot replace '" + target + "': not a regular file (" +
                FileKindName(seen.st_mode) + ")";
        return false;
    }
    TemporaryFile temporary;
    if (!CreateTemporaryBeside(target, temporary, error)) return false;
    file.stream = temporary.stream;
    file.temporaryPath = temporary.path;
    return true;
}

bool CommitOutputFile(OutputFile& file, std::string& error) {
    bool ok = true;
    if (file.device >= 0) {
        ok = CopyToDevice(file, error);
        std::fclose(file.stream);
        file.stream = nullptr;
        if (close(file.device) != 0 && ok) ok = Fail(file.target, std::strerror(errno), error);
        file.device = -1;
        return ok;
    }
    // A short write (a full disk, a file-size limit) shows at the latest here.
    errno = 0;
    if (std::fclose(file.stream) != 0) {
        const int cause = errno;
        ok = Fail(file.target, cause ? std::strerror(cause) : "write error", error);
    }
    file.stream = nullptr;
    ok = ok && ReplaceWithTemporary(file.temporaryPath, file.target, error);
    if (!ok) std::remove(file.temporaryPath.c_str());
    file.temporaryPath.clear();
    return ok;
}

void DiscardOutputFile(OutputFile& file) {
    if (file.stream) std::fclose(file.stream);
    file.stream = nullptr;
    if (file.device >= 0) close(file.device);
    file.device = -1;
    if (!file.temporaryPath.empty()) std::remove(file.temporaryPath.c_str());
    file.temporaryPath.clear();
}
