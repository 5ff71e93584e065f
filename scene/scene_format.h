// The compact scene form: the bytes the import process writes to its pipe and
// that `kvoexp --dump-scene` stores in a file. Portable C++ only. The encoder
// (scene_encoder.h) and the decoder (scene_decoder.h) share these constants.
//
// Version 1, or 2 when the import lost something. Integers are little-endian; floats are IEEE-754
// binary32 bit patterns, little-endian; a string is a u32 length (any length the rest of the input
// holds) followed by that many 8-bit characters, without a terminator.
//
//   header     "KVOSCENE" (8 bytes), u32 version (1 or 2)
//   materials  u32 count, then per material:
//                u8 kind (0 standard, 1 multi), string name,
//                standard: u8 diffuse map (0 none, 1 a file, 2 held inside the
//                          scene file), string diffuse map path
//                multi:    u32 n, n x (u32 sub-material number,
//                                      u32 index of a standard material)
//   nodes      u32 count, then per node, parents before children:
//                string name, u32 parent (0xffffffff: the scene root, else the
//                index of an earlier node), u8 kind (0 geometry, 1 camera,
//                2 light, 3 helper), 12 x f32 object-to-world transform (the
//                three axis rows, then the translation row), u32 material
//                (0xffffffff: none); geometry nodes continue with a mesh:
//   mesh       u32 vertex count V, u32 face count F,
//              V x 3 f32 positions,
//              F x (3 x u32 vertex index, u16 material ID, u32 smoothing bits),
//              u8 has-normals (0/1), then V x 3 f32 normals when 1,
//              two channels, texture coordinates (map channel 1) then colours:
//                u8 mode (0 absent, 1 faces equal the position faces, 2 own
//                faces); unless 0: u32 count C, C x 3 f32 values; when 2:
//                F x 3 x u32 indices below C. With mode 1, C equals V.
//   losses     version 2 only: u32 count N, N x (u32 key, u32 value): what
//              the import dropped (kLoss* keys below), and where it placed
//              the file (kFrame* keys: the file's up axis, the f64 bits of the
//              length factor in two halves); unknown keys are skipped, so
//              later keys can be added.
//   Counts of vertices, faces and channel values are at most 2^31 - 1.
//   Nothing may follow the last node (version 1) or the losses (version 2).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kvoscene {

constexpr uint32_t kCodecVersion = 1;
// Written only for a scene with import losses or a recorded frame, so other
// forms stay version 1.
constexpr uint32_t kCodecVersionLosses = 2;
enum LossKey : uint32_t {
    kLossLines = 1,
    kLossPoints = 2,
    kLossAnimations = 3,
    kLossSkinnedMeshes = 4,
    kLossExtraUvMeshes = 5,
    kLossExtraUvSets = 6,
};
constexpr uint32_t kLossKeyCount = 6;
enum FrameKey : uint32_t {
    kFrameUp = 16,          // axis 0..2, plus 4 for the negative direction
    kFrameFactorLow = 17,   // low 32 bits of the f64 factor
    kFrameFactorHigh = 18,  // high 32 bits
};
constexpr uint32_t kFrameKeyCount = 3;
constexpr size_t kLossBytes = 2 * 4;
constexpr char kSceneMagic[8] = {'K', 'V', 'O', 'S', 'C', 'E', 'N', 'E'};
// Counts of vertices, faces and channel values.
constexpr uint32_t kMaxCount = 0x7fffffff;
// A face record: 3 vertex indices, the material ID and the smoothing bits.
constexpr size_t kFaceBytes = 18;

// The fewest bytes each record can take, from the layout above; counts are
// bounded by them before anything is allocated.
constexpr size_t kU8Bytes = 1;
constexpr size_t kU32Bytes = 4;
constexpr size_t kF32Bytes = 4;
constexpr size_t kTransformBytes = 12 * kF32Bytes;
constexpr size_t kEmptyStringBytes = kU32Bytes;  // the length alone
// Standard: has-map flag and an empty path; multi: a sub-material count of 0.
constexpr size_t kStandardTailMinBytes = kU8Bytes + kEmptyStringBytes;
constexpr size_t kMultiTailMinBytes = kU32Bytes;
constexpr size_t kMaterialMinBytes =
    kU8Bytes + kEmptyStringBytes +
    (kStandardTailMinBytes < kMultiTailMinBytes ? kStandardTailMinBytes : kMultiTailMinBytes);
constexpr size_t kSubMaterialBytes = 2 * kU32Bytes;
// A node that is not a geometry node, with an empty name.
constexpr size_t kNodeMinBytes =
    kEmptyStringBytes + kU32Bytes + kU8Bytes + kTransformBytes + kU32Bytes;
static_assert(kMaterialMinBytes == 9 && kNodeMinBytes == 61, "layout sizes");

// On a little-endian machine arrays of 32-bit values are copied as they are.
inline bool LittleEndian() {
    const uint32_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

}  // namespace kvoscene
