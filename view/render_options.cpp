// Command-line spellings of the render options.
#include "view/render_options.h"

namespace kvoview {

namespace {

// A decimal number from 1 to RenderOptions::kMaxSide filling all of `text`.
bool ParseSide(const std::string& text, int* side) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > RenderOptions::kMaxSide) return false;
    *side = value;
    return true;
}

}  // namespace

bool ParseView(const std::string& text, View* view) {
    static const struct {
        const char* name;
        View view;
    } kViews[] = {{"iso", View::kIso},      {"front", View::kFront}, {"back", View::kBack},
                  {"left", View::kLeft},    {"right", View::kRight}, {"top", View::kTop},
                  {"bottom", View::kBottom}};
    for (const auto& entry : kViews) {
        if (text == entry.name) {
            *view = entry.view;
            return true;
        }
    }
    return false;
}

bool ParseMode(const std::string& text, Mode* mode) {
    static const struct {
        const char* name;
        Mode mode;
    } kModes[] = {{"shaded", Mode::kShaded},
                  {"normals", Mode::kNormals},
                  {"uv", Mode::kUv},
                  {"wireframe", Mode::kWireframe}};
    for (const auto& entry : kModes) {
        if (text == entry.name) {
            *mode = entry.mode;
            return true;
        }
    }
    return false;
}

bool ParseSize(const std::string& text, int* width, int* height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    int w = 0, h = 0;
    if (!ParseSide(text.substr(0, x), &w) || !ParseSide(text.substr(x + 1), &h)) return false;
    *width = w;
    *height = h;
    return true;
}

}  // namespace kvoview
