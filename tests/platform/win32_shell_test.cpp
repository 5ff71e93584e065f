// File attributes, message boxes, common controls and the scripted folder
// browser with its callback protocol and allocator.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/platform/win32_test_module.h"

using namespace win32_test;

namespace {

using Shell = WindowTest;

TEST_F(Shell, FileAttributesComeFromTheFileSystem) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kvoexp_attr_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "file.txt") << "x";
    struct Case {
        std::string path;
        DWORD attributes;
    };
    const Case cases[] = {
        {dir.string(), FILE_ATTRIBUTE_DIRECTORY},
        {dir.string() + "/", FILE_ATTRIBUTE_DIRECTORY},
        {(dir / "file.txt").string(), FILE_ATTRIBUTE_NORMAL},
        {(dir / "missing").string(), INVALID_FILE_ATTRIBUTES},
        {(dir / "file.txt").string() + "/", INVALID_FILE_ATTRIBUTES},
        {"", INVALID_FILE_ATTRIBUTES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetFileAttributesA(c.path.c_str()), c.attributes);
    }
    EXPECT_EQ(GetFileAttributesA(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(sizeof(DWORD), 4u);
    std::filesystem::remove_all(dir);
}

TEST_F(Shell, MessageBoxesAreRecordedAndAnswerOk) {
    std::vector<std::string> hooked;
    headless::SetMessageBoxHook(
        [&](const headless::MessageBoxRecord& r) { hooked.push_back(r.caption + ": " + r.text); });
    HWND owner = Popup();
    EXPECT_EQ(MessageBoxA(owner, "Please specify valid output path!", "Error", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "second", "Note", MB_OKCANCEL), IDOK);
    ASSERT_EQ(headless::MessageBoxes().size(), 2u);
    const headless::MessageBoxRecord& first = headless::MessageBoxes()[0];
    EXPECT_EQ(first.owner, owner);
    EXPECT_EQ(first.text, "Please specify valid output path!");
    EXPECT_EQ(first.caption, "Error");
    EXPECT_EQ(first.type, MB_OK);
    EXPECT_EQ(headless::MessageBoxes()[1].type, MB_OKCANCEL);
    const std::vector<std::string> expected = {"Error: Please specify valid output path!",
                                               "Note: second"};
    EXPECT_EQ(hooked, expected);
    headless::ClearMessageBoxes();
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

struct CallbackLog {
    std::vector<UINT> events;
    std::string selectedPath;
};

// The callback the plug-in uses: select the start folder, show selections.
int CALLBACK Callback(HWND browser, UINT event, LPARAM eventParam, LPARAM data) {
    CallbackLog* log = reinterpret_cast<CallbackLog*>(data);
    log->events.push_back(event);
    if (event == BFFM_INITIALIZED) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("/start/here"));
    } else if (event == BFFM_SELCHANGED) {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(eventParam), path)) {
            log->selectedPath = path;
            SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
        }
    }
    return 0;
}

TEST_F(Shell, FolderBrowserRunsTheCallbackProtocolAndHandsOutItemLists) {
    headless::QueueFolderChoice("/chosen/dir");
    headless::QueueFolderCancel();
    headless::QueueVirtualFolderChoice();
    HWND owner = Popup();
    LPMALLOC allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    ASSERT_NE(allocator, nullptr);

    CallbackLog log;
    char display[MAX_PATH] = "";
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pszDisplayName = display;
    info.lpszTitle = "Select KVO output folder...";
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    info.lpfn = Callback;
    info.lParam = reinterpret_cast<LPARAM>(&log);

    // 1: a folder is chosen.
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    ASSERT_NE(item, nullptr);
    char path[MAX_PATH];
    EXPECT_TRUE(SHGetPathFromIDListA(item, path));
    EXPECT_STREQ(path, "/chosen/dir");
    EXPECT_STREQ(display, "dir");
    EXPECT_EQ(log.events, (std::vector<UINT>{BFFM_INITIALIZED, BFFM_SELCHANGED}));
    EXPECT_EQ(log.selectedPath, "/chosen/dir");
    EXPECT_EQ(headless::OutstandingItemLists(), 1);
    allocator->Free(item);
    EXPECT_EQ(headless::OutstandingItemLists(), 0);

    // 2: cancelled; the callback still saw BFFM_INITIALIZED.
    log = CallbackLog();
    EXPECT_EQ(SHBrowseForFolderA(&info), nullptr);
    EXPECT_EQ(log.events, std::vector<UINT>{BFFM_INITIALIZED});

    // 3: an item without a file-system path.
    item = SHBrowseForFolderA(&info);
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(SHGetPathFromIDListA(item, path));
    EXPECT_STREQ(path, "");
    allocator->Free(item);

    // 4: nothing queued: cancelled.
    EXPECT_EQ(SHBrowseForFolderA(&info), nullptr);

    allocator->Release();
    EXPECT_EQ(headless::OutstandingAllocators(), 0);

    const auto& browses = headless::FolderBrowses();
    ASSERT_EQ(browses.size(), 4u);
    EXPECT_EQ(browses[0].owner, owner);
    EXPECT_EQ(browses[0].title, "Select KVO output folder...");
    EXPECT_EQ(browses[0].flags, BIF_NEWDIALOGSTYLE);
    EXPECT_TRUE(browses[0].hadCallback);
    EXPECT_TRUE(browses[0].chosen);
    EXPECT_FALSE(browses[1].chosen);
    ASSERT_EQ(browses[0].sent.size(), 2u);
    EXPECT_EQ(browses[0].sent[0].message, BFFM_SETSELECTIONA);
    EXPECT_EQ(browses[0].sent[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(browses[0].sent[0].text, "/start/here");
    EXPECT_EQ(browses[0].sent[1].message, BFFM_SETSTATUSTEXTA);
    EXPECT_EQ(browses[0].sent[1].text, "/chosen/dir");
    EXPECT_EQ(browses[1].sent.size(), 1u);
    // The browser window is gone after each call.
    EXPECT_EQ(headless::AllWindows().size(), 1u + 6u);
}

TEST_F(Shell, NoAllocatorAndOverlongPaths) {
    headless::SetShellAllocatorAvailable(false);
    LPMALLOC allocator = reinterpret_cast<LPMALLOC>(1);
    EXPECT_EQ(SHGetMalloc(&allocator), E_FAIL);
    EXPECT_EQ(allocator, nullptr);
    headless::SetShellAllocatorAvailable(true);
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);

    headless::QueueFolderChoice(std::string(MAX_PATH, 'a'));
    BROWSEINFOA info{};
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    ASSERT_NE(item, nullptr);
    char path[MAX_PATH];
    EXPECT_FALSE(SHGetPathFromIDListA(item, path));  // no path fits MAX_PATH
    allocator->Free(item);
    allocator->Release();
    EXPECT_EQ(SHBrowseForFolderA(nullptr), nullptr);
    EXPECT_FALSE(SHGetPathFromIDListA(nullptr, path));
}

}  // namespace
