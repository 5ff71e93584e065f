// Whether a file named as a texture is an image: a regular file whose header
// the image reader (stb_image, as the pictures use) recognises. Anything else
// named as a texture is never read as one nor listed as a dependency.
#pragma once

#include <string>

namespace kvoimport {

bool IsImageFile(const std::string& path);

}  // namespace kvoimport
