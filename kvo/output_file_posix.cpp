// POSIX variant: the target's kind from lstat; a device or FIFO is opened
// without O_CREAT or O_TRUNC, without following a link and without blocking,
// and must still be what lstat saw once opened. A target in the run's open
// output folder is reached with fstatat and openat on the folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "kvo/file_kind_posix.h"
#include "kvo/output_file.h"
#include "kvo/output_folder.h"
#include "kvo/temp_file.h"

// The bytes of a file being written, before they go out in one write.
struct StagedBytes {
    char* data = nullptr;
    size_t size = 0;  // the furthest byte written
    size_t capacity = 0;
    size_t position = 0;
    // A large file goes on in the temporary file once it passes kStageLimit:
    // staging it whole would only cost memory and copies.
    int spillFd = -1;
    bool spilled = false;
};

namespace {

bool WrittenThrough(mode_t mode) {
    return S_ISCHR(mode) || S_ISFIFO(mode);
}

constexpr size_t kStageLimit = size_t{4} << 20;

bool WriteAt(int fd, const char* data, size_t size, size_t position) {
    for (size_t done = 0; done < size;) {
        const ssize_t put =
            pwrite(fd, data + done, size - done, static_cast<off_t>(position + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

ssize_t StagedWrite(void* cookie, const char* data, size_t size) {
    StagedBytes& staged = *static_cast<StagedBytes*>(cookie);
    if (size > SIZE_MAX - staged.position) return -1;
    const size_t end = staged.position + size;
    if (!staged.spilled && end > kStageLimit && staged.spillFd >= 0) {
        if (!WriteAt(staged.spillFd, staged.data, staged.size, 0)) return -1;
        std::free(staged.data);
        staged.data = nullptr;
        staged.capacity = 0;
        staged.spilled = true;
    }
    if (staged.spilled) {
        if (!WriteAt(staged.spillFd, data, size, staged.position)) return -1;
        staged.position = end;
        staged.size = std::max(staged.size, end);
        return static_cast<ssize_t>(size);
    }
    if (end > staged.capacity) {
        size_t capacity = std::max<size_t>(staged.capacity, 1 << 16);
        while (capacity < end) capacity = capacity > SIZE_MAX / 2 ? end : capacity * 2;
        char* grown = static_cast<char*>(std::realloc(staged.data, capacity));
        if (!grown) {
            errno = ENOMEM;
            return -1;
        }
        staged.data = grown;
        staged.capacity = capacity;
    }
    if (staged.position > staged.size) {  // a seek past the end leaves zeros
        std::memset(staged.data + staged.size, 0, staged.position - staged.size);
    }
    std::memcpy(staged.data + staged.position, data, size);
    staged.position = end;
    staged.size = std::max(staged.size, end);
    return static_cast<ssize_t>(size);
}

int StagedSeek(void* cookie, off64_t* offset, int whence) {
    StagedBytes& staged = *static_cast<StagedBytes*>(cookie);
    const off64_t base = whence == SEEK_SET   ? 0
                         : whence == SEEK_CUR ? static_cast<off64_t>(staged.position)
                                              : static_cast<off64_t>(staged.size);
    if (*offset < -base) return -1;
    staged.position = static_cast<size_t>(base + *offset);
    *offset = static_cast<off64_t>(staged.position);
    return 0;
}

bool OpenStaging(OutputFile& file);

bool Fail(const std::string& target, const char* cause, std::string& error) {
    error = "cannot write '" + target + "': " + cause;
    return false;
}

// Opens the device or FIFO `name` in `dir` that fstatat described as `seen`.
bool OpenDevice(int dir, const std::string& name, const struct stat& seen, OutputFile& file,
                std::string& error) {
    const std::string& target = file.target;
    const int fd =
        openat(dir, name.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
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
    // The writers seek back to patch lengths: the bytes wait in memory.
    if (!OpenStaging(file)) {
        const int cause = errno;
        close(fd);
        error = std::string("cannot stage the bytes: ") + std::strerror(cause);
        return false;
    }
    file.device = fd;
    return true;
}

// Writes the staged bytes to `fd` (the device or the temporary file), retrying
// partial writes: one write for the whole file in the usual case.
bool WriteStaged(OutputFile& file, int fd, std::string& error) {
    const StagedBytes& staged = *file.staged;
    if (staged.spilled) return true;  // already in the file
    for (size_t done = 0; done < staged.size;) {
        const ssize_t put = write(fd, staged.data + done, staged.size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            return Fail(file.target, put < 0 ? std::strerror(errno) : "nothing written", error);
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

// Ends the memory stream; its bytes stay in `file.staged`.
bool EndStaging(OutputFile& file, std::string& error) {
    errno = 0;
    const bool ended = std::fclose(file.stream) == 0;
    file.stream = nullptr;
    if (!ended) return Fail(file.target, errno ? std::strerror(errno) : "write error", error);
    return true;
}

void FreeStaged(OutputFile& file) {
    if (file.staged) std::free(file.staged->data);
    delete file.staged;
    file.staged = nullptr;
}

// A memory stream over `file.staged`, seekable anywhere, whose size is the
// furthest byte written (a writer that goes back to patch a header keeps
// everything after it).
bool OpenStaging(OutputFile& file) {
    file.staged = new (std::nothrow) StagedBytes();
    if (!file.staged) return false;
    const cookie_io_functions_t functions = {nullptr, StagedWrite, StagedSeek, nullptr};
    file.stream = fopencookie(file.staged, "wb", functions);
    if (!file.stream) FreeStaged(file);
    return file.stream != nullptr;
}

}  // namespace

bool OpenOutputFile(const std::string& target, OutputFile& file, std::string& error,
                    const OutputFolder* folder) {
    file = OutputFile{};
    file.target = target;
    file.folder = folder;
    std::string name;
    const int dir = PlaceOf(target, folder, name);
    struct stat seen {};
    if (fstatat(dir, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(seen.st_mode) &&
        !S_ISLNK(seen.st_mode)) {
        if (WrittenThrough(seen.st_mode)) return OpenDevice(dir, name, seen, file, error);
        error = "cannot replace '" + target + "': not a regular file (" +
                FileKindName(seen.st_mode) + ")";
        return false;
    }
    TemporaryFile temporary;
    if (!CreateTemporaryBeside(target, temporary, error, folder)) return false;
    file.sink = temporary.stream;
    file.temporaryPath = temporary.path;
    if (OpenStaging(file)) {
        file.staged->spillFd = fileno(file.sink);
    } else {  // no memory for it: the temporary file takes the bytes directly
        file.stream = file.sink;
        file.sink = nullptr;
    }
    return true;
}

bool CommitOutputFile(OutputFile& file, std::string& error) {
    bool ok = true;
    if (file.device >= 0) {
        ok = EndStaging(file, error) && WriteStaged(file, file.device, error);
        FreeStaged(file);
        if (close(file.device) != 0 && ok) ok = Fail(file.target, std::strerror(errno), error);
        file.device = -1;
        return ok;
    }
    if (file.sink) {
        ok = EndStaging(file, error) && WriteStaged(file, fileno(file.sink), error);
        FreeStaged(file);
        file.stream = file.sink;
        file.sink = nullptr;
    }
    // A short write (a full disk, a file-size limit) shows at the latest here.
    errno = 0;
    if (std::fclose(file.stream) != 0 && ok) {
        const int cause = errno;
        ok = Fail(file.target, cause ? std::strerror(cause) : "write error", error);
    }
    file.stream = nullptr;
    ok = ok && ReplaceWithTemporary(file.temporaryPath, file.target, error, file.folder);
    if (!ok) RemoveTemporary(file.temporaryPath, file.folder);
    file.temporaryPath.clear();
    return ok;
}

void DiscardOutputFile(OutputFile& file) {
    if (file.stream) std::fclose(file.stream);
    file.stream = nullptr;
    if (file.sink) std::fclose(file.sink);
    file.sink = nullptr;
    FreeStaged(file);
    if (file.device >= 0) close(file.device);
    file.device = -1;
    RemoveTemporary(file.temporaryPath, file.folder);
    file.temporaryPath.clear();
}
