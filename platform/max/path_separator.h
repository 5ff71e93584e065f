// The one separator used to join directory and file names: a backslash on
// Windows, a slash elsewhere, so files land where the platform expects them.
#pragma once

#ifdef _WIN32
constexpr char kPathSeparator[] = "\\";
#else
constexpr char kPathSeparator[] = "/";
#endif
