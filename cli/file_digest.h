// Size and SHA-256 of a written file, for the JSON report.
#pragma once

#include <cstdint>
#include <string>

namespace kvocli {

// False with `error` set when the file cannot be read.
bool DigestFile(const std::string& path, uint64_t& bytes, std::string& sha256Hex,
                std::string& error);

// SHA-256 of bytes in memory, lower-case hex.
std::string Sha256Hex(const void* data, size_t size);

}  // namespace kvocli
