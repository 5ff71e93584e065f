// The host interface stand-in: rollup pages, modeless dialogs, the message
// pump, the configuration directory and the control helpers.
#include <gtest/gtest.h>

#include "platform/max/host_records.h"
#include "platform/max/max_sdk.h"
#include "tests/platform/win32_test_module.h"

using namespace win32_test;

namespace {

using HostInterface = WindowTest;

TEST_F(HostInterface, RollupPagesAreCreatedAndDestroyedInsideTheCalls) {
    Interface ip;
    HWND first = ip.AddRollupPage(TestModule(), MAKEINTRESOURCEA(kPage), RecordingProc, "First", 0,
                                  0, ROLLUP_CAT_STANDARD);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Log().front().message, WM_INITDIALOG);
    EXPECT_EQ(Log().front().window, first);
    HWND second = ip.AddRollupPage(TestModule(), MAKEINTRESOURCEA(kPage), RecordingProc, "Second",
                                   0, APPENDROLL_CLOSED, 4001);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetParent(first), ip.PanelWindow());
    EXPECT_EQ(GetParent(second), ip.PanelWindow());

    ASSERT_EQ(ip.RollupPages().size(), 2u);
    const Interface::RollupPage& p = ip.RollupPages()[1];
    EXPECT_EQ(p.window, second);
    EXPECT_EQ(p.title, "Second");
    EXPECT_EQ(p.templateId, kPage);
    EXPECT_EQ(p.flags, APPENDROLL_CLOSED);
    EXPECT_EQ(p.category, 4001);
    // Pages are stacked: the second starts below the first.
    RECT a{}, b{};
    GetWindowRect(first, &a);
    GetWindowRect(second, &b);
    EXPECT_GE(b.top, a.bottom);
    EXPECT_EQ(b.bottom - b.top, 47);

    // A template that is missing gives no page and no record.
    EXPECT_EQ(ip.AddRollupPage(TestModule(), MAKEINTRESOURCEA(4242), RecordingProc, "None"),
              nullptr);
    EXPECT_EQ(ip.RollupPages().size(), 2u);

    Log().clear();
    ip.DeleteRollupPage(first);
    EXPECT_FALSE(IsWindow(first));
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log().back().message, WM_DESTROY);
    EXPECT_EQ(Log().back().window, first);
    EXPECT_EQ(ip.RollupPages().size(), 1u);
    ip.DeleteRollupPage(first);  // twice: nothing
    ip.DeleteRollupPage(second);
    EXPECT_TRUE(ip.RollupPages().empty());
}

// A dialog registered twice is one entry; unregistering says whether it was there.
TEST_F(HostInterface, RegistersEachDialogOnceAndAnswersUnknownDirectories) {
    Interface ip;
    HWND page = ip.AddRollupPage(TestModule(), MAKEINTRESOURCEA(kPage), RecordingProc, "P");
    HWND popup = Popup(page);
    ip.RegisterDlgWnd(popup);
    ip.RegisterDlgWnd(popup);
    EXPECT_EQ(ip.RegisteredDialogs().size(), 1u);
    EXPECT_TRUE(ip.UnRegisterDlgWnd(popup));
    EXPECT_FALSE(ip.UnRegisterDlgWnd(popup));

    ip.SetPluginConfigDir("/cfg/dir");
    EXPECT_STREQ(ip.GetDir(APP_PLUGCFG_DIR), "/cfg/dir");
    EXPECT_STREQ(ip.GetDir(APP_PLUGCFG_DIR + 1), "");
}

TEST_F(HostInterface, ProcessMessagesRunsThePumpThenThePostedMessages) {
    Interface ip;
    HWND popup = Popup();
    ip.RegisterDlgWnd(popup);
    HWND push = GetDlgItem(popup, kButton);
    std::vector<std::string> order;
    int pumps = 0;
    ip.SetMessagePump([&] {
        ++pumps;
        order.push_back("pump");
        if (pumps == 1) PostMessageA(push, BM_CLICK, 0, 0);  // a scripted click
    });
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);  // Esc through the registered dialog
    Log().clear();
    EXPECT_TRUE(ip.ProcessMessages());
    EXPECT_EQ(pumps, 1);
    const std::vector<std::pair<int, int>> expected = {{IDCANCEL, BN_CLICKED},
                                                       {kButton, BN_CLICKED}};
    EXPECT_EQ(Commands(), expected);
    EXPECT_EQ(headless::PendingMessages(), 0u);
}

// A message posted while messages are dispatched waits for the next call.
INT_PTR CALLBACK Reposting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == 7) {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(7, 0), 0);
    }
    return RecordingProc(window, message, wParam, lParam);
}

TEST_F(HostInterface, MessagesPostedDuringDispatchWaitForTheNextCall) {
    Interface ip;
    HWND popup = CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(kPopup), nullptr, Reposting, 0);
    PostMessageA(popup, WM_COMMAND, MAKEWPARAM(7, 0), 0);
    Log().clear();
    ip.ProcessMessages();
    EXPECT_EQ(Commands().size(), 1u);
    EXPECT_EQ(headless::PendingMessages(), 1u);
    ip.ProcessMessages();
    EXPECT_EQ(Commands().size(), 2u);
}

TEST_F(HostInterface, CenterWindowCentresOverTheOwnerAndControlsAreCounted) {
    Interface ip;
    HWND owner = CreateWindowExA(0, "Static", "owner", WS_POPUP | WS_VISIBLE, 100, 50, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND popup = Popup(owner);
    CenterWindow(popup, GetParent(popup));
    RECT rect{};
    GetWindowRect(popup, &rect);
    EXPECT_EQ(rect.left, 100 + (300 - 200) / 2);
    EXPECT_EQ(rect.top, 50 + (200 - 80) / 2);
    EXPECT_EQ(rect.right - rect.left, 200);
    CenterWindow(nullptr, owner);  // harmless

    const int before = CustomControlsInitCount();
    InitCustomControls(TestModule());
    EXPECT_EQ(CustomControlsInitCount(), before + 1);
    EXPECT_EQ(LastCustomControlsModule(), TestModule());
}

}  // namespace
