// The side files checked after a lifetime: whole files pass; a missing file,
// a folder or FIFO in the way, a cut last line, a geometry.ini without its
// closing brace or an entry, a log without a written file's line each fail,
// naming the file.
#include "cli/outputs/side_file_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/cli/cli_test_support.h"

namespace {

const char* const kIni =
    "; Geometry file\r\n\r\nobjects\r\n{\r\n\tA\r\n\t{\r\n\t\tfile=A.kvo\r\n\t\tflags=6\r\n"
    "\t}\r\n}\r\n";
const char* const kLog = "Log\r\n\tSuccessfully created KVO 'out/A.kvo'.\r\n\r\n";
const char* const kShader = "; Shader\r\n\r\nshader_A\r\n{\r\n}\r\n\r\n";

TEST(SideFileCheck, CutOrMissingFilesAreNamedWithTheirCause) {
    struct Case {
        const char* name;
        const char* file;
        const char* content;  // nullptr: a folder; "" with fifo: a FIFO
        bool fifo;
        const char* problem;  // "" when whole
    };
    const Case cases[] = {
        {"whole ini", "geometry.ini", kIni, false, ""},
        {"whole log", "kvoexp_log.txt", kLog, false, ""},
        {"whole shader", "kvoexp.shd", kShader, false, ""},
        {"missing", "kvoexp.shd", "", false, "kvoexp.shd: was not written"},
        {"folder", "geometry.ini", nullptr, false, "geometry.ini: is not a regular file"},
        {"fifo", "kvoexp_log.txt", "", true, "kvoexp_log.txt: is not a regular file"},
        {"cut line", "kvoexp.shd", "; Shader\r\n\r\nshader_", false,
         "kvoexp.shd: cut short: its last line is incomplete"},
        {"no brace", "geometry.ini", "; Geometry file\r\n\r\nobjects\r\n{\r\n", false,
         "geometry.ini: cut short: the closing '}' is missing"},
        {"no entry", "geometry.ini", "; Geometry file\r\n\r\nobjects\r\n{\r\n}\r\n", false,
         "geometry.ini: cut short: no entry for A.kvo"},
        {"no line", "kvoexp_log.txt", "Log\r\n", false,
         "kvoexp_log.txt: cut short: no line for A.kvo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clitest::ScratchDir dir;
        const std::string path = dir.Path(c.file);
        if (c.content == nullptr) {
            std::filesystem::create_directory(path);
        } else if (c.fifo) {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        } else if (std::string(c.name) != "missing") {
            clitest::WriteFile(path, c.content);
        }
        const std::vector<std::string> problems =
            kvooutputs::CheckSideFiles({dir.Path(), {c.file}, {dir.Path("A.kvo")}});
        if (*c.problem == '\0') {
            EXPECT_TRUE(problems.empty()) << problems.front();
        } else {
            ASSERT_EQ(problems.size(), 1u);
            EXPECT_EQ(problems[0], c.problem);
        }
    }
}

TEST(SideFileCheck, OnlyTheFilesAskedForAreChecked) {
    clitest::ScratchDir dir;
    EXPECT_TRUE(kvooutputs::CheckSideFiles({dir.Path(), {}, {dir.Path("A.kvo")}}).empty());
    EXPECT_EQ(kvooutputs::CheckSideFiles(
                  {dir.Path(), {"kvoexp.shd", "geometry.ini", "kvoexp_log.txt"}, {}})
                  .size(),
              3u);
}

}  // namespace
