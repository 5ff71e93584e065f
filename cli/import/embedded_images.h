// Images held inside a scene file (glTF buffer views and data URIs, FBX
// embedded content, packed images) as an import hands them to the host, and
// their encoding in an import process's answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct aiScene;

namespace kvoimport {

struct EmbeddedImage {
    std::string reference;       // the texture name the materials use ("*0", "wood.png")
    std::string name;            // the image's own name, "" when it has none
    std::vector<uint8_t> bytes;  // the image file's bytes, as stored
};

// The longest list of embedded images an answer may carry.
constexpr uint64_t kMaxEmbeddedImages = uint64_t{1} << 31;

// The images that the materials' diffuse or base-colour maps name and that
// the scene holds as an image file's bytes (not raw texels).
std::vector<EmbeddedImage> DiffuseEmbeddedImages(const aiScene* scene);

// Per image: u32 reference length, the reference, u32 name length, the name,
// u64 byte count, the bytes; little-endian.
std::vector<uint8_t> EncodeEmbeddedImages(const std::vector<EmbeddedImage>& images);
// False with the cause for a damaged list: a cut length or field, a
// reference or name longer than 65,536 bytes, an empty reference.
bool DecodeEmbeddedImages(const uint8_t* data, size_t size, std::vector<EmbeddedImage>& images,
                          std::string& error);

}  // namespace kvoimport
