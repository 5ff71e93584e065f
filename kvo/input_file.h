// Opening a file to read: only a regular file is read, so a FIFO or a device
// named as input is refused at once instead of blocking or never ending.
#pragma once

#include <cstdio>
#include <string>

// Opens `path` (links followed) for binary reading when it is a regular file.
// Returns null when it cannot be opened, with `refusal` empty, or when it is
// not a regular file, with `refusal` set to "not a regular file (a FIFO)" or
// the like.
FILE* OpenRegularFile(const std::string& path, std::string& refusal);
