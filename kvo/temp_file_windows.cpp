// Windows variant: CreateFileA(CREATE_NEW) and MoveFileExA(MOVEFILE_REPLACE_EXISTING).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "kvo/temp_file.h"

namespace {

constexpr int kAttempts = 64;

uint64_t Seed(int attempt) {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<uint64_t>(counter.QuadPart) ^
           (static_cast<uint64_t>(GetCurrentProcessId()) << 40) ^
           (static_cast<uint64_t>(attempt) << 20);
}

std::string DirectoryName(const std::string& target) {
    const size_t cut = target.find_last_of("\\/");
    return cut == std::string::npos ? "." : target.substr(0, cut + 1);
}

// The system's text for an error code, without its line end.
std::string ErrorText(DWORD code) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string out(text, length);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) {
        out.pop_back();
    }
    return out.empty() ? "error " + std::to_string(code) : out;
}

}  // namespace

FILE* OpenExclusive(const std::string& path, int, bool& exists, std::string& failure) {
    exists = false;
    // CREATE_NEW fails on any existing name, a link included, and never follows one.
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        failure = ErrorText(code);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        failure = "cannot open the file's handle";
        CloseHandle(handle);
        DeleteFileA(path.c_str());
        return nullptr;
    }
    FILE* stream = _fdopen(fd, "wb");
    if (!stream) {
        failure = "cannot open the file's stream";
        _close(fd);
        DeleteFileA(path.c_str());
    }
    return stream;
}

// The output folder's handle keeps the folder in place: files go by path.
bool CreateTemporaryBeside(const std::string& target, TemporaryFile& file, std::string& error,
                           const OutputFolder*) {
    std::string failure;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string path = TemporaryPathBeside(target, Seed(attempt), "\\/");
        bool exists = false;
        file.stream = OpenExclusive(path, -1, exists, failure);
        if (file.stream) {
            file.path = path;
            return true;
        }
        if (!exists) break;
    }
    error = "cannot create a temporary file in '" + DirectoryName(target) + "': " + failure;
    return false;
}

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target,
                          std::string& error, const OutputFolder*) {
    if (MoveFileExA(temporary.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    error = "cannot replace '" + target + "': " + ErrorText(GetLastError());
    return false;
}

void RemoveTemporary(const std::string& temporary, const OutputFolder*) {
    if (!temporary.empty()) DeleteFileA(temporary.c_str());
}
