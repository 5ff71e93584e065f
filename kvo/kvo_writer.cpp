// Writer of KVO files. The geode is checked first, then written through an
// OutputFile (output_file.h): a temporary file created exclusively beside the
// target, which replaces it only after every byte was written and the file
// closed without error, or the staged bytes copied to a device or FIFO.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "kvo/kvo_geode.h"
#include "kvo/kvo_invariants.h"
#include "kvo/output_file.h"

namespace {

constexpr size_t kMaxStringBytes = 32767;
constexpr uint64_t kMaxChunkLength = std::numeric_limits<uint32_t>::max();

bool Put(FILE* stream, const void* data, size_t count) {
    return KvoGeode::WriteBytes(stream, data, count) == count;
}
bool PutTag(FILE* stream, const char* tag) {
    return Put(stream, tag, 4);
}
bool PutU32(FILE* stream, uint32_t value) {
    return Put(stream, &value, 4);
}
bool PutI32(FILE* stream, int32_t value) {
    return Put(stream, &value, 4);
}

// Writes a placeholder length and returns where it stands.
bool OpenLength(FILE* stream, long& position) {
    position = KvoGeode::Tell(stream);
    return position >= 0 && PutU32(stream, 0);
}

// Back-patches the length at `position` with the bytes written after it.
bool CloseLength(FILE* stream, long position) {
    const long end = KvoGeode::Tell(stream);
    if (end < position + 4) return false;
    const uint64_t length = static_cast<uint64_t>(end - position - 4);
    if (length > kMaxChunkLength) return false;
    return KvoGeode::Seek(stream, position) && PutU32(stream, static_cast<uint32_t>(length)) &&
           KvoGeode::Seek(stream, end);
}

// A count followed by the memory image of its array.
bool PutArrayChunk(FILE* stream, const char* tag, int32_t count, const void* data,
                   size_t elementSize) {
    const uint64_t bytes = static_cast<uint64_t>(count) * elementSize;
    if (bytes > kMaxChunkLength - 4) return false;
    return PutTag(stream, tag) && PutU32(stream, static_cast<uint32_t>(4 + bytes)) &&
           PutI32(stream, count) && Put(stream, data, static_cast<size_t>(bytes));
}

template <typename T>
int32_t CountPresent(T* const* table, int32_t count) {
    int32_t present = 0;
    for (int32_t i = 0; i < count; ++i) present += table[i] ? 1 : 0;
    return present;
}

}  // namespace

size_t KvoGeode::WriteBytes(FILE* stream, const void* data, size_t count) {
    if (!stream || count == 0) return 0;
    return std::fwrite(data, 1, count, stream);
}

size_t KvoGeode::WriteString(FILE* stream, const std::string& text) {
    // The length field is 16-bit signed: longer texts are cut.
    const size_t size = text.size() < kMaxStringBytes ? text.size() : kMaxStringBytes;
    const int16_t length = static_cast<int16_t>(size);
    size_t written = WriteBytes(stream, &length, 2);
    if (written == 2) written += WriteBytes(stream, text.data(), size);
    return written;
}

long KvoGeode::Tell(FILE* stream) {
    return std::ftell(stream);
}

bool KvoGeode::Seek(FILE* stream, long position) {
    return std::fseek(stream, position, SEEK_SET) == 0;
}

bool KvoGeode::WriteMaterial(FILE* stream, const KvoMaterial* material) {
    const auto putString = [stream](const std::string& text) {
        const size_t size = text.size() < kMaxStringBytes ? text.size() : kMaxStringBytes;
        return WriteString(stream, text) == size + 2;
    };
    long block = 0, header = 0, textures = 0, subs = 0;
    if (!PutTag(stream, "MAT0") || !OpenLength(stream, block)) return false;

    if (!PutTag(stream, "MHDR") || !OpenLength(stream, header) || !putString(material->name) ||
        !putString(material->secondaryName) || !CloseLength(stream, header)) {
        return false;
    }

    float colours[17];
    std::memcpy(colours, material->ambient, 16);
    std::memcpy(colours + 4, material->diffuse, 16);
    std::memcpy(colours + 8, material->specular, 16);
    std::memcpy(colours + 12, material->emission, 16);
    colours[16] = material->shininess;
    if (!PutTag(stream, "MCOL") || !PutU32(stream, 68) || !Put(stream, colours, 68) ||
        !PutTag(stream, "MUVW") || !PutU32(stream, 28) || !Put(stream, material->uvTransform, 28) ||
        !PutTag(stream, "MTRA") || !PutU32(stream, 8) || !Put(stream, &material->transparency, 4) ||
        !PutI32(stream, material->transparencyMode) || !PutTag(stream, "MCFL") ||
        !PutU32(stream, 4) || !PutI32(stream, material->flags)) {
        return false;
    }

    // Null entries below a count are skipped; the count written is the count present.
    if (!PutTag(stream, "MTEX") || !OpenLength(stream, textures) ||
        !PutI32(stream, CountPresent(material->textures, material->textureCount))) {
        return false;
    }
    for (int32_t i = 0; i < material->textureCount; ++i) {
        if (material->textures[i] && !putString(*material->textures[i])) return false;
    }
    if (!CloseLength(stream, textures)) return false;

    if (!PutTag(stream, "MSUB") || !OpenLength(stream, subs) ||
        !PutI32(stream, CountPresent(material->subMaterials, material->subMaterialCount))) {
        return false;
    }
    for (int32_t k = 0; k < material->subMaterialCount; ++k) {
        const KvoMaterial* sub = material->subMaterials[k];
        if (sub && !WriteMaterial(stream, sub)) return false;
    }
    return CloseLength(stream, subs) && PutTag(stream, "MEND") && CloseLength(stream, block);
}

