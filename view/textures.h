// The generated checkers that stand for a missing texture and show texture
// coordinates (texture names are found by textures/texture_lookup.h).
#pragma once

#include "view/image.h"

namespace kvoview {

// Magenta and dark grey, 8 x 8 cells over the texture square.
Image MissingTextureChecker();

// 8 x 8 cells whose colour rises with u (red) and v (green), light and dark in
// turn, so seams, flips and stretching show.
Image UvChecker();

}  // namespace kvoview
