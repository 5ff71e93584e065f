// The utility panel driven through the loaded module: pages, check boxes and
// the settings file, the folder browser, accelerators and mouse messages.
#include <string>

#include "platform/win32/headless.h"
#include "tests/module/module_session.h"

using Panel = ModuleSession;

TEST_F(Panel, OpensThreePagesInOrderAndClosesThem) {
    OpenPanel();
    const std::vector<Interface::RollupPage>& pages = host.RollupPages();
    ASSERT_EQ(pages.size(), 3u);
    const struct {
        int templateId;
        const char* title;
        DWORD flags;
    } expected[] = {{IDD_OUTPUT, "Valdrin KVO Exporter", 0},
                    {IDD_OPTIONS, "Options", 0},
                    {IDD_ABOUT, "About", 1}};  // added rolled up
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].templateId, expected[i].templateId) << i;
        EXPECT_EQ(pages[i].title, expected[i].title) << i;
        EXPECT_EQ(pages[i].flags, expected[i].flags) << i;
        EXPECT_EQ(pages[i].category, 4000) << i;  // the standard rollup category
        EXPECT_TRUE(headless::Inspect(pages[i].window).exists) << i;
    }
    // Each page made a hidden progress dialog of its own and registered it.
    ASSERT_EQ(host.RegisteredDialogs().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const headless::WindowInfo dialog = headless::Inspect(host.RegisteredDialogs()[i]);
        EXPECT_EQ(dialog.templateId, IDD_PROGRESS);
        EXPECT_EQ(dialog.owner, pages[i].window);
        EXPECT_FALSE(dialog.visible);
    }

    const std::vector<HWND> windows = {pages[0].window, pages[1].window, pages[2].window};
    ClosePanel();
    EXPECT_TRUE(host.RollupPages().empty());
    for (HWND window : windows) EXPECT_FALSE(headless::Inspect(window).exists);
    for (HWND dialog : host.RegisteredDialogs()) EXPECT_FALSE(headless::Inspect(dialog).exists);
}

// Each page, as it is created, clears the host's own cancel flag, so a flag
// left from earlier does not stop the next run.
TEST_F(Panel, OpeningThePanelClearsTheHostCancelFlag) {
    host.SetCancel(TRUE);
    OpenPanel();
    EXPECT_FALSE(host.GetCancel());

    WriteSettings(outputDir, "01100000");
    AddQuad("Quad");
    ClosePanel();
    host.SetCancel(TRUE);
    OpenPanel();
    ClickExport();
    EXPECT_TRUE(std::filesystem::exists(Out("Quad.kvo")));
}

TEST_F(Panel, WithoutSettingsFileShowsTheDefaults) {
    OpenPanel();
    EXPECT_EQ(OutputDirText(), "");
    for (int id : kBoxesInFileOrder) {
        EXPECT_EQ(Checked(id), id == IDC_OPTIMIZE || id == IDC_NORMALS) << id;
    }
}

// Each flag line of the settings file sets its own box and no other.
TEST_F(Panel, EachSettingsLineChecksItsBox) {
    for (size_t line = 0; line < 8; ++line) {
        std::string flags(8, '0');
        flags[line] = '1';
        WriteSettings(outputDir, flags);
        OpenPanel();
        EXPECT_EQ(OutputDirText(), outputDir);
        for (size_t box = 0; box < 8; ++box) {
            EXPECT_EQ(Checked(kBoxesInFileOrder[box]), box == line) << "line " << line;
        }
        ClosePanel();
    }
}

TEST_F(Panel, ReopeningReadsTheSettingsFileAgain) {
    WriteSettings(outputDir, "10000000");
    OpenPanel();
    ClickOption(IDC_LOCALIZE);
    ClickOption(IDC_VERTEX_COLORS);
    TypeOutputDir("typed but not exported");
    ClosePanel();

    OpenPanel();
    EXPECT_TRUE(Checked(IDC_LOCALIZE));
    EXPECT_FALSE(Checked(IDC_VERTEX_COLORS));
    EXPECT_EQ(OutputDirText(), outputDir);
    ClosePanel();

    WriteSettings("elsewhere", "00000001");
    OpenPanel();
    EXPECT_EQ(OutputDirText(), "elsewhere");
    EXPECT_FALSE(Checked(IDC_LOCALIZE));
    EXPECT_TRUE(Checked(IDC_GENERATE_LOG));
}

TEST_F(Panel, UpNormalsStartsEnabledAndFollowsNormalsWhenClicked) {
    WriteSettings(outputDir, "00010000");  // Normals off, Up Normals on
    AddQuad("Quad");
    OpenPanel();
    EXPECT_FALSE(Checked(IDC_NORMALS));
    EXPECT_TRUE(Enabled(IDC_UP_NORMALS));

    ClickOption(IDC_NORMALS);
    EXPECT_TRUE(Checked(IDC_NORMALS));
    EXPECT_TRUE(Enabled(IDC_UP_NORMALS));
    ClickOption(IDC_NORMALS);
    EXPECT_FALSE(Checked(IDC_NORMALS));
    EXPECT_FALSE(Enabled(IDC_UP_NORMALS));
    EXPECT_TRUE(Checked(IDC_UP_NORMALS));

    // Disabling Up Normals keeps its flag: a completed run saves it as it was.
    ClickExport();
    const std::vector<std::string> lines = SettingsLines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[3], "0");  // Normals
    EXPECT_EQ(lines[4], "1");  // Up Normals
}

