// Saving through a temporary file: it is created exclusively in the target's
// directory (never through an existing name or link) under a short unique name,
// and renamed over the target in one step once it is complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class OutputFolder;

struct TemporaryFile {
    FILE* stream = nullptr;
    std::string path;
};

// Length of the temporary file's name: ".kvo-" + 6 letters or digits + ".tmp".
constexpr size_t kTemporaryNameLength = 15;

// The directory part of `target` up to its last separator ("" for a bare
// name), then a temporary name made from `seed`.
std::string TemporaryPathBeside(const std::string& target, uint64_t seed, const char* separators);

// Creates `path` anew for writing in binary mode; fails when anything exists
// under that name, a link or a dangling link included. On POSIX the file gets
// `permissions` when it is not negative, else the default mode less the umask.
// `failure` is set to a cause on failure; `exists` tells that the name was taken.
FILE* OpenExclusive(const std::string& path, int permissions, bool& exists, std::string& failure);

// Creates a temporary file beside `target`, with the permission bits of the
// regular file it will replace; false with `error` set when none can be made.
// With `folder`, a target directly in it is reached relative to the open
// folder (POSIX), here and in the two calls below; messages keep the paths.
bool CreateTemporaryBeside(const std::string& target, TemporaryFile& file, std::string& error,
                           const OutputFolder* folder = nullptr);

// Renames `temporary` over `target` in one step; false with `error` set.
bool ReplaceWithTemporary(const std::string& temporary, const std::string& target,
                          std::string& error, const OutputFolder* folder = nullptr);

// Removes the temporary file `temporary` (nothing when it is empty).
void RemoveTemporary(const std::string& temporary, const OutputFolder* folder = nullptr);
