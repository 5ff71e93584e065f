// Reader of KVO files: parses the resource buffer with a moving cursor.
// Every count and length from the file is checked against the tables and
// against the bytes that remain before it is used; any failure refuses the
// whole load and leaves a short cause in `error`. What the records allocate is
// bounded by the file's size (KvoGeode::kLoadBytesPerFileByte), so a small file
// of many empty nested blocks cannot take the machine's memory.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "kvo/kvo_geode.h"

namespace {

// A tag as read from the file, with a terminator so that it compares as text.
struct Tag {
    char text[5] = {};
    bool Is(const char* expected) const { return std::strcmp(text, expected) == 0; }
    bool IsEmpty() const { return text[0] == '\0'; }
};

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
bool Fail(std::string& error, const char* format, ...) {
    char message[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    error = message;
    return false;
}

// Offsets fit 32 bits (the buffer size does); %lu prints them on every C library.
unsigned long At(size_t offset) {
    return static_cast<unsigned long>(offset);
}

// Printable form of a tag for error messages.
std::string TagName(const Tag& tag) {
    for (int i = 0; i < 4; ++i) {
        unsigned char c = static_cast<unsigned char>(tag.text[i]);
        if (c < 0x20 || c > 0x7e) {
            char hex[16];
            std::snprintf(
                hex, sizeof hex, "0x%02x%02x%02x%02x", static_cast<unsigned char>(tag.text[0]),
                static_cast<unsigned char>(tag.text[1]), static_cast<unsigned char>(tag.text[2]),
                static_cast<unsigned char>(tag.text[3]));
            return hex;
        }
    }
    return tag.text;
}

void DeleteMaterials(KvoMaterial* (&table)[KvoGeode::kMaxMaterials]) {
    for (KvoMaterial*& material : table) {
        delete material;
        material = nullptr;
    }
}

void DeleteGeobs(KvoGeob* (&table)[KvoGeode::kMaxGeobs]) {
    for (KvoGeob*& geob : table) {
        if (geob) {
            geob->FreeArrays();
            delete geob;
        }
        geob = nullptr;
    }
}

}  // namespace

int32_t KvoGeode::ReadBytes(size_t& cursor, void* destination, size_t count) {
    if (!buffer || cursor > bufferSize || count > bufferSize - cursor ||
        count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        return -1;
    }
    if (count > 0) std::memcpy(destination, buffer + cursor, count);
    cursor += count;
    return static_cast<int32_t>(count);
}

bool KvoGeode::Skip(size_t& cursor, size_t count) {
    if (cursor > bufferSize || count > bufferSize - cursor) return false;
    cursor += count;
    return true;
}

bool KvoGeode::ChargeLoad(size_t bytes, size_t offset) {
    if (bytes <= loadBytesLeft) {
        loadBytesLeft -= bytes;
        return true;
    }
    const uint64_t limit = kLoadFixedBytes + kLoadBytesPerFileByte * uint64_t{bufferSize};
    return Fail(error,
                "out of the memory allowed for this file at offset %lu: its records would take "
                "more than %llu bytes (%u per file byte + 1 MiB)",
                At(offset), static_cast<unsigned long long>(limit),
                static_cast<unsigned>(kLoadBytesPerFileByte));
}

int16_t KvoGeode::ReadString(size_t& cursor, std::string& text) {
    text.clear();
    const size_t start = cursor;
    int16_t length = 0;
    if (ReadBytes(cursor, &length, sizeof length) < 0) {
        Fail(error, "truncated string at offset %lu", At(start));
        return -1;
    }
    // A count below 1 is the empty string (a negative one too); nothing further is stored.
    if (length < 1) return -1;
    if (!Skip(cursor, static_cast<size_t>(length))) {
        Fail(error, "truncated string at offset %lu", At(start));
        return -1;
    }
    // The text ends at its first zero byte, although all bytes are consumed.
    const char* bytes = reinterpret_cast<const char*>(buffer + start + sizeof length);
    const void* zero = std::memchr(bytes, 0, static_cast<size_t>(length));
    size_t used = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes)
                       : static_cast<size_t>(length);
    if (!ChargeLoad(used, start)) return -1;
    text.assign(bytes, used);
    return length;
}

namespace {

// Cursor-level helpers shared by the block readers. Each returns false with
// `error` set; `where` names the chunk or block being read and `offset` its start.
struct ChunkReader {
    KvoGeode& geode;
    size_t& cursor;

