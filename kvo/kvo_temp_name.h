// The names of the writer's temporary files (".kvo-" + 6 letters or digits +
// ".tmp"), which a save writes beside its target and renames over it.
// Async-signal-safe, so a program's signal handler can remove what an
// interrupted save left.
#pragma once

#include <cstring>

namespace kvo {

inline bool IsTemporaryName(const char* name) {
    return std::strlen(name) == 15 && std::strncmp(name, ".kvo-", 5) == 0 &&
           std::strcmp(name + 11, ".tmp") == 0;
}

}  // namespace kvo
