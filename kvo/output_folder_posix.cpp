// POSIX variant: the folder is an O_DIRECTORY descriptor; files in it are
// reached with the *at calls.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kvo/output_folder.h"

bool OutputFolder::Open(const std::string& path, std::string& error) {
    Close();
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open the folder '" + path + "': " + std::strerror(errno);
        return false;
    }
    path_ = path;
    native_ = fd;
    return true;
}

void OutputFolder::Close() {
    if (IsOpen()) close(static_cast<int>(native_));
    native_ = kNone;
    path_.clear();
}

int PlaceOf(const std::string& path, const OutputFolder* folder, std::string& name) {
    if (folder != nullptr && folder->NameIn(path, name)) return folder->Descriptor();
    name = path;
    return AT_FDCWD;
}

std::FILE* OpenForWriting(const std::string& path, const OutputFolder* folder) {
    std::string name;
    const int dir = PlaceOf(path, folder, name);
    if (dir == AT_FDCWD) return std::fopen(path.c_str(), "wb");
    const int fd = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* stream = fdopen(fd, "wb");
    if (stream == nullptr) close(fd);
    return stream;
}