    bool Truncated(const char* where, size_t offset) {
        return Fail(geode.error, "truncated %s at offset %lu", where, At(offset));
    }
    bool ReadTag(Tag& tag, const char* where, size_t offset) {
        return geode.ReadBytes(cursor, tag.text, 4) == 4 || Truncated(where, offset);
    }
    // Reads a chunk length and checks that the chunk ends inside the buffer.
    bool ReadLength(uint32_t& length, const Tag& tag, size_t offset) {
        if (geode.ReadBytes(cursor, &length, 4) != 4) {
            return Fail(geode.error, "truncated %s chunk at offset %lu", TagName(tag).c_str(),
                        At(offset));
        }
        if (length > geode.bufferSize - cursor) {
            return Fail(geode.error, "%s chunk at offset %lu: length %u reaches past the end",
                        TagName(tag).c_str(), At(offset), length);
        }
        return true;
    }
    // Reads the tag and length of a material or geob block; the block must end inside the buffer.
    bool ReadBlockHeader(Tag& tag, uint32_t& length, const char* what, size_t offset) {
        if (geode.ReadBytes(cursor, tag.text, 4) != 4 || geode.ReadBytes(cursor, &length, 4) != 4) {
            return Truncated(what, offset);
        }
        if (length > geode.bufferSize - cursor) {
            return Fail(geode.error, "%s block at offset %lu: length %u reaches past the end",
                        TagName(tag).c_str(), At(offset), length);
        }
        return true;
    }
    bool Read(void* destination, size_t count, const Tag& tag, size_t offset) {
        if (geode.ReadBytes(cursor, destination, count) >= 0) return true;
        return Fail(geode.error, "truncated %s chunk at offset %lu", TagName(tag).c_str(),
                    At(offset));
    }
    // Reads a table count and checks it against 0..limit.
    bool ReadCount(int32_t& count, int32_t limit, const Tag& tag, size_t offset) {
        if (!Read(&count, 4, tag, offset)) return false;
        if (count < 0 || count > limit) {
            return Fail(geode.error, "%s chunk at offset %lu: count %d outside 0..%d",
                        TagName(tag).c_str(), At(offset), count, limit);
        }
        return true;
    }
    // Reads a count and its array of `elementSize` bytes per entry into a
    // fresh malloc block (at least `minimumBytes`); an empty array may stay null.
    template <typename T>
    bool ReadArray(T*& array, int32_t& count, size_t elementSize, size_t minimumBytes,
                   const Tag& tag, size_t offset) {
        int32_t n = 0;
        if (!Read(&n, 4, tag, offset)) return false;
        const size_t remaining = geode.bufferSize - cursor;
        if (n < 0 || static_cast<size_t>(n) > remaining / elementSize) {
            return Fail(geode.error, "%s chunk at offset %lu: count %d does not fit the file",
                        TagName(tag).c_str(), At(offset), n);
        }
        std::free(array);
        array = nullptr;
        count = n;
        const size_t bytes = static_cast<size_t>(n) * elementSize;
        const size_t allocation = bytes < minimumBytes ? minimumBytes : bytes;
        if (allocation == 0) return true;
        // Charged alike, so a counts-only load refuses what a full one refuses.
        if (!geode.ChargeLoad(allocation, offset)) return false;
        if (geode.countsOnly) return geode.Skip(cursor, bytes);  // fits: checked above
        array = static_cast<T*>(std::malloc(allocation));
        if (!array) {
            return Fail(geode.error, "%s chunk at offset %lu: out of memory", TagName(tag).c_str(),
                        At(offset));
        }
        return Read(array, bytes, tag, offset);
    }
};

}  // namespace

