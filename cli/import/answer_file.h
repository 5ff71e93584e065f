// The file a scene's answer travels in: the host gives each scene a fresh
// anonymous file, the import process writes the scene form into it with
// plain writes, and only the answer's head comes down the pipe. Once the
// answer is complete the host seals the file (no shrinking, growing or
// writing any more), so a read-only mapping of it cannot fault whatever the
// import process does next, and decodes straight from the mapping.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/import/import_protocol.h"

namespace kvoimport {

// The scene form as the host reads it: a sealed file's read-only mapping, or
// a copy of the file's bytes where it could not be sealed or mapped.
class AnswerView {
public:
    AnswerView() = default;
    ~AnswerView() { Release(); }
    AnswerView(AnswerView&& other) noexcept;
    AnswerView& operator=(AnswerView&& other) noexcept;
    AnswerView(const AnswerView&) = delete;
    AnswerView& operator=(const AnswerView&) = delete;

    const uint8_t* data() const { return map_ != nullptr ? map_ : copy_.data(); }
    size_t size() const { return size_; }
    bool Mapped() const { return map_ != nullptr; }
    // Unmaps or frees the bytes.
    void Release();

private:
    friend class AnswerFile;
    uint8_t* map_ = nullptr;
    AnswerBytes copy_;
    size_t size_ = 0;
};

class AnswerFile {
public:
    AnswerFile() = default;
    ~AnswerFile() { Close(); }
    AnswerFile(const AnswerFile&) = delete;
    AnswerFile& operator=(const AnswerFile&) = delete;

    // A fresh anonymous file that can be sealed; false with the cause when
    // none can be had (the answer then comes down the pipe).
    bool Create(std::string& error);
    // Takes over a descriptor (tests hand in files that cannot be sealed).
    void Adopt(int fd) {
        Close();
        fd_ = fd;
    }
    int fd() const { return fd_; }
    // What the request names: the descriptor's number here and the file's inode.
    bool Ref(AnswerFileRef& ref) const;

    // Reads a complete answer of `size` bytes: seals the file and maps it
    // read-only. A file that cannot be sealed (its writer added F_SEAL_SEAL or
    // holds a writable mapping) is never mapped, since its writer could still
    // shrink it under the mapping: it is read with pread into a buffer, as is
    // a sealed file that cannot be mapped. False with the cause when the file
    // does not hold exactly `size` bytes.
    bool Take(uint64_t size, AnswerView& view, std::string& error);
    void Close();

private:
    int fd_ = -1;
};

}  // namespace kvoimport
