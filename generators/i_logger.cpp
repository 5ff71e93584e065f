#include "generators/i_logger.h"

#include <cstdarg>
#include <cstdlib>
#include <memory>

#include "kvo/output_folder.h"

namespace {

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

}  // namespace

ILogger::~ILogger() {
    Close();
}

void ILogger::Open(const std::string& filePath, const OutputFolder* folder) {
    if (opened) return;
    path = filePath;
    opened = true;
    // Binary mode: line ends are translated by Print, so the bytes match on every platform.
    file = OpenForWriting(path, folder);
    WriteHeader();
}

void ILogger::Print(const char* format, ...) {
    if (!opened || file == nullptr) return;

    va_list args;
    va_start(args, format);
    va_list retryArgs;
    va_copy(retryArgs, args);

    char stackBuffer[512];
    const int length = std::vsnprintf(stackBuffer, sizeof stackBuffer, format, args);
    va_end(args);

    const char* text = stackBuffer;
    std::unique_ptr<char, FreeDeleter> heapBuffer;
    if (length >= static_cast<int>(sizeof stackBuffer)) {
        // Longer than the stack buffer: format again into one that fits, never truncate.
        const size_t size = static_cast<size_t>(length) + 1;
        heapBuffer.reset(static_cast<char*>(std::malloc(size)));
        if (heapBuffer) std::vsnprintf(heapBuffer.get(), size, format, retryArgs);
        text = heapBuffer.get();
    }
    va_end(retryArgs);

    // An encoding error or no memory loses the line, like any other write error.
    if (length < 0 || text == nullptr) return;
    WriteWithCrLf(text, static_cast<size_t>(length));
    std::fflush(file);
}

void ILogger::Close() {
    if (file == nullptr) return;
    std::fclose(file);
    file = nullptr;  // a stray Print after Close must not touch the closed stream
}

void ILogger::WriteWithCrLf(const char* text, size_t length) {
    size_t runStart = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != '\n') continue;
        std::fwrite(text + runStart, 1, i - runStart, file);
        std::fwrite("\r\n", 1, 2, file);
        runStart = i + 1;
    }
    std::fwrite(text + runStart, 1, length - runStart, file);
}
