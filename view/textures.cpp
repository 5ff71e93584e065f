// The generated checkers.
#include "view/textures.h"

namespace kvoview {

namespace {

Image Checker(int cells, int cellSize, void (*colour)(int i, int j, uint8_t rgba[4])) {
    Image image;
    const uint8_t black[4] = {0, 0, 0, 255};
    image.Resize(cells * cellSize, cells * cellSize, black);
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            uint8_t rgba[4];
            colour(i, j, rgba);
            // Row 0 is the top of the picture, where v is 1.
            image.FillRect(i * cellSize, (cells - 1 - j) * cellSize, cellSize, cellSize, rgba);
        }
    }
    return image;
}

}  // namespace

Image MissingTextureChecker() {
    return Checker(8, 8, [](int i, int j, uint8_t rgba[4]) {
        const bool light = (i + j) % 2 == 0;
        rgba[0] = light ? 255 : 40;
        rgba[1] = light ? 0 : 40;
        rgba[2] = light ? 255 : 40;
        rgba[3] = 255;
    });
}

Image UvChecker() {
    return Checker(8, 32, [](int i, int j, uint8_t rgba[4]) {
        const double scale = (i + j) % 2 == 0 ? 1.0 : 0.55;
        rgba[0] = static_cast<uint8_t>(scale * (40 + 215 * i / 7));
        rgba[1] = static_cast<uint8_t>(scale * (40 + 215 * j / 7));
        rgba[2] = static_cast<uint8_t>(scale * 110);
        rgba[3] = 255;
    });
}

}  // namespace kvoview
