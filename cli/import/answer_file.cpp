#include "cli/import/answer_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace kvoimport {

namespace {

constexpr int kAnswerSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;

// True once the file can no longer change size or bytes.
bool Seal(int fd) {
    if (fcntl(fd, F_ADD_SEALS, kAnswerSeals) != 0) return false;
    const int seals = fcntl(fd, F_GET_SEALS);
    return seals >= 0 && (seals & kAnswerSeals) == kAnswerSeals;
}

// Reads exactly `size` bytes from the start; false when the file ends sooner.
bool ReadWhole(int fd, uint8_t* into, size_t size) {
    size_t at = 0;
    while (at < size) {
        const ssize_t n = pread(fd, into + at, size - at, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

AnswerView::AnswerView(AnswerView&& other) noexcept
    : map_(std::exchange(other.map_, nullptr)),
      copy_(std::move(other.copy_)),
      size_(std::exchange(other.size_, 0)) {}

AnswerView& AnswerView::operator=(AnswerView&& other) noexcept {
    if (this != &other) {
        Release();
        map_ = std::exchange(other.map_, nullptr);
        copy_ = std::move(other.copy_);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void AnswerView::Release() {
    if (map_ != nullptr) munmap(map_, size_);
    map_ = nullptr;
    copy_.Free();
    size_ = 0;
}

bool AnswerFile::Create(std::string& error) {
    Close();
    fd_ = memfd_create("kvoexp-answer", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd_ < 0) {
        error = std::string("cannot create an answer file: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool AnswerFile::Ref(AnswerFileRef& ref) const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return false;
    ref.fd = static_cast<uint32_t>(fd_);
    ref.inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

void AnswerFile::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool AnswerFile::Take(uint64_t size, AnswerView& view, std::string& error) {
    view.Release();
    const bool sealed = fd_ >= 0 && Seal(fd_);
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
        error = "the answer file cannot be read";
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) != size || size > SIZE_MAX) {
        error = "the answer file holds " + std::to_string(st.st_size) + " bytes, not the " +
                std::to_string(size) + " announced";
        return false;
    }
    const size_t bytes = static_cast<size_t>(size);
    if (bytes == 0) return true;
    if (sealed) {
        // Populated at once: one call instead of a fault per page.
        void* map = mmap(nullptr, bytes, PROT_READ, MAP_SHARED | MAP_POPULATE, fd_, 0);
        if (map != MAP_FAILED) {
            view.map_ = static_cast<uint8_t*>(map);
            view.size_ = bytes;
            return true;
        }
    }
    // Unsealed (its writer could cut it under a mapping) or not mappable: a
    // copy, whose reads simply come up short if the file shrinks meanwhile.
    if (!view.copy_.Allocate(bytes)) {
        error = "no memory for the import process's answer";
        return false;
    }
    if (!ReadWhole(fd_, view.copy_.data(), bytes)) {
        view.copy_.Free();
        error = "the answer file shrank while it was read";
        return false;
    }
    view.size_ = bytes;
    return true;
}

}  // namespace kvoimport