KvoMaterial* KvoGeode::ReadMaterial(size_t& cursor, int32_t number, int depth) {
    ChunkReader in{*this, cursor};
    const size_t blockOffset = cursor;
    if (depth > KvoMaterial::kMaxNesting) {
        Fail(error, "sub-materials nested deeper than %d at offset %lu", KvoMaterial::kMaxNesting,
             At(blockOffset));
        return nullptr;
    }
    // The block's own tag is not checked: whatever stands there is read as MAT0.
    Tag blockTag;
    uint32_t blockLength = 0;
    if (!in.ReadBlockHeader(blockTag, blockLength, "material block", blockOffset)) {
        return nullptr;
    }
    if (!ChargeLoad(sizeof(KvoMaterial), blockOffset)) return nullptr;
    KvoMaterial* material = new (std::nothrow) KvoMaterial();
    if (!material) {
        Fail(error, "out of memory at offset %lu", At(blockOffset));
        return nullptr;
    }
    for (;;) {
        const size_t offset = cursor;
        Tag tag;
        uint32_t length = 0;
        if (!in.ReadTag(tag, "material block", blockOffset)) break;
        if (tag.Is("MEND")) {
            // A top-level material is stored under its number; sub-materials by the caller.
            if (depth == 0) materials[number] = material;
            return material;
        }
        if (!in.ReadLength(length, tag, offset)) break;
        bool ok = true;
        if (tag.Is("MCOL")) {
            float colours[17];
            ok = in.Read(colours, sizeof colours, tag, offset);
            if (ok) {
                std::memcpy(material->ambient, colours, 16);
                std::memcpy(material->diffuse, colours + 4, 16);
                std::memcpy(material->specular, colours + 8, 16);
                std::memcpy(material->emission, colours + 12, 16);
                material->shininess = colours[16];
            }
        } else if (tag.Is("MHDR")) {
            ReadString(cursor, material->name);
            if (error.empty()) ReadString(cursor, material->secondaryName);
            ok = error.empty();
        } else if (tag.Is("MTRA")) {
            ok = in.Read(&material->transparency, 4, tag, offset) &&
                 in.Read(&material->transparencyMode, 4, tag, offset);
        } else if (tag.Is("MCFL")) {
            ok = in.Read(&material->flags, 4, tag, offset);
        } else if (tag.Is("MUVW")) {
            ok = in.Read(material->uvTransform, sizeof material->uvTransform, tag, offset);
        } else if (tag.Is("MTEX")) {
            int32_t count = 0;
            ok = in.ReadCount(count, KvoMaterial::kMaxTextures, tag, offset);
            // A repeated chunk replaces the earlier one.
            for (std::string*& texture : material->textures) {
                delete texture;
                texture = nullptr;
            }
            material->textureCount = 0;
            std::string text;
            for (int32_t i = 0; ok && i < count; ++i) {
                ReadString(cursor, text);
                ok = error.empty();
                ok = ok && ChargeLoad(sizeof(std::string), offset);
                if (ok) {
                    material->textures[i] = new (std::nothrow) std::string(text);
                    ok = material->textures[i] ||
                         Fail(error, "out of memory at offset %lu", At(offset));
                }
            }
            if (ok) material->textureCount = count;
        } else if (tag.Is("MSUB")) {
            int32_t count = 0;
            ok = in.ReadCount(count, KvoMaterial::kMaxSubMaterials, tag, offset);
            for (KvoMaterial*& sub : material->subMaterials) {
                delete sub;
                sub = nullptr;
            }
            material->subMaterialCount = 0;
            for (int32_t k = 0; ok && k < count; ++k) {
                material->subMaterials[k] = ReadMaterial(cursor, k, depth + 1);
                ok = material->subMaterials[k] != nullptr;
            }
            if (ok) material->subMaterialCount = count;
        } else {
            ok = Skip(cursor, length);  // cannot fail: the length was checked
        }
        if (!ok) break;
    }
    delete material;
    return nullptr;
}

KvoGeob* KvoGeode::ReadGeob(size_t& cursor, int32_t number) {
    ChunkReader in{*this, cursor};
    const size_t blockOffset = cursor;
    Tag blockTag;
    uint32_t blockLength = 0;
    if (!in.ReadBlockHeader(blockTag, blockLength, "geob block", blockOffset)) {
        return nullptr;
    }
    // An old-version block is skipped whole; its entry stays null.
    if (blockTag.Is("GOB0")) {
        Skip(cursor, blockLength);
        return nullptr;
    }
    if (!ChargeLoad(sizeof(KvoGeob), blockOffset)) return nullptr;
    KvoGeob* geob = new (std::nothrow) KvoGeob();
    if (!geob) {
        Fail(error, "out of memory at offset %lu", At(blockOffset));
        return nullptr;
    }
    for (;;) {
        const size_t offset = cursor;
        Tag tag;
        uint32_t length = 0;
        if (!in.ReadTag(tag, "geob block", blockOffset)) break;
        if (tag.Is("GEND")) {
            geobs[number] = geob;
            return geob;
        }
        if (!in.ReadLength(length, tag, offset)) break;
        bool ok = true;
        if (tag.Is("GHDR")) {
            ok = in.Read(&geob->headerWord0, 4, tag, offset) &&
                 in.Read(&geob->headerWord1, 4, tag, offset) &&
                 in.Read(&geob->materialIndex, 4, tag, offset);
        } else if (tag.Is("INDI")) {
            ok = in.ReadArray(geob->indices, geob->indexCount, 2, 2, tag, offset);
        } else if (tag.Is("VERT")) {
            ok = in.ReadArray(geob->vertices, geob->vertexCount, 12, 4, tag, offset);
        } else if (tag.Is("NORM")) {
            ok = in.ReadArray(geob->normals, geob->normalCount, 12, 0, tag, offset);
        } else if (tag.Is("VCOL")) {
            ok = in.ReadArray(geob->colors, geob->colorCount, 12, 0, tag, offset);
        } else if (tag.Is("TVER")) {
            ok = in.ReadArray(geob->texCoords, geob->texCoordCount, 8, 0, tag, offset);
        } else if (tag.Is("BRST")) {
            // Four runs of `count` values each; the count is checked against the arrays.
            int32_t count = 0;
            ok = in.ReadCount(count, KvoGeob::kMaxBursts, tag, offset);
            const size_t bytes = 4 * static_cast<size_t>(count);
            ok = ok && in.Read(geob->burstStart, bytes, tag, offset) &&
                 in.Read(geob->burstLength, bytes, tag, offset) &&
                 in.Read(geob->burstMaterial, bytes, tag, offset) &&
                 in.Read(geob->burstVertsPerPrim, bytes, tag, offset);
            if (ok) geob->burstCount = count;
        } else {
            ok = Skip(cursor, length);
        }
        if (!ok) break;
    }
    geob->FreeArrays();
    delete geob;
    return nullptr;
}

