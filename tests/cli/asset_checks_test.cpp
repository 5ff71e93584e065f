// Budgets and warning control: image headers read from byte vectors (whole,
// cut short and corrupted), each budget at, below and above its limit, and the
// code lists of --error-on and --ignore.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "cli/checks/budgets.h"
#include "cli/checks/image_size.h"
#include "cli/checks/warning_codes.h"
#include "cli/checks/warning_policy.h"
#include "tests/cli/cli_test_support.h"

namespace {

using clitest::Code;

using Bytes = std::vector<uint8_t>;
using kvochecks::ImageSize;
using kvochecks::WarningCode;

Bytes Png(uint32_t w, uint32_t h) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h}) {
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
    }
    b.insert(b.end(), {8, 6, 0, 0, 0});
    return b;
}

// SOI, an APP0 segment of 16 bytes, then a baseline frame header.
Bytes Jpeg(uint16_t w, uint16_t h, uint8_t frame = 0xc0) {
    Bytes b = {0xff, 0xd8, 0xff, 0xe0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    b.insert(b.end(), {0xff, frame, 0, 17, 8, static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h),
                       static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w), 3});
    return b;
}

Bytes Bmp(int32_t w, int32_t h) {
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    b[14] = 40;
    for (int i = 0; i < 4; ++i) {
        b[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * i));
        b[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(h) >> (8 * i));
    }
    return b;
}

Bytes Tga(uint16_t w, uint16_t h) {
    Bytes b(18, 0);
    b[2] = 2;
    b[12] = static_cast<uint8_t>(w);
    b[13] = static_cast<uint8_t>(w >> 8);
    b[14] = static_cast<uint8_t>(h);
    b[15] = static_cast<uint8_t>(h >> 8);
    return b;
}

TEST(ImageSize, HeadersOfEachFormat) {
    struct Case {
        const char* what;
        Bytes bytes;
        bool tga;
        bool ok;
        uint32_t width, height;
    };
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0x00, 0x04, 0x00, 0x02};
    Bytes dds(128, 0);
    dds[0] = 'D', dds[1] = 'D', dds[2] = 'S', dds[3] = ' ';
    dds[12] = 0x00, dds[13] = 0x02;  // height 512
    dds[16] = 0x00, dds[17] = 0x08;  // width 2048
    Bytes jpegWithFill = Jpeg(640, 480);
    jpegWithFill.insert(jpegWithFill.begin() + 20, 0xff);  // a fill byte before the frame
    const Case cases[] = {
        {"png", Png(4096, 1024), false, true, 4096, 1024},
        {"jpeg", Jpeg(1920, 1080), false, true, 1920, 1080},
        {"progressive jpeg", Jpeg(300, 200, 0xc2), false, true, 300, 200},
        {"jpeg with a fill byte", jpegWithFill, false, true, 640, 480},
        {"bmp", Bmp(256, 128), false, true, 256, 128},
        {"top-down bmp", Bmp(256, -128), false, true, 256, 128},
        {"gif", gif, false, true, 1024, 512},
        {"dds", dds, false, true, 2048, 512},
        {"tga", Tga(2048, 2048), true, true, 2048, 2048},
        {"tga bytes without the extension", Tga(2048, 2048), false, false, 0, 0},
        // Corrupted: zero sizes, a wrong chunk, a huffman table taken for a frame.
        {"png of zero width", Png(0, 16), false, false, 0, 0},
        {"png without IHDR first",
         [] {
             Bytes b = Png(16, 16);
             b[12] = 'I', b[13] = 'D', b[14] = 'A', b[15] = 'T';
             return b;
         }(),
         false, false, 0, 0},
        {"jpeg whose only 'frame' is a DHT", Jpeg(16, 16, 0xc4), false, false, 0, 0},
        {"jpeg with a segment length of 1",
         [] {
             Bytes b = Jpeg(16, 16);
             b[5] = 1;
             return b;
         }(),
         false, false, 0, 0},
        {"bmp with a negative width", Bmp(-5, 5), false, false, 0, 0},
        {"tga of an unknown type",
         [] {
             Bytes b = Tga(8, 8);
             b[2] = 7;
             return b;
         }(),
         true, false, 0, 0},
        {"nothing", {}, true, false, 0, 0},
        {"text", {'h', 'e', 'l', 'l', 'o'}, false, false, 0, 0},
    };
    for (const Case& c : cases) {
        ImageSize size;
        EXPECT_EQ(kvochecks::ImageSizeFromBytes(c.bytes.data(), c.bytes.size(), c.tga, size), c.ok)
            << c.what;
        if (c.ok) {
            EXPECT_EQ(size.width, c.width) << c.what;
            EXPECT_EQ(size.height, c.height) << c.what;
        }
    }
}

