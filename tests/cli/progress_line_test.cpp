// The terminal's progress line: fitted to the width on character boundaries,
// cut with "...", no placeholder texts, nothing unprintable.
#include "cli/program/progress_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kvocli::DisplayWidth;
using kvocli::FitToColumns;
using kvocli::FormatImportingLine;
using kvocli::FormatProgressLine;
using kvocli::ProgressView;

// Whether every byte sequence of the text is whole UTF-8.
bool WholeUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : 4;
        if (i + n > text.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

kvocli::ProgressView View(int percent, const std::string& overall, const std::string& details,
                          const std::string& status) {
    kvocli::ProgressView view;
    view.overallPercent = percent;
    view.overallLabel = overall;
    view.details = details;
    view.status = status;
    return view;
}

kvocli::ProgressView Running(const std::string& file) {
    return View(37, "Total Progress: 37% (1 of 4)", "Status: Geob 1 of 3", "File: " + file);
}

kvocli::ProgressView InScene(const std::string& file, const std::string& scene) {
    kvocli::ProgressView view = Running(file);
    view.sceneNumber = 2;
    view.sceneCount = 12;
    view.scene = scene;
    return view;
}

TEST(ProgressLine, ExactLinesAtTheUsualWidths) {
    struct Case {
        size_t columns;
        kvocli::ProgressView view;
        std::string line;
    };
    const std::string longScene = "levels/forest/a_scene_file_with_a_rather_long_name.fbx";
    const Case cases[] = {
        // Scene k of n and its name, the bar and percentage, the object, the status.
        {200, InScene("out/Grid.kvo", "levels/crate.obj"),
         "scene 2 of 12 crate.obj  [#######-------------] 37%  Grid  Geob 1 of 3"},
        {80, InScene("out/Grid.kvo", "levels/crate.obj"),
         "scene 2 of 12 crate.obj  [#######-------------] 37%  Grid  Geob 1 of 3"},
        {40, InScene("out/Grid.kvo", "levels/crate.obj"),
         "scene 2 of 12 crat...  [###-------] 37%"},
        {200, InScene("out/Tower Antenna.kvo", longScene),
         "scene 2 of 12 a_scene_file_with_a_rather_long_name.fbx  [#######-------------] 37%  "
         "Tower Antenna  Geob 1 of 3"},
        // Narrower: the scene's name is cut to leave the bar its room, then the rest goes.
        {80, InScene("out/Tower Antenna.kvo", longScene),
         "scene 2 of 12 a_scene_file_with_a_rather_long_na...  [#######-------------] 37%"},
        {60, InScene("out/Tower Antenna.kvo", longScene),
         "scene 2 of 12 a_scene_file_with_a...  [#####----------] 37%"},
        {40, InScene("out/Tower Antenna.kvo", longScene),
         "scene 2 of 12 a_sc...  [###-------] 37%"},
        {20, InScene("out/Grid.kvo", longScene), "scene 2 of 12 a_..."},
        // Without a scene number (a single lifetime's view) the bar leads.
        {200, Running("out/Grid.kvo"), "[#######-------------] 37%  Grid  Geob 1 of 3"},
        {40, Running("out/Grid.kvo"), "[###-------] 37%  Grid  Geob 1 of 3"},
        {20, Running("out/Grid.kvo"), "[#----] 37%  Grid"},
        {12, Running("out/Grid.kvo"), "Grid"},
        {4, Running("out/Grid.kvo"), ""},
        {1, Running("out/Grid.kvo"), ""},
        {0, Running("out/Grid.kvo"), ""},
        // The template's texts stay out; an emptied status line too.
        {80, View(0, "<overall progress>", "Status: Preprocess", "<export status>"),
         "[--------------------] 0%  Preprocess"},
        {80, View(100, "Total Progress: 100% (4 of 4)", "Status: Done!", ""),
         "[####################] 100%  Done!"},
        {80, View(0, "<overall progress>", "<details>", "<export status>"),
         "[--------------------] 0%"},
        // Positions outside the bar's range are drawn at its ends.
        {40, View(250, "", "", ""), "[##########] 100%"},
        {40, View(-5, "", "", ""), "[----------] 0%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kvocli::FormatProgressLine(c.view, c.columns), c.line) << c.columns;
    }
}

TEST(ProgressLine, NeverReachesTheMarginWhateverTheNames) {
    const std::string names[] = {
        std::string(300, 'N'),
        "Gr\xc3\xbcn-\xc3\xa9t\xc3\xa9-" + std::string(100, 'x'),  // two-byte characters
        std::string(60, '\xe6'),                                   // broken bytes
        "\xe5\xa1\x94\xe6\x9c\xba" + std::string(50, 'y'),         // wide characters
        "tab\there\x1b[31mred\x7f",
    };
    for (const std::string& name : names) {
        for (size_t columns : {20u, 40u, 80u, 200u}) {
            const std::string line = kvocli::FormatProgressLine(
                InScene("out/" + name + ".kvo", "scenes/" + name + ".obj"), columns);
            EXPECT_LT(kvocli::DisplayWidth(line), columns) << name;
            EXPECT_TRUE(WholeUtf8(line)) << line;
            for (char c : line) {
                EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f) << line;
            }
        }
    }
}

TEST(ProgressLine, CutsOnCharacterBoundaries) {
    struct Case {
        std::string text;
        size_t columns;
        std::string fitted;
    };
    const Case cases[] = {
        {"abcdef", 6, "abcdef"},
        {"abcdefg", 6, "abc..."},
        {"\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f", 4, "\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f"},
        {"\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f!", 4, "\xc3\xa4..."},
        // A wide character that would cross the cut is left out whole.
        {"a\xe5\xa1\x94\xe5\xa1\x94\xe5\xa1\x94", 6, "a\xe5\xa1\x94..."},
        {"\xf0\x9f\x98\x80\xf0\x9f\x98\x80x", 5, "\xf0\x9f\x98\x80\xf0\x9f\x98\x80x"},
        // Unprintable and broken bytes are one '?' each.
        {"a\nb\x1b"
         "c",
         10, "a?b?c"},
        {"\xff\xfe", 10, "??"},
        {"\xe5\xa1", 10, "??"},  // a character cut off at the end
        {"\xc0\xaf", 10, "??"},  // an overlong encoding
        {"abc", 2, ".."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kvocli::FitToColumns(c.text, c.columns), c.fitted) << c.text;
        EXPECT_LE(kvocli::DisplayWidth(kvocli::FitToColumns(c.text, c.columns)), c.columns)
            << c.text;
    }
}

TEST(ProgressLine, ImportingLineFitsToo) {
    EXPECT_EQ(kvocli::FormatImportingLine("scenes/a.glb", 80), "importing scenes/a.glb ...");
    const std::string line = kvocli::FormatImportingLine("/very/long/" + std::string(200, 'p'), 40);
    EXPECT_EQ(kvocli::DisplayWidth(line), 39u);
    EXPECT_EQ(line.substr(line.size() - 3), "...");
}

TEST(ProgressLine, PlaceholdersAreTheTemplateTextsOnly) {
    for (const char* text : {"<export status>", "<details>", "<overall progress>"}) {
        EXPECT_TRUE(kvocli::IsPlaceholder(text)) << text;
    }
    for (const char* text : {"", "File: <export status>", "<export status> ", "<other>"}) {
        EXPECT_FALSE(kvocli::IsPlaceholder(text)) << text;
    }
}

}  // namespace
