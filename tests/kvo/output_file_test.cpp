// A writer's bytes reach the file whole whether they stay in memory (small
// files, one write) or go on in the temporary file (large ones), with the
// back-patching seeks the writers make.
#include "kvo/output_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(OutputFile, SmallAndLargeFilesWithBackPatchesArriveWhole) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kvo_output_file_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (const size_t body : {size_t{100}, size_t{5} << 20, size_t{9} << 20}) {
        SCOPED_TRACE(body);
        const std::string target = (dir / "out.bin").string();
        OutputFile file;
        std::string error;
        ASSERT_TRUE(OpenOutputFile(target, file, error)) << error;
        std::string expected = "HEAD0000";
        for (size_t i = 0; i < body; ++i) expected += static_cast<char>('a' + i % 26);
        ASSERT_EQ(std::fwrite(expected.data(), 1, expected.size(), file.stream), expected.size());
        // Patch the header, as the writers patch lengths, then go on at the end.
        ASSERT_EQ(std::fseek(file.stream, 4, SEEK_SET), 0);
        ASSERT_EQ(std::fwrite("1234", 1, 4, file.stream), 4u);
        ASSERT_EQ(std::fseek(file.stream, 0, SEEK_END), 0);
        ASSERT_EQ(std::fwrite("TAIL", 1, 4, file.stream), 4u);
        expected.replace(4, 4, "1234");
        expected += "TAIL";
        ASSERT_TRUE(CommitOutputFile(file, error)) << error;
        EXPECT_EQ(ReadAll(target), expected);
        size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
            ++entries;
        }
        EXPECT_EQ(entries, 1u);  // no temporary file left
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