bool KvoGeode::WriteGeob(FILE* stream, const KvoGeob* geob) {
    long block = 0;
    const int32_t header[3] = {geob->headerWord0, geob->headerWord1, geob->materialIndex};
    if (!PutTag(stream, "GOB1") || !OpenLength(stream, block) || !PutTag(stream, "GHDR") ||
        !PutU32(stream, 12) || !Put(stream, header, 12) ||
        !PutArrayChunk(stream, "INDI", geob->indexCount, geob->indices, 2) ||
        !PutArrayChunk(stream, "VERT", geob->vertexCount, geob->vertices, 12)) {
        return false;
    }
    if (geob->texCoords &&
        !PutArrayChunk(stream, "TVER", geob->texCoordCount, geob->texCoords, 8)) {
        return false;
    }
    if (geob->normals && !PutArrayChunk(stream, "NORM", geob->normalCount, geob->normals, 12)) {
        return false;
    }
    if (geob->colors && !PutArrayChunk(stream, "VCOL", geob->colorCount, geob->colors, 12)) {
        return false;
    }
    const size_t run = 4 * static_cast<size_t>(geob->burstCount);
    return PutTag(stream, "BRST") && PutU32(stream, static_cast<uint32_t>(4 + 4 * run)) &&
           PutI32(stream, geob->burstCount) && Put(stream, geob->burstStart, run) &&
           Put(stream, geob->burstLength, run) && Put(stream, geob->burstMaterial, run) &&
           Put(stream, geob->burstVertsPerPrim, run) && PutTag(stream, "GEND") &&
           CloseLength(stream, block);
}

bool KvoGeode::Save(const std::string& outPath) {
    return Save(outPath, nullptr);
}

bool KvoGeode::Save(const std::string& outPath, const OutputFolder* folder) {
    const std::vector<std::string> causes = CheckGeode(*this, KvoStrictness::kWrite);
    if (!causes.empty()) {
        error = "cannot save: " + causes.front();
        return false;
    }
    OutputFile output;
    if (!OpenOutputFile(outPath, output, error, folder)) return false;
    FILE* stream = output.stream;
    errno = 0;
    long fileLength = 0, table = 0;
    bool ok = PutTag(stream, "KVO1") && OpenLength(stream, fileLength) && PutTag(stream, "MATS") &&
              OpenLength(stream, table) && PutI32(stream, CountPresent(materials, materialCount));
    for (int32_t i = 0; ok && i < materialCount; ++i) {
        if (materials[i]) ok = WriteMaterial(stream, materials[i]);
    }
    ok = ok && CloseLength(stream, table) && PutTag(stream, "GEOB") && OpenLength(stream, table) &&
         PutI32(stream, CountPresent(geobs, geobCount));
    for (int32_t i = 0; ok && i < geobCount; ++i) {
        if (geobs[i]) ok = WriteGeob(stream, geobs[i]);
    }
    ok = ok && CloseLength(stream, table) && PutTag(stream, "EKVO") &&
         CloseLength(stream, fileLength);
    // A short write (a full disk, a file-size limit with SIGXFSZ ignored) shows
    // here or when the output is committed.
    const int writeErrno = errno;
    if (!ok) {
        DiscardOutputFile(output);
        error = "cannot write '" + outPath +
                "': " + (writeErrno ? std::strerror(writeErrno) : "a chunk would exceed 4 GiB");
        return false;
    }
    return CommitOutputFile(output, error);
}
