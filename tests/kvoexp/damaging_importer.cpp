// Preloaded into the import program by a test: an importer that damages the
// process it runs in. A file whose name holds "poison" imports well, but once
// it was opened, opening any other file in that process crashes, as a heap
// corrupted by one import brings down the next import the same process serves.
#include <dlfcn.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

bool damaged = false;

// Only the import program is damaged; the host that starts it is left alone.
bool InImportProgram() {
    static int answer = -1;
    if (answer < 0) {
        char exe[4096] = {};
        const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        const char* name = n > 0 ? std::strrchr(exe, '/') : nullptr;
        answer = name != nullptr && std::strcmp(name + 1, "kvoexp-import") == 0;
    }
    return answer == 1;
}

FILE* Open(const char* symbol, const char* path, const char* mode) {
    using Fopen = FILE* (*)(const char*, const char*);
    if (InImportProgram()) {
        const bool poison = path != nullptr && std::strstr(path, "poison") != nullptr;
        if (damaged && !poison) raise(SIGSEGV);
        damaged = damaged || poison;
    }
    const auto next = reinterpret_cast<Fopen>(dlsym(RTLD_NEXT, symbol));
    return next(path, mode);
}

}  // namespace

extern "C" FILE* fopen(const char* path, const char* mode) {
    return Open("fopen", path, mode);
}

extern "C" FILE* fopen64(const char* path, const char* mode) {
    return Open("fopen64", path, mode);
}
