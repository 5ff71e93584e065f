// Whole export sessions through the loaded module: options changed on the
// panel, the output-path and selection checks, Export pressed and the panel
// closed in the middle of a run, and the side files closed at unload.
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32/headless.h"
#include "tests/module/module_session.h"

namespace fs = std::filesystem;
using Session = ModuleSession;

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST_F(Session, ExportUsesTheOptionsChangedOnThePanelAndSavesThem) {
    WriteSettings(outputDir, "01100000");
    AddQuad("Quad");
    AddQuad("Other", false);
    OpenPanel();
    ClickOption(IDC_LOCALIZE);           // on
    ClickOption(IDC_OPTIMIZE);           // off
    ClickOption(IDC_GENERATE_GEOMETRY);  // on
    ClickOption(IDC_GENERATE_LOG);       // on
    ClickExport();

    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_TRUE(fs::exists(Out("Quad.kvo")));
    EXPECT_FALSE(fs::exists(Out("Other.kvo")));
    EXPECT_FALSE(fs::exists(Out("kvoexp.shd")));
    const std::string log = ReadFile(Out("kvoexp_log.txt"));
    EXPECT_NE(log.find("Output directory:  " + outputDir + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Number of objects: 1\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Optimizing"), std::string::npos) << log;  // Optimize was switched off
    EXPECT_NE(ReadFile(Out("geometry.ini")).find("\tQuad\r\n\t{\r\n\t\tfile=Quad.kvo\r\n"),
              std::string::npos);
    EXPECT_EQ(SettingsLines(),
              (std::vector<std::string>{outputDir, "1", "0", "1", "0", "0", "0", "1", "1"}));

    HWND progress = ProgressDialog();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(headless::Inspect(progress).visible);
    EXPECT_EQ(DialogText(progress, IDC_DETAILS), "Status: Done!");
    EXPECT_EQ(DialogText(progress, IDC_CANCEL_CLOSE), "Close");
}

TEST_F(Session, ExportTakesTheTypedDirectoryEvenWithATrailingSeparator) {
    WriteSettings("", "01100000");
    AddQuad("Quad");
    OpenPanel();
    TypeOutputDir(outputDir + "/");
    ClickExport();
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_TRUE(fs::exists(Out("Quad.kvo")));
    EXPECT_EQ(SettingsLines().at(0), outputDir + "/");
}

// An empty, missing or file path: the error box, nothing written, and the
// typed text still becomes the output directory.
TEST_F(Session, InvalidOutputPathShowsAnErrorAndWritesNothing) {
    const std::string file = (scratch / "a_file").string();
    { std::ofstream(file) << "x"; }
    for (const std::string& path : {std::string(""), (scratch / "missing").string(), file}) {
        WriteSettings(outputDir, "01100111");
        AddQuad("Quad");
        OpenPanel();
        TypeOutputDir(path);
        headless::ClearMessageBoxes();
        ClickExport();

        ASSERT_EQ(headless::MessageBoxes().size(), 1u) << path;
        const headless::MessageBoxRecord& box = headless::MessageBoxes()[0];
        EXPECT_EQ(box.text, "Please specify valid output path!");
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.type, MB_OK);
        EXPECT_EQ(box.owner, Page(IDD_OUTPUT));
        EXPECT_TRUE(fs::is_empty(outputDir)) << path;
        EXPECT_EQ(SettingsLines().at(0), outputDir) << "settings saved after a failed check";
        EXPECT_FALSE(headless::Inspect(ProgressDialog()).visible);

        // The browser, cancelled, shows what Export stored: the typed text.
        headless::QueueFolderCancel();
        Click(IDD_OUTPUT, IDC_BROWSE);
        EXPECT_EQ(OutputDirText(), path);
        ClosePanel();
    }
}

TEST_F(Session, NothingSelectedShowsAnError) {
    WriteSettings(outputDir, "01100000");
    AddQuad("Quad", false);
    OpenPanel();
    ClickExport();
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "Please select objects to export!");
    EXPECT_EQ(headless::MessageBoxes()[0].caption, "Error");
    EXPECT_TRUE(fs::is_empty(outputDir));

    // With an invalid path as well, only the path message is shown.
    headless::ClearMessageBoxes();
    TypeOutputDir((scratch / "missing").string());
    ClickExport();
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "Please specify valid output path!");
}

