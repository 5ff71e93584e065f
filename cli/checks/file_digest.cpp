#include "cli/checks/file_digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace kvochecks {

namespace {

struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
};

using Context = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string Hex(const unsigned char* digest, unsigned length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 15];
    }
    return text;
}

std::string Finish(EVP_MD_CTX* context) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (EVP_DigestFinal_ex(context, digest, &length) != 1) return {};
    return Hex(digest, length);
}

}  // namespace

std::string Sha256Hex(const void* data, size_t size) {
    Context context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), data, size) != 1) {
        return {};
    }
    return Finish(context.get());
}

bool ReadAndDigestFile(const std::string& path, FileBytes& bytes, std::string* sha256Hex,
                       std::string& error) {
    bytes = FileBytes();
    const FileDescriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    const int fd = file.fd;
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return false;
    }
    const size_t expected = static_cast<size_t>(st.st_size);
    bytes.data.reset(expected == 0 ? nullptr : new (std::nothrow) uint8_t[expected]);
    if (expected != 0 && !bytes.data) {
        error = std::strerror(ENOMEM);
        return false;
    }
    // A file cut short while it is read gives what was there.
    while (bytes.size < expected) {
        const ssize_t n = read(fd, bytes.data.get() + bytes.size, expected - bytes.size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        bytes.size += static_cast<size_t>(n);
    }
    if (sha256Hex == nullptr) return true;
    *sha256Hex = Sha256Hex(bytes.data.get(), bytes.size);
    if (sha256Hex->empty()) error = "no SHA-256 digest available";
    return !sha256Hex->empty();
}

}  // namespace kvochecks
