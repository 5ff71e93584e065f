// The pieces behind the console host's warnings and report: names made
// printable, letter-case collisions, texture lookup and the file digest.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/checks/file_digest.h"
#include "cli/checks/printable_text.h"
#include "cli/checks/scene_checks.h"
#include "cli/checks/written_files.h"
#include "tests/cli/cli_test_support.h"

namespace {

TEST(PrintableText, KeepsUtf8AndEscapesEverythingThatMovesTheTerminal) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"Crate - Wood", "Crate - Wood"},
        {"W\xc3\xbcrfel \xe6\x9c\xa8 \xf0\x9f\x99\x82",
         "W\xc3\xbcrfel \xe6\x9c\xa8 \xf0\x9f\x99\x82"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {"tab\there\nline\x7f", "tab\\x09here\\x0aline\\x7f"},
        {"\xc2\x9b"
         "c1",
         "\\xc2\\x9bc1"},                              // U+009B, the 8-bit CSI
        {"T\xfcr", "T\\xfcr"},                         // Latin-1, not UTF-8
        {"\xc3", "\\xc3"},                             // cut sequence
        {"\xc0\xaf", "\\xc0\\xaf"},                    // overlong '/'
        {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},           // overlong '/' in three bytes
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},           // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},  // past U+10FFFF
    };
    for (const auto& c : cases) EXPECT_EQ(kvochecks::PrintableText(c.in), c.out) << c.out;
    EXPECT_TRUE(kvochecks::HasControlCharacter(std::string("a\0", 2)));
    EXPECT_FALSE(kvochecks::HasControlCharacter("W\xc3\xbcrfel"));
}

TEST(WrittenFiles, TellsTheSameFileAndNamesThatDifferOnlyInCase) {
    kvochecks::WrittenFiles files;
    EXPECT_TRUE(files.Record("out/Crate.kvo", "first", "s.gltf").writer.empty());
    EXPECT_TRUE(files.Record("out/Rock.kvo", "rock", "s.gltf").writer.empty());
    const kvochecks::EarlierWrite again = files.Record("out/Crate.kvo", "second", "s.gltf");
    EXPECT_EQ(again.writer, "first");
    EXPECT_EQ(again.path, "out/Crate.kvo");
    const kvochecks::EarlierWrite folded = files.Record("out/crate.kvo", "third", "s.gltf");
    EXPECT_EQ(folded.writer, "second");
    EXPECT_EQ(folded.path, "out/Crate.kvo");
}

TEST(FileDigest, Sha256OfKnownBytesAndOfAFile) {
    EXPECT_EQ(kvochecks::Sha256Hex("abc", 3),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(kvochecks::Sha256Hex("", 0),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    clitest::ScratchDir dir("kvoexp_digest");
    clitest::WriteFile(dir.Path("abc"), "abc");
    kvochecks::FileBytes bytes;
    std::string sha, error;
    ASSERT_TRUE(kvochecks::ReadAndDigestFile(dir.Path("abc"), bytes, &sha, error)) << error;
    EXPECT_EQ(std::string(bytes.data.get(), bytes.data.get() + bytes.size), "abc");
    EXPECT_EQ(sha, kvochecks::Sha256Hex("abc", 3));
    // Without a digest asked for, the bytes alone.
    ASSERT_TRUE(kvochecks::ReadAndDigestFile(dir.Path("abc"), bytes, nullptr, error)) << error;
    EXPECT_EQ(std::string(bytes.data.get(), bytes.data.get() + bytes.size), "abc");
    // An empty file has the empty digest; a missing one and a directory fail.
    clitest::WriteFile(dir.Path("empty"), "");
    ASSERT_TRUE(kvochecks::ReadAndDigestFile(dir.Path("empty"), bytes, &sha, error)) << error;
    EXPECT_EQ(bytes.size, 0u);
    EXPECT_EQ(sha, kvochecks::Sha256Hex("", 0));
    for (const char* name : {"none", "."}) {
        error.clear();
        EXPECT_FALSE(kvochecks::ReadAndDigestFile(dir.Path(name), bytes, &sha, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}

}  // namespace
