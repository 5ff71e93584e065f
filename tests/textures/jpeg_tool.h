// JPEG files made at test time by libjpeg-turbo's cjpeg (libjpeg-turbo-progs,
// installed by scripts/setup) in each coding process a texture may use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace texturetest {

// A smooth RGB test picture: red rises with x, green with y, blue fixed.
std::vector<uint8_t> Gradient(int width, int height);

// Writes `rgb` as a PPM and runs `cjpeg <flags>` on it into `jpegPath`;
// false when cjpeg is missing or fails.
bool MakeJpeg(const std::vector<uint8_t>& rgb, int width, int height, const std::string& flags,
              const std::string& jpegPath);

std::vector<uint8_t> ReadBytes(const std::string& path);

}  // namespace texturetest
