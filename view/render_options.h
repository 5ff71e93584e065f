// What a picture of KVO files shows: size, direction of view, drawing mode and
// where texture names are looked up.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kvoview {

// Directions of view in the file's Y-up frame; `kFront` looks along -Z.
enum class View { kIso, kFront, kBack, kLeft, kRight, kTop, kBottom };

// kShaded: diffuse texture or colour, one light, the file's normals.
// kNormals: the normal as colour. kUv: a checker over the texture coordinates.
// kWireframe: edges over flat grey.
enum class Mode { kShaded, kNormals, kUv, kWireframe };

struct RenderOptions {
    static constexpr int kMaxSide = 8192;

    int width = 512;
    int height = 512;
    View view = View::kIso;
    Mode mode = Mode::kShaded;
    // Folders where texture names are looked up after each file's own folder,
    // in order (textures/texture_lookup.h).
    std::vector<std::string> textureDirs;
    // Files already found for texture names, used before any lookup: the
    // --preview pictures draw what the export's checks found.
    std::map<std::string, std::string> textureFiles;
};

// Parsers of the command-line spellings; false on an unknown word.
bool ParseView(const std::string& text, View* view);
bool ParseMode(const std::string& text, Mode* mode);
// "WxH" with both sides from 1 to RenderOptions::kMaxSide.
bool ParseSize(const std::string& text, int* width, int* height);

}  // namespace kvoview
