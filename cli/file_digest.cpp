#include "cli/file_digest.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kvocli {

namespace {

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

bool ReadAndDigestFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& sha256Hex,
                       std::string& error) {
    bytes.clear();
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    unsigned char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    if (std::ferror(file.get())) {
        error = std::strerror(errno);
        return false;
    }
    sha256Hex = Sha256Hex(bytes.data(), bytes.size());
    if (sha256Hex.empty()) error = "no SHA-256 digest available";
    return !sha256Hex.empty();
}

}  // namespace kvocli
