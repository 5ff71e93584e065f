#include "view/output_io_system.h"

#include <assimp/IOStream.hpp>
#include <cstring>

namespace kvoview {

namespace {

// A stream onto an OutputFile's staging stream, which the system owns: the
// exporters delete their streams themselves, before the export is judged.
class OutputStream : public Assimp::IOStream {
public:
    explicit OutputStream(FILE* stream) : stream_(stream) {}
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* data, size_t size, size_t count) override {
        return size == 0 ? 0 : std::fwrite(data, size, count, stream_);
    }
    aiReturn Seek(size_t offset, aiOrigin origin) override {
        const int whence = origin == aiOrigin_SET   ? SEEK_SET
                           : origin == aiOrigin_CUR ? SEEK_CUR
                                                    : SEEK_END;
        return std::fseek(stream_, static_cast<long>(offset), whence) == 0 ? aiReturn_SUCCESS
                                                                           : aiReturn_FAILURE;
    }
    size_t Tell() const override {
        const long at = std::ftell(stream_);
        return at < 0 ? 0 : static_cast<size_t>(at);
    }
    size_t FileSize() const override {
        const long at = std::ftell(stream_);
        if (at < 0 || std::fseek(stream_, 0, SEEK_END) != 0) return 0;
        const long end = std::ftell(stream_);
        std::fseek(stream_, at, SEEK_SET);
        return end < 0 ? 0 : static_cast<size_t>(end);
    }
    void Flush() override { std::fflush(stream_); }

private:
    FILE* stream_;
};

}  // namespace

OutputIOSystem::~OutputIOSystem() {
    Discard();
}

Assimp::IOStream* OutputIOSystem::Open(const char* file, const char* mode) {
    if (!mode || !std::strchr(mode, 'w')) return DefaultIOSystem::Open(file, mode);
    auto output = std::make_unique<OutputFile>();
    std::string error;
    if (!OpenOutputFile(file, *output, error)) {
        if (openFailure_.empty()) openFailure_ = error;
        return nullptr;
    }
    outputs_.push_back(std::move(output));
    return new OutputStream(outputs_.back()->stream);
}

void OutputIOSystem::Close(Assimp::IOStream* stream) {
    delete stream;
}

bool OutputIOSystem::Commit(std::string* error) {
    bool ok = true;
    for (const std::unique_ptr<OutputFile>& output : outputs_) {
        std::string failure;
        if (!ok) {
            DiscardOutputFile(*output);
        } else if (!CommitOutputFile(*output, failure)) {
            if (error) *error = failure;
            ok = false;
        }
    }
    outputs_.clear();
    return ok;
}

void OutputIOSystem::Discard() {
    for (const std::unique_ptr<OutputFile>& output : outputs_) DiscardOutputFile(*output);
    outputs_.clear();
}

}  // namespace kvoview