TEST(ImageSize, EveryTruncationOfAValidHeaderIsRefused) {
    for (const Bytes& whole : {Png(64, 64), Jpeg(64, 64), Bmp(64, 64)}) {
        // Each header's size fields end at its last needed byte.
        const size_t needed = whole == Png(64, 64) ? 24 : whole == Bmp(64, 64) ? 26 : 29;
        for (size_t n = 0; n < needed; ++n) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(n));
            ImageSize size;
            EXPECT_FALSE(kvochecks::ImageSizeFromBytes(cut.data(), cut.size(), false, size)) << n;
        }
    }
}

TEST(ImageSize, ReadsTheFileAndTgaByItsExtension) {
    clitest::ScratchDir scratch("image_size");
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream(scratch.Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return scratch.Path(name);
    };
    ImageSize size;
    ASSERT_TRUE(kvochecks::ReadImageSize(write("a.TGA", Tga(300, 100)), size));
    EXPECT_EQ(size.width, 300u);
    EXPECT_FALSE(kvochecks::ReadImageSize(write("a.bin", Tga(300, 100)), size));
    EXPECT_FALSE(kvochecks::ReadImageSize(scratch.Path("missing.png"), size));
}

kvochecks::NodeReport Written(uint64_t triangles, uint64_t vertices, uint64_t bytes) {
    kvochecks::NodeReport node;
    node.name = "Prop";
    node.kind = "geometry";
    node.written = true;
    node.trianglesOut = triangles;
    node.vertices = vertices;
    node.bytes = bytes;
    return node;
}

std::vector<WarningCode> Codes(const std::vector<kvochecks::ExportWarning>& warnings) {
    std::vector<WarningCode> codes;
    for (const auto& w : warnings) codes.push_back(w.code);
    return codes;
}

TEST(Budgets, EachLimitAtBelowAndAbove) {
    kvochecks::Budgets budgets;
    budgets.maxTriangles = 1000;
    budgets.maxVertices = 600;
    budgets.maxFileBytes = 40000;
    struct Case {
        uint64_t triangles, vertices, bytes;
        std::vector<WarningCode> codes;
    };
    const Case cases[] = {
        {999, 599, 39999, {}},
        {1000, 600, 40000, {}},
        {1001, 600, 40000, {WarningCode::kTrianglesOverBudget}},
        {1000, 601, 40000, {WarningCode::kVerticesOverBudget}},
        {1000, 600, 40001, {WarningCode::kFileBytesOverBudget}},
        {2000000,
         1000000,
         1u << 30,
         {WarningCode::kTrianglesOverBudget, WarningCode::kVerticesOverBudget,
          WarningCode::kFileBytesOverBudget}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            Codes(kvochecks::CheckFileBudgets(Written(c.triangles, c.vertices, c.bytes), budgets)),
            c.codes)
            << c.triangles << " " << c.vertices << " " << c.bytes;
    }
    const auto over = kvochecks::CheckFileBudgets(Written(2000000, 1, 1), budgets);
    ASSERT_EQ(over.size(), 1u);
    EXPECT_EQ(over[0].text, "'Prop': 2000000 triangles, over the budget of 1000 (--max-triangles)");
    EXPECT_EQ(over[0].node, "Prop");
    // No limits, or a node that was not written: nothing.
    EXPECT_TRUE(kvochecks::CheckFileBudgets(Written(5, 5, 5), kvochecks::Budgets()).empty());
    kvochecks::NodeReport unwritten = Written(5000, 5000, 50000);
    unwritten.written = false;
    EXPECT_TRUE(kvochecks::CheckFileBudgets(unwritten, budgets).empty());
}

