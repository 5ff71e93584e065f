// The names of the writer's temporary files, which a save writes beside its
// target and renames over it. Async-signal-safe, so a program's signal
// handler can remove what an interrupted save left.
#pragma once

#include <cstring>

namespace kvo {

inline bool IsTemporaryName(const char* name) {
    const size_t n = std::strlen(name);
    return n > 8 && std::strcmp(name + n - 8, ".kvo.tmp") == 0;
}

}  // namespace kvo
