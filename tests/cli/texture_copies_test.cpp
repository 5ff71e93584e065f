// Texture copies into an output folder, names of extracted images and the
// list of embedded images an import process sends.
#include "cli/outputs/texture_copies.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "cli/import/embedded_images.h"
#include "cli/import/import_protocol.h"
#include "cli/program/scene_textures.h"
#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::ReadFile;
using clitest::WriteFile;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";

TEST(TextureCopies, SameBytesStayDifferentFilesAreNeverReplaced) {
    clitest::ScratchDir dir("kvo_copies");
    const std::string out = dir.Sub("out");
    for (const char* sub : {"a", "b", "c"}) dir.Sub(sub);
    WriteFile(dir.Path("a/wood.png"), kPng + "A");
    WriteFile(dir.Path("b/wood.png"), kPng + "B");
    WriteFile(dir.Path("c/stone.png"), kPng + "C");
    WriteFile(dir.Path("out/stone.png"), kPng + "C");    // the same bytes already there
    WriteFile(dir.Path("out/grass.png"), kPng + "old");  // someone else's file
    WriteFile(dir.Path("c/grass.png"), kPng + "new");
    ASSERT_EQ(symlink(dir.Path("a/wood.png").c_str(), dir.Path("out/moss.png").c_str()), 0);
    WriteFile(dir.Path("c/moss.png"), kPng + "A");

    kvooutputs::TextureCopies copies;
    const struct {
        std::string source, name, file;
        bool written, renamed;
    } cases[] = {
        {dir.Path("a/wood.png"), "wood.png", "wood.png", true, false},
        {dir.Path("a/wood.png"), "wood.png", "wood.png", true, false},   // once per invocation
        {dir.Path("b/wood.png"), "wood.png", "wood_1.png", true, true},  // taken by a
        {dir.Path("c/stone.png"), "stone.png", "stone.png", false, false},
        {dir.Path("c/grass.png"), "grass.png", "grass_1.png", true, true},
        {dir.Path("c/moss.png"), "moss.png", "moss_1.png", true, true},  // a link is not followed
    };
    for (const auto& c : cases) {
        kvooutputs::TextureCopy copy;
        std::string error;
        ASSERT_TRUE(copies.CopyFile(c.source, out, c.name, copy, error)) << error;
        EXPECT_EQ(copy.name, c.file) << c.source;
        EXPECT_EQ(copy.file, out + "/" + c.file);
        EXPECT_EQ(copy.written, c.written) << c.source;
        EXPECT_EQ(copy.renamed, c.renamed) << c.source;
        EXPECT_EQ(ReadFile(copy.file), ReadFile(c.source)) << c.source;
    }
    EXPECT_EQ(copies.Copies().size(), 5u);
    EXPECT_EQ(ReadFile(dir.Path("out/grass.png")), kPng + "old");
    EXPECT_EQ(fs::read_symlink(dir.Path("out/moss.png")), dir.Path("a/wood.png"));

    // The next run keeps every name: the suffixed copies hold the same bytes.
    kvooutputs::TextureCopies again;
    kvooutputs::TextureCopy copy;
    std::string error;
    ASSERT_TRUE(again.CopyFile(dir.Path("c/grass.png"), out, "grass.png", copy, error));
    EXPECT_EQ(copy.name, "grass_1.png");
    EXPECT_FALSE(copy.written);
    EXPECT_FALSE(again.CopyFile(dir.Path("none.png"), out, "none.png", copy, error));
    EXPECT_NE(error.find("none.png"), std::string::npos);
}

TEST(TextureCopies, SuffixedAndExtractedNames) {
    EXPECT_EQ(kvooutputs::SuffixedName("wood.jpg", 1), "wood_1.jpg");
    EXPECT_EQ(kvooutputs::SuffixedName("a.b.png", 12), "a.b_12.png");
    EXPECT_EQ(kvooutputs::SuffixedName("plain", 2), "plain_2");
    EXPECT_EQ(kvooutputs::SuffixedName(".hidden", 3), ".hidden_3");
    const struct {
        std::string reference, name, expected;
    } cases[] = {
        {"*0", "", "truck_0.png"},
        {"*12", "", "truck_12.png"},
        {"*0", "Body Paint.jpg", "truck_Body_Paint.png"},
        {"images/../../evil.png", "", "truck_evil.png"},
        {"*0", "../../etc/x", "truck_x.png"},
        {"*", "", "truck_image.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kvocli::ExtractedName("/m/truck.glb", {c.reference, c.name, {}}, "png"),
                  c.expected)
            << c.reference << " " << c.name;
    }
}

