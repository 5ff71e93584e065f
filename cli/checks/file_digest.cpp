#include "cli/checks/file_digest.h"

#include <dlfcn.h>
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

// OpenSSL's digest functions, loaded on the first digest: only a report
// shows digests, so a run without one does not load the library.
struct Crypto {
    decltype(&EVP_MD_CTX_new) newContext = nullptr;
    decltype(&EVP_MD_CTX_free) freeContext = nullptr;
    decltype(&EVP_sha256) sha256 = nullptr;
    decltype(&EVP_DigestInit_ex) init = nullptr;
    decltype(&EVP_DigestUpdate) update = nullptr;
    decltype(&EVP_DigestFinal_ex) final = nullptr;
};

template <class F>
bool Find(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

const Crypto* LoadCrypto() {
    static const Crypto* const loaded = []() -> const Crypto* {
        void* library = nullptr;
        for (const char* name : {"libcrypto.so.3", "libcrypto.so"}) {
            if ((library = dlopen(name, RTLD_NOW | RTLD_LOCAL)) != nullptr) break;
        }
        static Crypto crypto;
        if (!library || !Find(library, "EVP_MD_CTX_new", crypto.newContext) ||
            !Find(library, "EVP_MD_CTX_free", crypto.freeContext) ||
            !Find(library, "EVP_sha256", crypto.sha256) ||
            !Find(library, "EVP_DigestInit_ex", crypto.init) ||
            !Find(library, "EVP_DigestUpdate", crypto.update) ||
            !Find(library, "EVP_DigestFinal_ex", crypto.final)) {
            return nullptr;
        }
        return &crypto;
    }();
    return loaded;
}

std::string Hex(const unsigned char* digest, unsigned length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 15];
    }
    return text;
}

}  // namespace

std::string Sha256Hex(const void* data, size_t size) {
    const Crypto* crypto = LoadCrypto();
    if (!crypto) return {};
    std::unique_ptr<EVP_MD_CTX, decltype(crypto->freeContext)> context(crypto->newContext(),
                                                                       crypto->freeContext);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (!context || crypto->init(context.get(), crypto->sha256(), nullptr) != 1 ||
        crypto->update(context.get(), data, size) != 1 ||
        crypto->final(context.get(), digest, &length) != 1) {
        return {};
    }
    return Hex(digest, length);
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
