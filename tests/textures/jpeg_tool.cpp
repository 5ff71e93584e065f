#include "tests/textures/jpeg_tool.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace texturetest {

std::vector<uint8_t> Gradient(int width, int height) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            rgb.push_back(static_cast<uint8_t>(40 + 160 * x / width));
            rgb.push_back(static_cast<uint8_t>(30 + 180 * y / height));
            rgb.push_back(90);
        }
    }
    return rgb;
}

bool MakeJpeg(const std::vector<uint8_t>& rgb, int width, int height, const std::string& flags,
              const std::string& jpegPath) {
    const std::string ppm = jpegPath + ".ppm";
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << width << " " << height << "\n255\n";
        out.write(reinterpret_cast<const char*>(rgb.data()),
                  static_cast<std::streamsize>(rgb.size()));
        if (!out) return false;
    }
    const std::string command =
        "cjpeg -quality 95 " + flags + " -outfile '" + jpegPath + "' '" + ppm + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace texturetest