TEST_F(Session, ExportPressedDuringARunDoesNothing) {
    WriteSettings(outputDir, "01100001");
    AddQuad("First");
    AddQuad("Second");
    int clicks = 0;
    bool clickedInLoop = false;
    SetPump([this, &clicks, &clickedInLoop](int call) {
        // Once during pre-processing, once while the second node is exported.
        HWND progress = ProgressDialog();
        const bool second =
            progress != nullptr &&
            DialogText(progress, IDC_EXPORT_STATUS).find("Second") != std::string::npos;
        if (call == 1 || (second && !clickedInLoop)) {
            clickedInLoop = clickedInLoop || second;
            ++clicks;
            ClickExport();
        }
    });
    OpenPanel();
    ClickExport();

    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    const std::string log = ReadFile(Out("kvoexp_log.txt"));
    EXPECT_EQ(CountOf(log, "Output directory:"), 1) << log;
    EXPECT_EQ(CountOf(log, "Exporting object 'First'"), 1) << log;
    EXPECT_EQ(CountOf(log, "Exporting object 'Second'"), 1) << log;
    EXPECT_EQ(DialogText(ProgressDialog(), IDC_DETAILS), "Status: Done!");

    // Once the run is over, Export works again.
    SetPump(nullptr);
    ClickExport();
    EXPECT_EQ(CountOf(ReadFile(Out("kvoexp_log.txt")), "Output directory:"), 2);
}

// Closing the panel while the node loop runs cancels the run: it stops at
// its next poll, saves nothing and from then on leaves the host alone.
TEST_F(Session, ClosingThePanelDuringARunCancelsIt) {
    WriteSettings(outputDir, "01100001");
    AddQuad("First");
    AddQuad("Second");
    AddQuad("Third");
    int closedAt = 0;
    SetPump([this, &closedAt](int call) {
        HWND progress = ProgressDialog();
        if (closedAt == 0 && progress != nullptr && headless::Inspect(progress).visible &&
            DialogText(progress, IDC_EXPORT_STATUS).find("First") != std::string::npos) {
            closedAt = call;
            ClosePanel();
        }
    });
    OpenPanel();
    ClickOption(IDC_LOCALIZE);
    ClickExport();

    ASSERT_NE(closedAt, 0);
    EXPECT_EQ(PumpCalls(), closedAt) << "the run kept dispatching through the host";
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_FALSE(fs::exists(Out("First.kvo")));
    EXPECT_FALSE(fs::exists(Out("Second.kvo")));
    const std::string log = ReadFile(Out("kvoexp_log.txt"));
    EXPECT_NE(log.find("Node 'First' export canceled\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Node 'Second' export canceled\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Third"), std::string::npos) << log;
    EXPECT_EQ(SettingsLines().at(1), "0") << "a cancelled run saved the settings";

    // The next opening starts clean: a run completes.
    SetPump(nullptr);
    OpenPanel();
    ClickExport();
    EXPECT_TRUE(fs::exists(Out("Third.kvo")));
    EXPECT_EQ(DialogText(ProgressDialog(), IDC_DETAILS), "Status: Done!");
}

// Closed while the nodes are prepared: the run stops before its checks, so
// no error box appears over a panel that is gone.
TEST_F(Session, ClosingThePanelDuringPreprocessingCancelsTheRun) {
    WriteSettings(outputDir, "01100001");
    AddQuad("First");
    SetPump([this](int call) {
        if (call == 1) ClosePanel();
    });
    OpenPanel();
    ClickExport();

    EXPECT_EQ(PumpCalls(), 1);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_TRUE(fs::is_empty(outputDir));
    EXPECT_EQ(SettingsLines().at(0), outputDir);
}

