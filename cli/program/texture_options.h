// The command line's texture options and where they go.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kvocli {

struct TextureOptions {
    std::vector<std::string> paths;  // --texture-path, in order
    bool copy = false;               // --copy-textures
    unsigned maxSide = 0;            // --texture-max: copies scaled to this many pixels a side
    bool powerOfTwo = false;         // --texture-pot: copies' sides to powers of two
};

void AddTextureOptions(CLI::App& app, TextureOptions& options);

}  // namespace kvocli
