// Where a material's texture name is found, and the generated checkers that
// stand for a missing texture and show texture coordinates.
#pragma once

#include <string>
#include <vector>

#include "view/image.h"

namespace kvoview {

// Finds `name` in the folders, in order: below each folder as given (when it
// is relative and has no ".." part), then its last path component (after '/'
// or '\'), then that component in any letter case. "" when not found.
std::string FindTexture(const std::string& name, const std::vector<std::string>& folders);

// Magenta and dark grey, 8 x 8 cells over the texture square.
Image MissingTextureChecker();

// 8 x 8 cells whose colour rises with u (red) and v (green), light and dark in
// turn, so seams, flips and stretching show.
Image UvChecker();

}  // namespace kvoview
