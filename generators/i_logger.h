// Base of the text-file generators: opens its file once, writes the header, prints lines.
#pragma once

#include <cstdio>
#include <string>

// Lets the compiler check each Print call's arguments against its format string.
#if defined(__MINGW_PRINTF_FORMAT)
#define KVOEXP_PRINTF_FORMAT(formatIndex, firstArg) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, formatIndex, firstArg)))
#elif defined(__GNUC__) || defined(__clang__)
#define KVOEXP_PRINTF_FORMAT(formatIndex, firstArg) \
    __attribute__((format(printf, formatIndex, firstArg)))
#else
#define KVOEXP_PRINTF_FORMAT(formatIndex, firstArg)
#endif

class OutputFolder;

class ILogger {
public:
    ILogger() = default;
    // Closes the file; a derived destructor has written its closing text before.
    virtual ~ILogger();
    ILogger(const ILogger&) = delete;
    ILogger& operator=(const ILogger&) = delete;

    // Creates the file and writes its header on the first call only; later calls are
    // ignored whatever path they name, also when the first one could not create the file.
    // A file directly in `folder` (an export run's open output folder) is created
    // relative to it; without one, by path.
    void Open(const std::string& filePath, const OutputFolder* folder = nullptr);

    // Appends printf-formatted text, every "\n" written as CR LF, and flushes at once.
    // Does nothing before Open or when the file could not be created.
    void Print(const char* format, ...) KVOEXP_PRINTF_FORMAT(2, 3);

    // Closes the stream when one is open; the generator stays silent afterwards.
    void Close();

protected:
    // Writes the file's header through Print; called only by Open.
    virtual void WriteHeader() = 0;

private:
    void WriteWithCrLf(const char* text, size_t length);

    std::string path;
    std::FILE* file = nullptr;
    bool opened = false;
};
