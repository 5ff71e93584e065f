// Text as the quads of stb_easy_font, filled on the CPU.
#include "view/text_draw.h"

#include <cmath>
#include <cstring>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_easy_font.h>
#pragma GCC diagnostic pop

namespace kvoview {

namespace {

// The font indexes a table by character code: keep to its 32..126.
std::vector<char> Printable(const std::string& text) {
    std::vector<char> out;
    out.reserve(text.size() + 1);
    for (char c : text) out.push_back(c >= 32 && c <= 126 ? c : '?');
    out.push_back('\0');
    return out;
}

}  // namespace

int TextWidth(const std::string& text, int scale) {
    std::vector<char> chars = Printable(text);
    return stb_easy_font_width(chars.data()) * scale;
}

int TextHeight(int scale) {
    return 8 * scale;
}

void DrawText(Image* image, int x, int y, const std::string& text, const uint8_t colour[4],
              int scale) {
    std::vector<char> chars = Printable(text);
    // About 270 bytes per character, as the font's notes say; 16 bytes per vertex.
    std::vector<char> vertices(300 * chars.size() + 64);
    const int quads = stb_easy_font_print(0, 0, chars.data(), nullptr, vertices.data(),
                                          static_cast<int>(vertices.size()));
    for (int q = 0; q < quads; ++q) {
        float corner0[2], corner2[2];
        std::memcpy(corner0, &vertices[(q * 4 + 0) * 16], sizeof corner0);
        std::memcpy(corner2, &vertices[(q * 4 + 2) * 16], sizeof corner2);
        const int x0 = static_cast<int>(std::lround(corner0[0] * scale));
        const int y0 = static_cast<int>(std::lround(corner0[1] * scale));
        const int x1 = static_cast<int>(std::lround(corner2[0] * scale));
        const int y1 = static_cast<int>(std::lround(corner2[1] * scale));
        image->FillRect(x + x0, y + y0, x1 - x0, y1 - y0, colour);
    }
}

std::string FitText(const std::string& text, int width, int scale) {
    if (TextWidth(text, scale) <= width) return text;
    std::string shorter = text;
    while (!shorter.empty() && TextWidth(shorter + "...", scale) > width) shorter.pop_back();
    return shorter + "...";
}

}  // namespace kvoview
