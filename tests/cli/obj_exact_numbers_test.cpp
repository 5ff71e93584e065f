#include "cli/import/obj_exact_numbers.h"

#include <assimp/fast_atof.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/cli/cli_test_support.h"

namespace {

using kvoimport::ObjExactNumbers;

struct NotANumber {
    template <class... Args>
    explicit NotANumber(Args&&...) {}
};

// What the importer's OBJ reader makes of a number.
float ImportersValue(const char* text) {
    float value = 0;
    Assimp::fast_atoreal_move<float, NotANumber>(text, value);
    return value;
}

TEST(ObjExactNumbers, MapsTheImportersValueToTheCorrectlyRoundedOne) {
    clitest::ScratchDir dir;
    // Texts the importer's routine rounds one unit off (seen in spider.obj).
    clitest::WriteFile(dir.Path("a.obj"),
                       "# v 1 2 3\nv -49.713837 -2.983590 1.421121\r\n  v\t11.887197 0 1\n"
                       "vn -2.98359 0 1\nvt 0.5 0.25\nf 1 1 1\nvertex 7.7\nv 1 2 3");
    kvoimport::ObjExactNumbers exact;
    ASSERT_TRUE(exact.Load(dir.Path("a.obj")));
    ASSERT_FALSE(exact.Empty());
    for (const char* text : {"-2.983590", "11.887197"}) {
        const float correct = std::strtof(text, nullptr);
        // The importer gives a neighbour of the correct value.
        EXPECT_TRUE(exact.Fix(std::nextafter(correct, INFINITY)) == correct ||
                    exact.Fix(std::nextafter(correct, -INFINITY)) == correct)
            << text;
        EXPECT_EQ(exact.Fix(correct), correct) << text;
    }
    EXPECT_EQ(exact.Fix(0.5f), 0.5f);
    EXPECT_EQ(exact.Fix(123.0f), 123.0f);
}

TEST(ObjExactNumbers, LeavesAValueAloneWhenTwoTextsDisagreeAboutIt) {
    // "-2.983590" comes out one unit off; the full digits of that wrong value
    // are a second text that (checked below) the importer reads as the same
    // value, but whose correctly rounded value is that value itself.
    const float fast = ImportersValue("-2.983590");
    const float correct = std::strtof("-2.983590", nullptr);
    ASSERT_NE(fast, correct);
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.9g", fast);
    ASSERT_EQ(ImportersValue(digits), fast);
    ASSERT_EQ(std::strtof(digits, nullptr), fast);

    kvoimport::ObjExactNumbers one;
    one.AddNumber("-2.983590", 9);
    EXPECT_EQ(one.Fix(fast), correct);
    kvoimport::ObjExactNumbers both;
    both.AddNumber("-2.983590", 9);
    both.AddNumber(digits, std::strlen(digits));
    EXPECT_EQ(both.Fix(fast), fast);
}

TEST(ObjExactNumbers, IgnoresWhatIsNotANumberAndMissingFiles) {
    kvoimport::ObjExactNumbers exact;
    exact.AddNumber("abc", 3);
    exact.AddNumber("", 0);
    exact.AddNumber("-", 1);
    EXPECT_TRUE(exact.Empty());
    EXPECT_FALSE(exact.Load("/nonexistent/file.obj"));
    EXPECT_TRUE(kvoimport::IsObjPath("a/B.OBJ"));
    EXPECT_FALSE(kvoimport::IsObjPath("a.objx"));
}

}  // namespace