// The panel closed and reopened inside one dispatch, and Export pressed on
// the new panel while the cancelled run is still unwinding: no second run.
TEST_F(Session, ExportOnAReopenedPanelWaitsForTheCancelledRunToEnd) {
    WriteSettings(outputDir, "01100001");
    AddQuad("First");
    AddQuad("Second");
    bool done = false;
    SetPump([this, &done](int) {
        HWND progress = ProgressDialog();
        if (!done && progress != nullptr && headless::Inspect(progress).visible) {
            done = true;
            ClosePanel();
            OpenPanel();
            ClickExport();
        }
    });
    OpenPanel();
    ClickExport();

    ASSERT_TRUE(done);
    const std::string log = ReadFile(Out("kvoexp_log.txt"));
    EXPECT_EQ(CountOf(log, "Output directory:"), 1) << log;
    EXPECT_EQ(CountOf(log, "Successfully created"), 0) << log;
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(Session, CancelButtonStopsTheRunAndCloseHidesTheDialog) {
    WriteSettings(outputDir, "01100001");
    AddQuad("First");
    AddQuad("Second");
    SetPump([this](int) {
        HWND progress = ProgressDialog();
        if (progress != nullptr &&
            DialogText(progress, IDC_EXPORT_STATUS).find("Second") != std::string::npos &&
            DialogText(progress, IDC_CANCEL_CLOSE) == "Cancel") {
            SendMessageA(GetDlgItem(progress, IDC_CANCEL_CLOSE), BM_CLICK, 0, 0);
        }
    });
    const std::string settingsBefore = ReadFile(ConfigFile());
    OpenPanel();
    ClickOption(IDC_LOCALIZE);  // changed for this run only
    ClickExport();

    HWND progress = ProgressDialog();
    EXPECT_TRUE(fs::exists(Out("First.kvo")));
    EXPECT_FALSE(fs::exists(Out("Second.kvo")));
    EXPECT_EQ(DialogText(progress, IDC_EXPORT_STATUS), "");
    EXPECT_EQ(DialogText(progress, IDC_DETAILS), "Status: Canceled.");
    EXPECT_EQ(DialogText(progress, IDC_CANCEL_CLOSE), "Close");
    // A cancelled run leaves the settings file as it was.
    EXPECT_EQ(ReadFile(ConfigFile()), settingsBefore);
    SendMessageA(GetDlgItem(progress, IDC_CANCEL_CLOSE), BM_CLICK, 0, 0);
    EXPECT_FALSE(headless::Inspect(progress).visible);
}

TEST_F(Session, UnloadingTheModuleClosesTheSideFiles) {
    WriteSettings(outputDir, "01100011");
    AddQuad("Quad");
    OpenPanel();
    ClickExport();
    ClosePanel();

    const std::string before = ReadFile(Out("geometry.ini"));
    EXPECT_TRUE(EndsWith(before, "\t\tflags=6\r\n\t}\r\n")) << before;
    // Closing the panel keeps the exporter and its open files.
    OpenPanel();
    ClosePanel();
    EXPECT_EQ(ReadFile(Out("geometry.ini")), before);

    UnloadModule();
    EXPECT_FALSE(ModuleIsResident(KVOEXP_MODULE_PATH));
    EXPECT_EQ(ReadFile(Out("geometry.ini")), before + "}\r\n");
}

// A reloaded module has a fresh exporter: its side files are opened anew in
// the next run's directory, with their headers.
TEST_F(Session, ReloadedModuleStartsAFreshExporter) {
    WriteSettings(outputDir, "01100011");
    AddQuad("Quad");
    OpenPanel();
    ClickExport();
    ClosePanel();
    UnloadModule();

    const std::string second = (scratch / "second").string();
    fs::create_directories(second);
    LoadModule();
    WriteSettings(second, "01100011");
    OpenPanel();
    ClickExport();
    ClosePanel();
    const std::string log = ReadFile(second + "/kvoexp_log.txt");
    EXPECT_EQ(log.rfind("Valdrin KVO Exporter Log\r\n", 0), 0u) << log;
    EXPECT_EQ(CountOf(ReadFile(Out("kvoexp_log.txt")), "Output directory:"), 1);
}
