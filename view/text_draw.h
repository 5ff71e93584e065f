// Labels drawn into a picture with a small built-in bitmap font (printable
// ASCII; other bytes show as '?').
#pragma once

#include <string>

#include "view/image.h"

namespace kvoview {

// Size of `text` in pixels at the given whole-number scale.
int TextWidth(const std::string& text, int scale);
int TextHeight(int scale);

// Draws `text` with its top-left corner at (x, y), clipped to the picture.
void DrawText(Image* image, int x, int y, const std::string& text, const uint8_t colour[4],
              int scale);

// `text` shortened with "..." at its end so that it fits `width` pixels.
std::string FitText(const std::string& text, int width, int scale);

}  // namespace kvoview
