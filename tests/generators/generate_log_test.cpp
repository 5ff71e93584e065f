#include "generators/generate_log.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "generators/generate_geometry.h"
#include "generators/generate_shader.h"
#include "tests/generators/generator_files.h"

namespace {

const char kLogHeader[] = "Valdrin KVO Exporter Log\r\n======================\r\n";

// A generator without header, to see Print's bytes alone.
class BareLogger : public ILogger {
protected:
    void WriteHeader() override {}
};

TEST(GenerateLog, HeaderBytesArePinned) {
    ScratchDir dir;
    const std::string path = dir.Path("kvoexp_log.txt");
    {
        GenerateLog log;
        log.Open(path);
    }
    const std::vector<unsigned char> expected = {
        'V', 'a', 'l', 'd', 'r', 'i', 'n', ' ',  'K',  'V', 'O', ' ', 'E', 'x', 'p',  'o', 'r',
        't', 'e', 'r', ' ', 'L', 'o', 'g', 0x0D, 0x0A, '=', '=', '=', '=', '=', '=',  '=', '=',
        '=', '=', '=', '=', '=', '=', '=', '=',  '=',  '=', '=', '=', '=', '=', 0x0D, 0x0A};
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(bytes.find(std::string(22, '=') + "\r\n"), 26u);
    EXPECT_EQ(bytes.find(std::string(23, '=')), std::string::npos);
}

TEST(GenerateLog, FirstRunExportingBox01) {
    ScratchDir dir;
    const std::string path = dir.Path("kvoexp_log.txt");
    GenerateLog log;
    log.Open(path);
    // The lines a run prints for one node, in the pipeline's order.
    log.Print("Output directory:  %s\n", "C:\\out");
    log.Print("Number of objects: %i\n\n", 1);
    log.Print("Exporting object '%s'...\n", "Box01");
    log.Print("\tNumber of geobs: %i\n", 1);
    log.Print("\tSuccessfully created KVO '%s'.\n\n", "C:\\out\\Box01.kvo");

    const std::string expected = std::string(kLogHeader) +
                                 "Output directory:  C:\\out\r\n"
                                 "Number of objects: 1\r\n"
                                 "\r\n"
                                 "Exporting object 'Box01'...\r\n"
                                 "\tNumber of geobs: 1\r\n"
                                 "\tSuccessfully created KVO 'C:\\out\\Box01.kvo'.\r\n"
                                 "\r\n";
    // Flushed at once: complete on disk while the log is still open.
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_TRUE(AllLinesEndCrLf(ReadBytes(path)));
}

TEST(GenerateLog, SecondRunAppendsToFirstFileWithoutSecondHeader) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path("run1"));
    std::filesystem::create_directories(dir.Path("run2"));
    const std::string first = dir.Path("run1/kvoexp_log.txt");
    const std::string second = dir.Path("run2/kvoexp_log.txt");
    GenerateLog log;
    log.Open(first);
    log.Print("Exporting object '%s'...\n", "Box01");
    log.Open(second);
    log.Open(first);
    log.Print("Exporting object '%s'...\n", "Box02");

    EXPECT_EQ(ReadBytes(first), std::string(kLogHeader) +
                                    "Exporting object 'Box01'...\r\n"
                                    "Exporting object 'Box02'...\r\n");
    EXPECT_FALSE(FileExists(second));
}

TEST(GenerateLog, OpenTruncatesAnExistingFile) {
    ScratchDir dir;
    const std::string path = dir.Path("kvoexp_log.txt");
    {
        GenerateLog log;
        log.Open(path);
        log.Print("old run\n");
    }
    {
        GenerateLog log;
        log.Open(path);
        log.Print("new run\n");
    }
    EXPECT_EQ(ReadBytes(path), std::string(kLogHeader) + "new run\r\n");
}

TEST(GenerateLog, PrintBeforeOpenIsLost) {
    ScratchDir dir;
    const std::string path = dir.Path("kvoexp_log.txt");
    GenerateLog log;
    log.Print("\tERROR: Cannot export node '%s': not a geometry object\n\n", "Camera01");
    EXPECT_FALSE(FileExists(path));
    log.Open(path);
    log.Print("kept\n");
    EXPECT_EQ(ReadBytes(path), std::string(kLogHeader) + "kept\r\n");
}

