// The textures an invocation copies into its output folders (--copy-textures):
// each source once per folder, under the name the .kvo stores; the same bytes
// already there are left alone, and a different file of that name is never
// replaced: the copy takes the first free "<stem>_<n>.<ext>" instead, the
// same one on every run.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cli/outputs/texture_resize.h"

namespace kvooutputs {

struct TextureCopy {
    std::string source;    // the file copied, or "<scene>#<image>" for one held in a scene
    std::string file;      // the copy
    std::string name;      // its file name: what the .kvo names
    bool written = false;  // false: the same bytes were there already
    bool renamed = false;  // another file held the wanted name
    bool resized = false;  // scaled down to the limits: from -> to
    TextureSize from, to;
    std::string notResized;  // over the limits but copied as it is: the cause
};

class TextureCopies {
public:
    // The largest texture copied or extracted.
    static constexpr uint64_t kMaxBytes = uint64_t{1} << 30;

    // Copies the image `source` into `dir` as `name` (or a suffixed name).
    // False with the cause when it cannot be read or written.
    bool CopyFile(const std::string& source, const std::string& dir, const std::string& name,
                  TextureCopy& out, std::string& error);
    // Writes image bytes held in a scene; `source` names them for the report.
    bool WriteBytes(const std::string& source, const std::vector<uint8_t>& bytes,
                    const std::string& dir, const std::string& name, TextureCopy& out,
                    std::string& error);

    // Copies made from now on are scaled down to `limits` (--texture-max,
    // --texture-pot).
    void SetLimits(const TextureLimits& limits) { limits_ = limits; }

    // Every copy of the invocation, in the order made (each once).
    const std::vector<TextureCopy>& Copies() const { return copies_; }

private:
    bool Place(const std::string& key, const std::string& source, const std::vector<uint8_t>& bytes,
               const std::string& dir, const std::string& name, TextureCopy& out,
               std::string& error);
    bool Limit(const std::string& key, const std::string& source, const std::vector<uint8_t>& bytes,
               const std::string& dir, const std::string& name, TextureCopy& out,
               std::string& error);

    TextureLimits limits_;
    std::map<std::string, size_t> done_;          // folder + source -> index in copies_
    std::map<std::string, std::string> claimed_;  // lower-cased copy path -> its source key
    std::vector<TextureCopy> copies_;
};

// The name of the n-th other choice for `name`: "wood.jpg" -> "wood_2.jpg".
std::string SuffixedName(const std::string& name, unsigned n);

// Reads a whole regular file of at most `maxBytes`; false with the cause.
bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error);

}  // namespace kvooutputs
