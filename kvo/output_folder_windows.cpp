// Windows variant: a directory handle opened without FILE_SHARE_DELETE, which
// keeps the folder from being renamed or removed while it is held.
#include <windows.h>

#include "kvo/output_folder.h"

bool OutputFolder::Open(const std::string& path, std::string& error) {
    Close();
    const HANDLE handle =
        CreateFileA(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = "cannot open the folder '" + path + "': error " + std::to_string(GetLastError());
        return false;
    }
    path_ = path;
    native_ = reinterpret_cast<intptr_t>(handle);
    return true;
}

void OutputFolder::Close() {
    if (IsOpen()) CloseHandle(reinterpret_cast<HANDLE>(native_));
    native_ = kNone;
    path_.clear();
}

std::FILE* OpenForWriting(const std::string& path, const OutputFolder*) {
    return std::fopen(path.c_str(), "wb");
}
