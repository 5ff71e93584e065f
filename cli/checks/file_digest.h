// A written file read back once: its bytes and their SHA-256, for the
// verification and the JSON report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kvochecks {

// A file's bytes in one allocation of the file's size, neither zero-filled nor
// grown while reading.
struct FileBytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
};

// False with `error` set when the file cannot be read. `sha256Hex` null: no digest.
bool ReadAndDigestFile(const std::string& path, FileBytes& bytes, std::string* sha256Hex,
                       std::string& error);

// SHA-256 of bytes in memory, lower-case hex.
std::string Sha256Hex(const void* data, size_t size);

}  // namespace kvochecks