TEST(Budgets, TexturesOverTheSizeNamedOncePerFile) {
    clitest::ScratchDir scratch("texture_budget");
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream(scratch.Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return scratch.Path(name);
    };
    kvochecks::NodeReport node = Written(1, 3, 100);
    const auto group = [](const std::string& path, bool found) {
        kvochecks::MaterialGroup g;
        g.material.resolvedPath = path;
        g.material.found = found;
        return g;
    };
    node.groups = {group(write("at.png", Png(1024, 1024)), true),
                   group(write("wide.png", Png(1025, 16)), true),
                   group(write("tall.jpg", Jpeg(16, 2048)), true),
                   group(scratch.Path("wide.png"), true),                  // the same file again
                   group(scratch.Path("gone.png"), false),                 // not found
                   group(write("junk.png", {'n', 'o', 'p', 'e'}), true)};  // unreadable header
    kvochecks::Budgets budgets;
    budgets.maxTextureSize = 1024;
    std::set<std::string> seen;
    const auto warnings = kvochecks::CheckTextureBudget(node, budgets, seen);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].code, WarningCode::kTextureOverBudget);
    EXPECT_NE(warnings[0].text.find("wide.png of 'Prop' is 1025x16, over the budget of 1024"),
              std::string::npos)
        << warnings[0].text;
    EXPECT_NE(warnings[1].text.find("is 16x2048"), std::string::npos) << warnings[1].text;
    // A second node naming the same textures is not warned about again.
    EXPECT_TRUE(kvochecks::CheckTextureBudget(node, budgets, seen).empty());
}

TEST(WarningPolicy, CodeListsAreCheckedAgainstTheTable) {
    struct Case {
        std::vector<std::string> names;
        bool ok;
        std::vector<WarningCode> codes;
    };
    const Case cases[] = {
        {{Code(WarningCode::kTextureMissing)}, true, {WarningCode::kTextureMissing}},
        {{"texture_missing,triangles_over_budget", Code(WarningCode::kBelowRoot)},
         true,
         {WarningCode::kTextureMissing, WarningCode::kTrianglesOverBudget,
          WarningCode::kBelowRoot}},
        {{"texture_missing,,"}, true, {WarningCode::kTextureMissing}},
        {{""}, true, {}},
        {{"texture_missing,bogus"}, false, {}},
        {{"Texture_Missing"}, false, {}},
        {{" texture_missing"}, false, {}},
    };
    for (const Case& c : cases) {
        std::vector<WarningCode> codes;
        std::string error;
        EXPECT_EQ(kvochecks::ParseCodeNames(c.names, codes, error), c.ok) << c.names[0];
        if (c.ok) {
            EXPECT_EQ(codes, c.codes) << c.names[0];
        } else {
            EXPECT_NE(error.find("unknown warning code"), std::string::npos) << error;
        }
    }
    kvochecks::WarningPolicy policy;
    policy.MakeError(WarningCode::kTrianglesOverBudget);
    policy.Ignore(WarningCode::kTextureMissing);
    EXPECT_TRUE(policy.IsError(WarningCode::kTrianglesOverBudget));
    EXPECT_FALSE(policy.IsError(WarningCode::kTextureMissing));
    EXPECT_TRUE(policy.IsIgnored(WarningCode::kTextureMissing));
    EXPECT_FALSE(policy.IsIgnored(WarningCode::kTextureOverBudget));
}

}  // namespace
