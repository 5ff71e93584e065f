// Base of file-backed resources: owns the whole file in one buffer and
// leaves parsing and writing to the derived class.
#pragma once

#include <cstdint>
#include <string>

class DResource {
public:
    DResource(std::string path, bool readNow);
    virtual ~DResource();
    DResource(const DResource&) = delete;
    DResource& operator=(const DResource&) = delete;

    virtual bool Load() = 0;
    virtual bool Save(const std::string& outPath) = 0;
    virtual void Unload() = 0;

    // Reads the whole file at `path` into `buffer` (sets `error` on failure).
    void ReadFile();
    // Reads the file once; true when a buffer is available.
    bool PrepareBuffer();
    // Drops what was derived from the buffer, then frees the buffer.
    void Release();
    // Reads the next non-empty line from the buffer; empty when exhausted.
    void ReadLine(uint32_t& position, std::string& line) const;
    // Text after the last "." of `path`, upper-cased; "" when there is none.
    std::string GetExtension() const;
    std::string GetPath() const { return path; }

    static std::string ExtractDirectory(const std::string& path);

    bool readAttempted = false;
    uint8_t* buffer = nullptr;
    uint32_t bufferSize = 0;
    std::string path;
    std::string directory;
    std::string error;
};
