// Parses the bytes of an OBJ file into an ObjModel, with the importer's
// meaning of every statement it takes. What it does not take (curves, lines,
// points, polygons of more than four corners, unusual numbers...) makes it
// give up with a reason, so that the file goes to the importer instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/import/obj_model.h"

namespace kvoimport {

enum class MtlFile { Read, Missing, Unusable };

struct ObjSource {
    // The path the OBJ was opened as: its folder is where `mtllib` names are
    // looked up, and "<path without obj>mtl" is tried when one is missing.
    std::string path;
    // Reads a whole .mtl; Missing when there is none, Unusable when there is
    // something this reader does not read as the importer would (not a regular
    // file, or a file the importer would find under another name).
    std::function<MtlFile(const std::string& path, std::string& bytes)> readMtl;
};

// How many vertices, texture vertices and normals a file gives and how many
// faces each stretch between `o`, `g` and `usemtl` lines holds, told by the
// first bytes of its lines. The parser allocates the model's arrays once at
// these sizes instead of growing them by copies, whose pages would stay
// behind. Only a hint: where it is wrong, the arrays grow as they would.
struct ObjSizeHint {
    size_t vertices = 0, textureVertices = 0, normals = 0;
    std::vector<uint32_t> faces{0};  // per stretch, from the file's start
};

// Counts a file's lines for the hint as its bytes arrive, so that the file is
// counted while it is still in the cache.
class ObjSizeCounter {
public:
    // Bytes [from, to) of the file at `data` (which may move between calls),
    // after every byte before `from`.
    void Feed(const char* data, size_t from, size_t to);
    // The hint, once the file's `size` bytes were fed.
    ObjSizeHint Finish(const char* data, size_t size);

private:
    void Tally(int kind);

    ObjSizeHint hint_;
    size_t line_ = 0;         // where the line being read begins
    bool continued_ = false;  // it continues the one before (a trailing backslash)
};

// False, with `reason`, when the file is not one this reader takes. The
// paths of the .mtl files read are added to `mtlFiles`. Without `hint`, the
// bytes are counted first.
bool ParseObj(const char* data, size_t size, const ObjSource& source, ObjModel& model,
              std::vector<std::string>& mtlFiles, std::string& reason,
              const ObjSizeHint* hint = nullptr);

}  // namespace kvoimport
