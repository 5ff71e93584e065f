// The settings file: reading its nine lines with every oddity the format
// allows, writing it whole, and failing without touching the old file.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/max/path_separator.h"
#include "tests/plugin/plugin_test_support.h"

namespace {

using plugin_test::ReadBytes;
using plugin_test::WriteBytes;

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        ip.SetPluginConfigDir(dir.Path());
        exporter.ip = &ip;
    }
    void TearDown() override { exporter.ip = nullptr; }
    std::string ConfigFile() const { return dir.Path() + kPathSeparator + "kvoexp.cfg"; }
    // The flags in file order as "0"/"1" characters.
    std::string Flags() const {
        const ExportOptions& o = exporter.options;
        std::string out;
        for (bool f : {o.localize, o.optimize, o.exportNormals, o.upNormals, o.exportVertexColors,
                       o.generateShader, o.generateGeometry, o.generateLog}) {
            out += f ? '1' : '0';
        }
        return out;
    }
    void SetFlags(const std::string& bits) {
        ExportOptions& o = exporter.options;
        bool* flags[] = {&o.localize,         &o.optimize,           &o.exportNormals,
                         &o.upNormals,        &o.exportVertexColors, &o.generateShader,
                         &o.generateGeometry, &o.generateLog};
        for (size_t i = 0; i < 8; ++i) *flags[i] = bits[i] == '1';
    }

    plugin_test::ScratchDir dir;
    Interface ip;
    KVOExporter exporter;
};

TEST_F(Settings, ConstructionGivesTheDefaults) {
    KVOExporter fresh;
    EXPECT_EQ(fresh.iu, nullptr);
    EXPECT_EQ(fresh.ip, nullptr);
    for (HWND h : {fresh.hOutputPage, fresh.hOptionsPage, fresh.hAboutPage, fresh.hProgressDlg,
                   fresh.hObjectBar, fresh.hStatusText, fresh.hOverallBar, fresh.hOverallText}) {
        EXPECT_EQ(h, nullptr);
    }
    EXPECT_FALSE(fresh.running);
    EXPECT_EQ(fresh.objectCount + fresh.objectsDone + fresh.objectSteps + fresh.objectExtraSteps +
                  fresh.objectStepsDone,
              0u);
    EXPECT_TRUE(fresh.preparedNodes.empty());
    ASSERT_NE(fresh.outputDir, nullptr);
    EXPECT_EQ(std::memcmp(fresh.outputDir, std::string(KVOExporter::kOutputDirSize, '\0').data(),
                          KVOExporter::kOutputDirSize),
              0);
    const ExportOptions& o = fresh.GetOptions();
    EXPECT_EQ(std::string() + (o.localize ? '1' : '0') + (o.optimize ? '1' : '0') +
                  (o.exportNormals ? '1' : '0') + (o.upNormals ? '1' : '0') +
                  (o.exportVertexColors ? '1' : '0') + (o.generateShader ? '1' : '0') +
                  (o.generateGeometry ? '1' : '0') + (o.generateLog ? '1' : '0'),
              "01100000");
}

TEST_F(Settings, MissingFileOrNoInterfaceChangesNothing) {
    std::strcpy(exporter.outputDir, "kept");
    SetFlags("10101010");
    exporter.ReadSettings();
    EXPECT_STREQ(exporter.outputDir, "kept");
    EXPECT_EQ(Flags(), "10101010");

    WriteBytes(ConfigFile(), "other\n0\n0\n0\n0\n0\n0\n0\n0\n");
    exporter.ip = nullptr;
    EXPECT_EQ(exporter.GetSettingsFile("r"), nullptr);
    exporter.ReadSettings();
    EXPECT_STREQ(exporter.outputDir, "kept");
    exporter.SaveSettings();
    EXPECT_EQ(ReadBytes(ConfigFile()), "other\n0\n0\n0\n0\n0\n0\n0\n0\n");
}