TEST_F(Panel, AcceleratorsAreOffWhileTheOutputEditHasTheFocus) {
    OpenPanel();
    SetFocus(Control(IDD_OUTPUT, IDC_OUTPUT_DIR));
    EXPECT_FALSE(host.AcceleratorsEnabled());
    SetFocus(Control(IDD_OUTPUT, IDC_EXPORT));
    EXPECT_TRUE(host.AcceleratorsEnabled());
    SetFocus(Control(IDD_OUTPUT, IDC_OUTPUT_DIR));
    EXPECT_FALSE(host.AcceleratorsEnabled());
    SetFocus(Control(IDD_OPTIONS, IDC_LOCALIZE));
    EXPECT_TRUE(host.AcceleratorsEnabled());
    // Typing into the edit while it has the focus keeps them off.
    SetFocus(Control(IDD_OUTPUT, IDC_OUTPUT_DIR));
    TypeOutputDir("abc");
    EXPECT_FALSE(host.AcceleratorsEnabled());
}

TEST_F(Panel, MouseMessagesOfEveryPageGoToTheHost) {
    OpenPanel();
    int expected = host.MouseMessagesForwarded();
    for (int page : {IDD_OUTPUT, IDD_OPTIONS, IDD_ABOUT}) {
        for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) {
            SendMessageA(Page(page), message, 0, MAKELPARAM(5, 5));
            EXPECT_EQ(host.MouseMessagesForwarded(), ++expected) << page << " " << message;
        }
        SendMessageA(Page(page), WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_EQ(host.MouseMessagesForwarded(), expected);
    }
}

TEST_F(Panel, BrowseCancelledPutsTheStoredDirectoryBack) {
    WriteSettings(outputDir, "01100000");
    OpenPanel();
    TypeOutputDir("typed and lost");
    headless::QueueFolderCancel();
    Click(IDD_OUTPUT, IDC_BROWSE);

    EXPECT_EQ(OutputDirText(), outputDir);
    ASSERT_EQ(headless::FolderBrowses().size(), 1u);
    const headless::FolderBrowseRecord& browse = headless::FolderBrowses()[0];
    EXPECT_EQ(browse.owner, Page(IDD_OUTPUT));
    EXPECT_EQ(browse.title, "Select KVO output folder...");
    EXPECT_EQ(browse.flags, BIF_NEWDIALOGSTYLE);
    EXPECT_TRUE(browse.hadCallback);
    EXPECT_FALSE(browse.chosen);
    // The browser opened on the stored directory, not on the typed text.
    ASSERT_EQ(browse.sent.size(), 1u);
    EXPECT_EQ(browse.sent[0].message, BFFM_SETSELECTIONA);
    EXPECT_EQ(browse.sent[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(browse.sent[0].text, outputDir);
    EXPECT_EQ(headless::OutstandingAllocators(), 0);
}

TEST_F(Panel, BrowseChosenFolderBecomesTheOutputDirectory) {
    const std::string chosen = (scratch / "chosen").string();
    std::filesystem::create_directories(chosen);
    WriteSettings(outputDir, "01100000");
    AddQuad("Quad");
    OpenPanel();
    headless::QueueFolderChoice(chosen);
    Click(IDD_OUTPUT, IDC_BROWSE);

    EXPECT_EQ(OutputDirText(), chosen);
    const headless::FolderBrowseRecord& browse = headless::FolderBrowses().at(0);
    EXPECT_TRUE(browse.chosen);
    ASSERT_EQ(browse.sent.size(), 2u);
    EXPECT_EQ(browse.sent[1].message, BFFM_SETSTATUSTEXTA);
    EXPECT_EQ(browse.sent[1].text, chosen);
    EXPECT_EQ(headless::OutstandingItemLists(), 0);
    EXPECT_EQ(headless::OutstandingAllocators(), 0);

    ClickExport();
    EXPECT_TRUE(std::filesystem::exists(chosen + "/Quad.kvo"));
    EXPECT_EQ(SettingsLines().at(0), chosen);
}

// A folder without a file-system path, or no shell allocator: the stored
// directory stays and the edit shows it again.
TEST_F(Panel, BrowseWithoutAFileSystemFolderKeepsTheDirectory) {
    WriteSettings(outputDir, "01100000");
    OpenPanel();
    TypeOutputDir("typed");
    headless::QueueVirtualFolderChoice();
    Click(IDD_OUTPUT, IDC_BROWSE);
    EXPECT_EQ(OutputDirText(), outputDir);
    EXPECT_TRUE(headless::FolderBrowses().at(0).chosen);
    EXPECT_EQ(headless::OutstandingItemLists(), 0);

    TypeOutputDir("typed again");
    headless::SetShellAllocatorAvailable(false);
    headless::QueueFolderChoice(scratch.string());
    Click(IDD_OUTPUT, IDC_BROWSE);
    EXPECT_EQ(OutputDirText(), outputDir);
    EXPECT_EQ(headless::FolderBrowses().size(), 1u);  // the browser never ran
    EXPECT_EQ(headless::OutstandingAllocators(), 0);
}