bool KvoGeode::Load() {
    ClearTables();
    if (!PrepareBuffer()) {
        if (error.empty()) error = "no file buffer";
        return false;
    }
    error.clear();
    loadBytesLeft = kLoadFixedBytes + kLoadBytesPerFileByte * uint64_t{bufferSize};
    size_t cursor = 0;
    ChunkReader in{*this, cursor};
    Tag magic;
    uint32_t fileLength = 0;
    if (!in.ReadTag(magic, "file header", 0)) return false;
    if (!magic.Is("KVO1"))
        return Fail(error, "not a KVO file: magic is %s", TagName(magic).c_str());
    if (ReadBytes(cursor, &fileLength, 4) != 4) return in.Truncated("file header", 0);

    bool ok = true;
    while (ok) {
        const size_t offset = cursor;
        Tag tag;
        uint32_t length = 0;
        if (!in.ReadTag(tag, "chunk list (no end tag)", offset)) {
            ok = false;
            break;
        }
        if (tag.Is("EKVO") || tag.IsEmpty()) break;
        if (!in.ReadLength(length, tag, offset)) {
            ok = false;
        } else if (tag.Is("MATS")) {
            // A repeated table replaces the earlier one.
            DeleteMaterials(materials);
            materialCount = 0;
            ok = in.ReadCount(materialCount, kMaxMaterials, tag, offset);
            for (int32_t i = 0; ok && i < materialCount; ++i) {
                ok = ReadMaterial(cursor, i) != nullptr;
            }
        } else if (tag.Is("GEOB")) {
            DeleteGeobs(geobs);
            geobCount = 0;
            ok = in.ReadCount(geobCount, kMaxGeobs, tag, offset);
            for (int32_t i = 0; ok && i < geobCount; ++i) {
                ReadGeob(cursor, i);  // null for a skipped GOB0 block
                ok = error.empty();
            }
        } else {
            Skip(cursor, length);
        }
    }
    if (!ok) {
        // A refused load leaves the geode empty.
        DeleteGeobs(geobs);
        DeleteMaterials(materials);
        geobCount = 0;
        materialCount = 0;
        return false;
    }
    loaded = true;
    return true;
}

bool KvoGeode::LoadFromMemory(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (copy && size > 0) std::memcpy(copy.get(), data, size);
    return LoadFromBuffer(std::move(copy), size);
}

bool KvoGeode::LoadFromBuffer(std::unique_ptr<uint8_t[]> data, size_t size) {
    ClearTables();
    delete[] buffer;
    buffer = nullptr;
    bufferSize = 0;
    readAttempted = true;
    if (size > std::numeric_limits<uint32_t>::max()) {
        error = "buffer too large";
        return false;
    }
    // An empty file has a buffer too; bytes announced without one are a failed allocation.
    if (!data && size == 0) data.reset(new (std::nothrow) uint8_t[1]);
    if (!data) {
        error = "Error occured while reading file to buffer";
        return false;
    }
    buffer = data.release();
    bufferSize = static_cast<uint32_t>(size);
    return Load();
}
