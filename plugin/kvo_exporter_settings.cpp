// The settings file "kvoexp.cfg": the output directory and the eight option
// flags, one per line, in the host's plug-in configuration directory.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/max/path_separator.h"
#include "plugin/kvo_exporter.h"

namespace {

constexpr int kLineBufferSize = 261;  // one read: at most 260 characters
constexpr int kFlagLines = 8;

std::string SettingsPath(Interface* ip) {
    CStr path(ip->GetDir(APP_PLUGCFG_DIR));
    path += kPathSeparator;
    path += "kvoexp.cfg";
    return path.str();
}

// One read of at most size - 1 characters, ending after a line feed, as
// fgets reads; a carriage return before a line feed is dropped, as a text
// stream on Windows drops it. False at the end of the file.
bool ReadLine(FILE* file, char* buffer, int size) {
    int count = 0;
    while (count < size - 1) {
        int c = std::fgetc(file);
        if (c == EOF) break;
        if (c == '\r') {
            const int next = std::fgetc(file);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
        }
        buffer[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[count] = '\0';
    return count > 0;
}

bool* FlagOfLine(ExportOptions& options, int line) {
    bool* flags[kFlagLines] = {&options.localize,           &options.optimize,
                               &options.exportNormals,      &options.upNormals,
                               &options.exportVertexColors, &options.generateShader,
                               &options.generateGeometry,   &options.generateLog};
    return flags[line - 1];
}

// Moves the finished temporary file over the settings file.
bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

FILE* KVOExporter::GetSettingsFile(const char* mode) {
    if (ip == nullptr) return nullptr;
    const std::string path = SettingsPath(ip);
    // Only a regular file is read: opening a FIFO or a device would block the host.
    struct stat st;
    if (mode[0] == 'r' && (stat(path.c_str(), &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG)) {
        return nullptr;
    }
    return std::fopen(path.c_str(), mode);
}

void KVOExporter::ReadSettings() {
    FILE* file = GetSettingsFile("r");
    if (file == nullptr) return;
    char line[kLineBufferSize];
    for (int read = 0; read <= kFlagLines && ReadLine(file, line, kLineBufferSize); ++read) {
        if (read == 0) {
            // The whole buffer is cleared, so a longer old value leaves nothing behind.
            std::memset(outputDir, 0, kOutputDirSize);
            const size_t length = std::strcspn(line, "\n");
            std::memcpy(outputDir, line, length);
        } else {
            *FlagOfLine(options, read) = line[0] == '1';
        }
    }
    std::fclose(file);
}

// Writes a temporary file beside the settings file and renames it over the
// old one only when every byte was written; any failure keeps the old file.
void KVOExporter::SaveSettings() {
    if (ip == nullptr) return;
    const std::string path = SettingsPath(ip);
    const std::string temporary = path + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr) return;
    bool written = std::fputs(outputDir, file) >= 0 && std::fputc('\n', file) != EOF;
    for (int line = 1; line <= kFlagLines && written; ++line) {
        written = std::fputs(*FlagOfLine(options, line) ? "1\n" : "0\n", file) >= 0;
    }
    written = std::fflush(file) == 0 && written && std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || !ReplaceFile(temporary, path)) std::remove(temporary.c_str());
}
