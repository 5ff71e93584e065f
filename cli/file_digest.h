// A written file read back once: its bytes and their SHA-256, for the
// verification and the JSON report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvocli {

// False with `error` set when the file cannot be read.
bool ReadAndDigestFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& sha256Hex,
                       std::string& error);

// SHA-256 of bytes in memory, lower-case hex.
std::string Sha256Hex(const void* data, size_t size);

}  // namespace kvocli
