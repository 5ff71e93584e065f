#include "kvo/d_resource.h"

#include <cctype>
#include <cstdio>
#include <limits>
#include <new>
#include <utility>

#include "kvo/input_file.h"

DResource::DResource(std::string path, bool readNow) : path(std::move(path)) {
    directory = ExtractDirectory(this->path);
    if (readNow) ReadFile();
}

DResource::~DResource() {
    delete[] buffer;
}

std::string DResource::ExtractDirectory(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) slash = path.rfind('\\');
    // A bare file name lies in no named directory.
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1);
}

void DResource::ReadFile() {
    std::string refusal;
    FILE* file = OpenRegularFile(path, refusal);
    if (!file) {
        error = refusal.empty() ? "Could not open file" : refusal;
        return;
    }
    delete[] buffer;
    buffer = nullptr;
    bufferSize = 0;
    bool ok = false;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long end = std::ftell(file);
        // The size field is 32-bit: larger files (and failed tells) cannot be buffered.
        if (end >= 0 && static_cast<unsigned long>(end) <= std::numeric_limits<uint32_t>::max() &&
            std::fseek(file, 0, SEEK_SET) == 0) {
            size_t size = static_cast<size_t>(end);
            buffer = new (std::nothrow) uint8_t[size == 0 ? 1 : size];
            ok = buffer && std::fread(buffer, 1, size, file) == size;
            if (ok) bufferSize = static_cast<uint32_t>(size);
        }
    }
    std::fclose(file);
    if (!ok) {
        error = "Error occured while reading file to buffer";
        delete[] buffer;
        buffer = nullptr;
        bufferSize = 0;
    }
    readAttempted = true;
}

bool DResource::PrepareBuffer() {
    if (!readAttempted) ReadFile();
    return readAttempted && buffer != nullptr;
}

void DResource::Release() {
    Unload();
    delete[] buffer;
    buffer = nullptr;
    bufferSize = 0;
}

void DResource::ReadLine(uint32_t& position, std::string& line) const {
    line.clear();
    while (buffer && position < bufferSize) {
        uint8_t byte = buffer[position++];
        if (byte == '\n' || byte == '\r') {
            if (!line.empty()) return;
            continue;  // skip empty lines and the second byte of CR LF
        }
        line.push_back(static_cast<char>(byte));
    }
}

std::string DResource::GetExtension() const {
    size_t dot = path.rfind('.');
    if (dot == std::string::npos) return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return extension;
}
