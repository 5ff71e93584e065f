// One KVO file in memory: tables of materials and geobs, with the writer,
// the reader and the geob optimiser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "kvo/d_resource.h"
#include "kvo/kvo_geob.h"
#include "kvo/kvo_material.h"

class OutputFolder;

class KvoGeode : public DResource {
public:
    static constexpr int kMaxMaterials = 250;
    static constexpr int kMaxGeobs = 200;
    // What the records of one load may allocate: this many bytes per byte of
    // the file, plus a fixed allowance. Files the writer makes need at most
    // about 7 per byte (a default material block takes 188 bytes for a record
    // of about 1.1 KB); hand-made ones of bare nested blocks would need ~90.
    static constexpr uint64_t kLoadBytesPerFileByte = 8;
    static constexpr uint64_t kLoadFixedBytes = uint64_t{1} << 20;

    explicit KvoGeode(std::string path);
    // A loaded geode deletes its records; one filled by SetMaterials/SetGeobs does not.
    ~KvoGeode() override;

    bool Load() override;  // kvo_reader.cpp
    // Adopts a copy of `size` bytes as the file buffer and loads from it.
    bool LoadFromMemory(const uint8_t* data, size_t size);
    // Takes `data` (from new[]) as the file buffer without a copy and loads from it.
    bool LoadFromBuffer(std::unique_ptr<uint8_t[]> data, size_t size);
    bool Save(const std::string& outPath) override;  // kvo_writer.cpp
    // Saves relative to `folder` (held open by an export run) when `outPath`
    // lies directly in it; null saves by path.
    bool Save(const std::string& outPath, const OutputFolder* folder);
    void Unload() override {}

    // The arrays stay owned by the caller.
    void SetMaterials(int32_t count, KvoMaterial* first);
    void SetGeobs(int32_t count, KvoGeob* first);
    // Empties both tables, deleting the records only when the geode owns them.
    void ClearTables();

    // Optimiser (kvo_optimizer.cpp). Counters are added to, never reset.
    void Optimize(int32_t* indicesEqualized, int32_t* verticesRemoved, int32_t* burstsRemoved);
    void OptimizeGeob(KvoGeob* geob, int32_t* indicesEqualized, int32_t* verticesRemoved,
                      int32_t* burstsRemoved);
    int32_t MergeBursts(KvoGeob* geob);
    int32_t WeldVertices(KvoGeob* geob);
    int32_t CompactVertices(KvoGeob* geob);
    void ReorderVertices(KvoGeob* geob);
    void SwapVertices(KvoGeob* geob, int32_t a, int32_t b);
    KvoMaterial* ResolveBurstMaterial(const KvoGeob* geob, int32_t burstMaterial) const;

    // Writer helpers (kvo_writer.cpp).
    static size_t WriteBytes(FILE* stream, const void* data, size_t count);
    static size_t WriteString(FILE* stream, const std::string& text);
    static long Tell(FILE* stream);
    static bool Seek(FILE* stream, long position);
    bool WriteMaterial(FILE* stream, const KvoMaterial* material);
    bool WriteGeob(FILE* stream, const KvoGeob* geob);

    // Reader helpers (kvo_reader.cpp); `cursor` is an offset into `buffer`.
    int32_t ReadBytes(size_t& cursor, void* destination, size_t count);
    bool Skip(size_t& cursor, size_t count);
    int16_t ReadString(size_t& cursor, std::string& text);
    KvoMaterial* ReadMaterial(size_t& cursor, int32_t number, int depth = 0);
    KvoGeob* ReadGeob(size_t& cursor, int32_t number);
    // Takes `bytes` from what the load may still allocate; false, with the
    // cause in `error`, when that would pass the limit.
    bool ChargeLoad(size_t bytes, size_t offset);

    bool loaded = false;
    // Load reads and checks every count and array length but keeps no array:
    // the geobs' array pointers stay null beside their counts. For callers that
    // only compare the file's tables and counts.
    bool countsOnly = false;
    int32_t materialCount = 0;
    int32_t geobCount = 0;
    KvoMaterial* materials[kMaxMaterials] = {};
    KvoGeob* geobs[kMaxGeobs] = {};
    uint64_t loadBytesLeft = 0;  // set by Load, taken by ChargeLoad
};
