// Windows variant: fopen, then the opened file's kind (NUL, CON and the like
// are character devices).
#include <sys/stat.h>

#include <cstdio>

#include "kvo/input_file.h"

FILE* OpenRegularFile(const std::string& path, std::string& refusal) {
    refusal.clear();
    FILE* stream = std::fopen(path.c_str(), "rb");
    if (!stream) return nullptr;
    struct _stat64 info {};
    if (_fstat64(_fileno(stream), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        refusal = "not a regular file";
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}