TEST(GenerateLog, PercentInsertedTextIsWrittenUnchanged) {
    ScratchDir dir;
    const std::string path = dir.Path("kvoexp_log.txt");
    GenerateLog log;
    log.Open(path);
    log.Print("Exporting object '%s'...\n", "100%s %d %n %%");
    log.Print("\t\tMaterial%i: %s\n", 0, "50% grey");
    EXPECT_EQ(ReadBytes(path), std::string(kLogHeader) +
                                   "Exporting object '100%s %d %n %%'...\r\n"
                                   "\t\tMaterial0: 50% grey\r\n");
}

struct CrLfCase {
    const char* label;
    std::string inserted;
    std::string expected;
};

TEST(ILogger, EveryLineFeedIsWrittenAsCrLf) {
    const std::vector<CrLfCase> cases = {
        {"empty", "", ""},
        {"no line end", "abc", "abc"},
        {"single", "\n", "\r\n"},
        {"blank lines", "\n\n\n", "\r\n\r\n\r\n"},
        {"inner", "a\nb\n", "a\r\nb\r\n"},
        {"leading and trailing", "\nx\n", "\r\nx\r\n"},
        {"tabs kept", "\t\tx\n", "\t\tx\r\n"},
        {"high bytes kept", "\xE4\xF6\xFC\n", "\xE4\xF6\xFC\r\n"},
    };
    for (const CrLfCase& c : cases) {
        ScratchDir dir;
        const std::string path = dir.Path("out.txt");
        {
            BareLogger logger;
            logger.Open(path);
            logger.Print("%s", c.inserted.c_str());
        }
        EXPECT_EQ(ReadBytes(path), c.expected) << c.label;
    }
}

TEST(ILogger, LongTextIsNeverTruncated) {
    // Around the size of the formatting buffer and well beyond it.
    for (size_t length : {0u, 1u, 510u, 511u, 512u, 513u, 1023u, 70000u}) {
        ScratchDir dir;
        const std::string path = dir.Path("out.txt");
        std::string name(length, 'n');
        for (size_t i = 0; i < length; i += 7) name[i] = static_cast<char>('a' + i % 26);
        {
            BareLogger logger;
            logger.Open(path);
            logger.Print("'%s'\n", name.c_str());
            logger.Print("%i\n", 42);
        }
        EXPECT_EQ(ReadBytes(path), "'" + name + "'\r\n42\r\n") << length;
    }
}

TEST(ILogger, PrintAfterCloseWritesNothing) {
    ScratchDir dir;
    const std::string path = dir.Path("out.txt");
    BareLogger logger;
    logger.Open(path);
    logger.Print("before\n");
    logger.Close();
    logger.Print("after\n");
    logger.Close();
    EXPECT_EQ(ReadBytes(path), "before\r\n");
}

// Each generator kind, opened where its file cannot be created.
struct UncreatableCase {
    const char* label;
    std::unique_ptr<ILogger> (*make)();
};

TEST(ILogger, GeneratorWhoseFileCannotBeCreatedStaysSilent) {
    const std::vector<UncreatableCase> cases = {
        {"log", [] { return std::unique_ptr<ILogger>(new GenerateLog); }},
        {"shader", [] { return std::unique_ptr<ILogger>(new GenerateShader); }},
        {"geometry", [] { return std::unique_ptr<ILogger>(new GenerateGeometry); }},
    };
    for (const UncreatableCase& c : cases) {
        ScratchDir dir;
        const std::string missingDirFile = dir.Path("missing/out.txt");
        const std::string directoryName = dir.Path("taken");
        std::filesystem::create_directories(directoryName);
        {
            std::unique_ptr<ILogger> generator = c.make();
            generator->Open(missingDirFile);
            generator->Print("lost\n");
            // The directory becomes writable; the generator does not try again.
            std::filesystem::create_directories(dir.Path("missing"));
            generator->Open(missingDirFile);
            generator->Print("lost too\n");
        }
        EXPECT_FALSE(FileExists(missingDirFile)) << c.label;

        {
            // A name in use by a directory.
            std::unique_ptr<ILogger> generator = c.make();
            generator->Open(directoryName);
            generator->Print("lost\n");
        }
        EXPECT_TRUE(std::filesystem::is_directory(directoryName)) << c.label;
        EXPECT_TRUE(std::filesystem::is_empty(directoryName)) << c.label;
    }
}

}  // namespace
