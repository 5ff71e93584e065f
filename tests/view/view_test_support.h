// Helpers of the view tests: scratch folders, KVO files built from simple
// meshes, texture files, pixel probes and running the `kvo` tool.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "view/image.h"

namespace viewtest {

// A fresh folder per test, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string Path(const std::string& relative = "") const;

private:
    std::filesystem::path root_;
};

// One geob's streams and its material, before they become a file.
struct TestMesh {
    std::vector<float> positions;  // 3 per vertex
    std::vector<float> normals;    // 3 per vertex or empty
    std::vector<float> texCoords;  // 2 per vertex or empty
    std::vector<uint16_t> indices;
    std::string materialName = "material";
    float diffuse[3] = {0.8f, 0.8f, 0.8f};
    std::string texture;  // "" for none
};

// The square [-1, 1]^2 at z = 0 facing +Z, uv (0, 0) at its lower left.
TestMesh Quad(const std::string& texture = "");
// The cube [-1, 1]^3 with one outward normal per face, 24 vertices.
TestMesh Cube();

// Saves the meshes as one KVO file, one geob and one material each.
void WriteKvo(const std::string& path, const std::vector<TestMesh>& meshes);

// Writes a PNG of w x h whose top half is `top` and bottom half `bottom`.
void WriteTexture(const std::string& path, int w, int h, std::array<uint8_t, 3> top,
                  std::array<uint8_t, 3> bottom);

using Rgb = std::array<int, 3>;
Rgb PixelAt(const kvoview::Image& image, int x, int y);

// Bounds of the pixels that differ from the corner pixel (the background).
struct Box {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // inclusive; empty when x1 < x0
    int Width() const { return x1 - x0 + 1; }
    int Height() const { return y1 - y0 + 1; }
};
Box ForegroundBox(const kvoview::Image& image);

// The pixel at fractions (fx, fy) of `box`, from its left and top edges.
Rgb PixelIn(const kvoview::Image& image, const Box& box, double fx, double fy);

// |a - b| <= tolerance in every channel.
bool Near(const Rgb& a, const Rgb& b, int tolerance);
std::string Text(const Rgb& c);

// Runs `program` with `args`, its standard output discarded.
struct ProcessResult {
    int exitCode = -1;  // -1: did not exit normally
    std::string err;
};
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args);

std::string KvoTool();
std::string ReadFile(const std::string& path);

}  // namespace viewtest
