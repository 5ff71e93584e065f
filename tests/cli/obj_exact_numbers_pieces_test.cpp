// The OBJ number reader reads in pieces: a vertex line cut by a piece's end,
// a long line of another kind across it, and a file without a last line end
// give the same numbers as one piece would.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/import/obj_exact_numbers.h"
#include "tests/cli/cli_test_support.h"

namespace {

using kvoimport::ObjExactNumbers;

// Whether the reader saw "-2.983590", which the importer rounds one unit off.
bool SawTheNumber(const ObjExactNumbers& exact) {
    const float correct = std::strtof("-2.983590", nullptr);
    return exact.Fix(std::nextafter(correct, INFINITY)) == correct ||
           exact.Fix(std::nextafter(correct, -INFINITY)) == correct;
}

TEST(ObjExactNumbersPieces, LinesAcrossAPiecesEndReadAsWhole) {
    const std::string line = "v -49.713837 -2.983590 1.421121";
    // The vertex line starts this many bytes before the first piece ends.
    for (const size_t before : {size_t{1}, size_t{2}, size_t{14}, size_t{20}, line.size()}) {
        SCOPED_TRACE(before);
        clitest::ScratchDir dir;
        // A comment that fills the piece up to the line's start.
        const std::string filler =
            "#" + std::string(ObjExactNumbers::kChunk - before - 2, 'x') + "\n";
        clitest::WriteFile(dir.Path("a.obj"), filler + line + "\n");
        ObjExactNumbers exact;
        ASSERT_TRUE(exact.Load(dir.Path("a.obj")));
        EXPECT_TRUE(SawTheNumber(exact));
    }
    for (const char* tail : {"", "\n"}) {
        SCOPED_TRACE(std::string("ending '") + tail + "'");
        clitest::ScratchDir dir;
        // A comment longer than a piece that merely mentions a vertex line,
        // then the vertex line, with or without its line end.
        const std::string comment =
            "# " + std::string(ObjExactNumbers::kChunk + 5, 'y') + " v 1 -2.983590\n";
        clitest::WriteFile(dir.Path("b.obj"), comment + line + tail);
        ObjExactNumbers exact;
        ASSERT_TRUE(exact.Load(dir.Path("b.obj")));
        EXPECT_TRUE(SawTheNumber(exact));
    }
    // The same number in a comment only is not read.
    clitest::ScratchDir dir;
    clitest::WriteFile(dir.Path("c.obj"),
                       "# " + std::string(ObjExactNumbers::kChunk, 'z') + " v -2.983590\n");
    ObjExactNumbers exact;
    ASSERT_TRUE(exact.Load(dir.Path("c.obj")));
    EXPECT_FALSE(SawTheNumber(exact));
}

}  // namespace
