#include "cli/import/obj_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/import/file_stem.h"
#include "cli/import/mtl_lookup.h"
#include "cli/import/obj_scene_builder.h"

namespace kvoimport {

namespace {

// Smaller files are refused by the importer with its own message.
constexpr size_t kImporterMinimum = 16;

// What one read() gives when the file is counted as it is read: small enough
// for the cache, large enough that the calls cost nothing.
constexpr size_t kCountedPiece = size_t{1} << 20;

// An .mtl as the importer would find it: missing only where it would not
// find it under another name either.
MtlFile ReadMtl(const std::string& path, const std::string& scenePath, std::string& bytes) {
    FileBytes file;
    std::string error;
    bool opened = false;
    if (ReadWholeFile(path, file, error, opened)) {
        bytes.assign(file.data(), file.size());
        return MtlFile::Read;
    }
    if (opened || ImporterMightFindElsewhere(path, scenePath)) return MtlFile::Unusable;
    return MtlFile::Missing;
}

}  // namespace

bool ReadWholeFile(const std::string& path, FileBytes& bytes, std::string& error, bool& opened,
                   ObjSizeCounter* counter) {
    bytes = FileBytes();
    opened = false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    opened = true;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        close(fd);
        return false;
    }
    // The size is only a first guess: what read() gives is what counts.
    size_t capacity = static_cast<size_t>(st.st_size) + 1;
    std::unique_ptr<char[]> data(new char[capacity]);
    size_t used = 0;
    for (;;) {
        if (used == capacity) {
            std::unique_ptr<char[]> more(new char[capacity * 2]);
            std::memcpy(more.get(), data.get(), used);
            data = std::move(more);
            capacity *= 2;
        }
        // With a counter, pieces small enough to be counted from the cache.
        const size_t want =
            counter != nullptr ? std::min(capacity - used, kCountedPiece) : capacity - used;
        const ssize_t n = read(fd, data.get() + used, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0) break;
        if (counter != nullptr) counter->Feed(data.get(), used, used + static_cast<size_t>(n));
        used += static_cast<size_t>(n);
    }
    close(fd);
    bytes.data_ = std::move(data);
    bytes.size_ = used;
    return true;
}

namespace {

// The scene and the files read, once the model is parsed.
ObjRead Finish(const ObjModel& model, const ObjSource& source, const ImportSettings& settings,
               std::vector<std::string>& mtlFiles, kvoscene::Scene& scene, std::string& message,
               ObjFilesRead* files) {
    if (!BuildObjScene(model, settings, FileStem(source.path), scene, message)) {
        return ObjRead::Failed;
    }
    if (files != nullptr) {
        files->mtlFiles = std::move(mtlFiles);
        files->textureNames.clear();
        for (const ObjMaterial& material : model.materials) {
            for (const std::string& name : material.textures) {
                if (!name.empty()) files->textureNames.push_back(name);
            }
        }
    }
    return ObjRead::Done;
}

}  // namespace

ObjRead ReadObjBytes(const char* data, size_t size, const ObjSource& source,
                     const ImportSettings& settings, kvoscene::Scene& scene, std::string& message,
                     ObjFilesRead* files) {
    scene = kvoscene::Scene();
    if (size < kImporterMinimum) {
        message = "a file of fewer than 16 bytes";
        return ObjRead::NotTaken;
    }
    ObjModel model;
    std::vector<std::string> mtlFiles;
    if (!ParseObj(data, size, source, model, mtlFiles, message)) return ObjRead::NotTaken;
    return Finish(model, source, settings, mtlFiles, scene, message, files);
}

ObjRead ReadObjFile(const std::string& path, const ImportSettings& settings, kvoscene::Scene& scene,
                    std::string& message, ObjFilesRead* files) {
    scene = kvoscene::Scene();
    ObjSource source;
    source.path = path;
    source.readMtl = [&path](const std::string& mtl, std::string& bytes) {
        return ReadMtl(mtl, path, bytes);
    };
    ObjModel model;
    std::vector<std::string> mtlFiles;
    {
        FileBytes bytes;
        std::string error;
        bool opened = false;
        ObjSizeCounter counter;
        if (!ReadWholeFile(path, bytes, error, opened, &counter)) {
            // The importer says in its own words why it cannot read the file.
            message = error;
            return ObjRead::NotTaken;
        }
        if (bytes.size() < kImporterMinimum) {
            message = "a file of fewer than 16 bytes";
            return ObjRead::NotTaken;
        }
        const ObjSizeHint hint = counter.Finish(bytes.data(), bytes.size());
        if (!ParseObj(bytes.data(), bytes.size(), source, model, mtlFiles, message, &hint)) {
            return ObjRead::NotTaken;
        }
        // The file's memory is freed before the scene is built, which can then
        // reuse it rather than have fresh pages cleared for it.
    }
    return Finish(model, source, settings, mtlFiles, scene, message, files);
}

}  // namespace kvoimport