TEST(EmbeddedImages, EncodedLayoutRoundTripsAndEveryCutIsRefused) {
    const std::vector<kvoimport::EmbeddedImage> images = {{"*0", "a", {1, 2}}, {"*1", "", {}}};
    const std::vector<uint8_t> bytes = kvoimport::EncodeEmbeddedImages(images);
    const std::vector<uint8_t> expected = {2,   0, 0, 0, '*', '0', 1, 0, 0, 0, 'a', 2, 0,
                                           0,   0, 0, 0, 0,   0,   1, 2, 2, 0, 0,   0, '*',
                                           '1', 0, 0, 0, 0,   0,   0, 0, 0, 0, 0,   0, 0};
    EXPECT_EQ(bytes, expected);
    std::vector<kvoimport::EmbeddedImage> decoded;
    std::string error;
    ASSERT_TRUE(kvoimport::DecodeEmbeddedImages(bytes.data(), bytes.size(), decoded, error));
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].reference, "*0");
    EXPECT_EQ(decoded[0].name, "a");
    EXPECT_EQ(decoded[0].bytes, (std::vector<uint8_t>{1, 2}));
    EXPECT_TRUE(decoded[1].bytes.empty());
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        if (cut == 21) continue;  // the first image ends here: a whole list of one
        EXPECT_FALSE(kvoimport::DecodeEmbeddedImages(bytes.data(), cut, decoded, error)) << cut;
    }
    std::vector<uint8_t> huge = bytes;
    huge[11] = 0xff;  // a byte count past the end
    huge[18] = 0x7f;
    EXPECT_FALSE(kvoimport::DecodeEmbeddedImages(huge.data(), huge.size(), decoded, error));
    const std::vector<uint8_t> noReference = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(
        kvoimport::DecodeEmbeddedImages(noReference.data(), noReference.size(), decoded, error));
}

// Feeds `bytes` to a reply reader in one go; its refusal, or "" when complete.
std::string ReadReply(const std::vector<uint8_t>& bytes) {
    kvoimport::ReplyReader reader(1 << 20);
    size_t at = 0;
    while (at < bytes.size()) {
        size_t room = 0;
        uint8_t* space = reader.Space(room);
        if (space == nullptr) break;
        const size_t n = std::min(room, bytes.size() - at);
        std::copy_n(bytes.data() + at, n, space);
        reader.Took(n);
        at += n;
    }
    return reader.Complete() ? "" : reader.Refusal().empty() ? "incomplete" : reader.Refusal();
}

std::vector<uint8_t> Answer(uint8_t kind, const std::vector<uint8_t>& body) {
    const kvoimport::AnswerHead head = kvoimport::MakeAnswerHead(kind, body.size());
    std::vector<uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

TEST(EmbeddedImages, TravelBetweenTheFilesReadAndTheSceneOnly) {
    const std::vector<uint8_t> files = Answer(kvoimport::kFilesFollow, {});
    const std::vector<uint8_t> images =
        Answer(kvoimport::kImagesFollow, kvoimport::EncodeEmbeddedImages({{"*0", "", {1, 2, 3}}}));
    const std::vector<uint8_t> scene = Answer(kvoimport::kSceneFollows, {0});
    const auto cat = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> out;
        for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
        return out;
    };
    EXPECT_EQ(ReadReply(cat({files, scene})), "");
    EXPECT_EQ(ReadReply(cat({files, images, scene})), "");
    EXPECT_NE(ReadReply(cat({images, files, scene})), "");
    EXPECT_NE(ReadReply(cat({files, images, images, scene})), "");
    std::vector<uint8_t> damaged = images;
    damaged.resize(damaged.size() - 1);
    damaged[1] -= 1;  // the announced length agrees with the cut body
    EXPECT_NE(ReadReply(cat({files, damaged, scene})), "");

    kvoimport::ReplyReader reader(1 << 20);
    const std::vector<uint8_t> whole = cat({files, images, scene});
    size_t room = 0;
    for (uint8_t byte : whole) {  // a byte at a time
        *reader.Space(room) = byte;
        reader.Took(1);
    }
    ASSERT_TRUE(reader.Complete());
    const std::vector<kvoimport::EmbeddedImage> got = reader.TakeEmbeddedImages();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
