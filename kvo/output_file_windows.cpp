// Windows variant: always a temporary file renamed over the target; a
// directory in the target's place is refused before anything is written. The
// run's output folder, held open, cannot move: files go by path.
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "kvo/output_file.h"
#include "kvo/temp_file.h"

bool OpenOutputFile(const std::string& target, OutputFile& file, std::string& error,
                    const OutputFolder* folder) {
    file = OutputFile{};
    file.target = target;
    file.folder = folder;
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "cannot replace '" + target + "': not a regular file (a directory)";
        return false;
    }
    TemporaryFile temporary;
    if (!CreateTemporaryBeside(target, temporary, error)) return false;
    file.stream = temporary.stream;
    file.temporaryPath = temporary.path;
    return true;
}

bool CommitOutputFile(OutputFile& file, std::string& error) {
    bool ok = true;
    errno = 0;
    if (std::fclose(file.stream) != 0) {
        const int cause = errno;
        error =
            "cannot write '" + file.target + "': " + (cause ? std::strerror(cause) : "write error");
        ok = false;
    }
    file.stream = nullptr;
    ok = ok && ReplaceWithTemporary(file.temporaryPath, file.target, error);
    if (!ok) DeleteFileA(file.temporaryPath.c_str());
    file.temporaryPath.clear();
    return ok;
}

void DiscardOutputFile(OutputFile& file) {
    if (file.stream) std::fclose(file.stream);
    file.stream = nullptr;
    if (!file.temporaryPath.empty()) DeleteFileA(file.temporaryPath.c_str());
    file.temporaryPath.clear();
}