TEST_F(Settings, ReadsEachLineAsTheFormatSays) {
    const std::string longDir(260, 'd');
    struct Case {
        const char* name;
        std::string file;
        std::string dir;    // expected outputDir
        std::string flags;  // expected, from "10101010" before the read
    };
    const Case cases[] = {
        {"empty file", "", "before", "10101010"},
        {"only the directory", "/only/dir\n", "/only/dir", "10101010"},
        {"directory without line feed", "/no/newline", "/no/newline", "10101010"},
        {"empty directory line", "\n", "", "10101010"},
        {"all nine lines", "/out\n0\n1\n1\n0\n0\n0\n0\n0\n", "/out", "01100000"},
        {"true, blank-one and empty read as false", "/d\ntrue\n 1\n\n1\n1\n1\n1\n1\n", "/d",
         "00011111"},
        {"a leading 1 is enough", "/d\n1abc\n10\n1 \n0\n0\n0\n0\n0\n", "/d", "11100000"},
        {"missing lines keep their flags", "/d\n0\n0\n", "/d", "00101010"},
        {"lines after the ninth are ignored", "/d\n1\n1\n1\n1\n1\n1\n1\n1\n0\n0\n", "/d",
         "11111111"},
        // 260 characters fill one read; the rest of that line is the Localize line.
        {"first line longer than 260", longDir + "1tail\n1\n0\n0\n0\n0\n0\n0\n1\n", longDir,
         "11000000"},
        {"a line of exactly 260", longDir + "\n1\n1\n1\n1\n1\n1\n1\n1\n", longDir, "01111111"},
        {"CR LF line ends", "C:\\Export\r\n0\r\n1\r\n1\r\n0\r\n0\r\n0\r\n0\r\n1\r\n", "C:\\Export",
         "01100001"},
        {"CR LF after 259 characters",
         std::string(259, 'e') + "\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n",
         std::string(259, 'e'), "10000000"},
        {"a lone CR stays in the line", "a\rb\n0\n", "a\rb", "00101010"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::strcpy(exporter.outputDir, "before");
        SetFlags("10101010");
        WriteBytes(ConfigFile(), c.file);
        exporter.ReadSettings();
        EXPECT_EQ(std::string(exporter.outputDir), c.dir);
        EXPECT_EQ(Flags(), c.flags);
    }
}

TEST_F(Settings, AShorterDirectoryLeavesNoTraceOfALongerOne) {
    WriteBytes(ConfigFile(), std::string(200, 'L') + "\n");
    exporter.ReadSettings();
    WriteBytes(ConfigFile(), "short\n");
    exporter.ReadSettings();
    std::string expected(KVOExporter::kOutputDirSize, '\0');
    expected.replace(0, 5, "short");
    EXPECT_EQ(std::string(exporter.outputDir, KVOExporter::kOutputDirSize), expected);
}

TEST_F(Settings, SavesNineLinesAndReplacesTheFileWhole) {
    WriteBytes(ConfigFile(), std::string(1000, 'x'));
    std::strcpy(exporter.outputDir, "C:\\Export");
    exporter.SaveSettings();
    // Written in text mode: on Windows each line feed is stored as CR LF.
#ifdef _WIN32
    const std::string lineEnd = "\r\n";
#else
    const std::string lineEnd = "\n";
#endif
    std::string expected;
    for (const char* line : {"C:\\Export", "0", "1", "1", "0", "0", "0", "0", "0"}) {
        expected += line + lineEnd;
    }
    EXPECT_EQ(ReadBytes(ConfigFile()), expected);
    EXPECT_FALSE(std::filesystem::exists(ConfigFile() + ".tmp"));

    // What was saved reads back the same.
    SetFlags("10011010");
    std::strcpy(exporter.outputDir, "/round/trip");
    exporter.SaveSettings();
    KVOExporter other;
    other.ip = &ip;
    other.ReadSettings();
    EXPECT_STREQ(other.outputDir, "/round/trip");
    const ExportOptions& o = other.options;
    EXPECT_TRUE(o.localize && !o.optimize && !o.exportNormals && o.upNormals &&
                o.exportVertexColors && !o.generateShader && o.generateGeometry && !o.generateLog);
}

TEST_F(Settings, AFailedWriteLeavesTheOldFileUntouched) {
    const std::string old = "/old\n1\n1\n1\n1\n1\n1\n1\n1\n";
    WriteBytes(ConfigFile(), old);
    // The temporary file cannot be created where a directory of its name is.
    std::filesystem::create_directory(ConfigFile() + ".tmp");
    std::strcpy(exporter.outputDir, "/new");
    exporter.SaveSettings();
    EXPECT_EQ(ReadBytes(ConfigFile()), old);

    // A configuration directory that does not exist: nothing is written anywhere.
    ip.SetPluginConfigDir((dir.Root() / "missing").string());
    exporter.SaveSettings();
    EXPECT_FALSE(std::filesystem::exists(dir.Root() / "missing"));
}

}  // namespace
