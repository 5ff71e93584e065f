// Control behaviour and message delivery: clicks, focus notifications, edit
// changes, progress clamping, the posted-message queue, dialog keys.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

#include "tests/platform/win32_test_module.h"

using namespace win32_test;

namespace {

using WindowMessages = WindowTest;

TEST_F(WindowMessages, ClickNotifiesTheParentAfterAnAutoCheckBoxToggles) {
    HWND dialog = Popup();
    HWND check = GetDlgItem(dialog, kCheck);
    HWND push = GetDlgItem(dialog, kButton);
    Log().clear();

    SendMessageA(check, BM_CLICK, 0, 0);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].wParam, MAKEWPARAM(kCheck, BN_CLICKED));
    EXPECT_EQ(Log()[0].lParam, reinterpret_cast<LPARAM>(check));
    EXPECT_EQ(Log()[0].focus, check);  // a click focuses the button
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), BST_CHECKED);
    SendMessageA(check, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), BST_UNCHECKED);

    SendMessageA(push, BM_CLICK, 0, 0);
    EXPECT_EQ(Commands().back(), std::make_pair(kButton, 0));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kButton), BST_UNCHECKED);  // push buttons keep no check

    EnableWindow(push, FALSE);
    const size_t before = Log().size();
    SendMessageA(push, BM_CLICK, 0, 0);
    EXPECT_EQ(Log().size(), before);  // disabled: nothing happens

    EXPECT_TRUE(CheckDlgButton(dialog, kCheck, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), BST_CHECKED);
    EXPECT_EQ(headless::Inspect(check).check, BST_CHECKED);
    EXPECT_EQ(Log().size(), before);  // setting the check sends no notification
}

TEST_F(WindowMessages, FocusMovesFirstThenEditsNotify) {
    HWND dialog = Popup();
    HWND edit = GetDlgItem(dialog, kEdit);
    HWND edit2 = GetDlgItem(dialog, kEdit2);
    HWND push = GetDlgItem(dialog, kButton);
    Log().clear();

    EXPECT_EQ(SetFocus(edit), nullptr);
    EXPECT_EQ(SetFocus(edit2), edit);
    EXPECT_EQ(SetFocus(edit2), edit2);  // no change, no notification
    EXPECT_EQ(SetFocus(push), edit2);
    const std::vector<std::pair<int, int>> expected = {
        {kEdit, EN_SETFOCUS}, {kEdit, EN_KILLFOCUS}, {kEdit2, EN_SETFOCUS}, {kEdit2, EN_KILLFOCUS}};
    EXPECT_EQ(Commands(), expected);
    // During the kill-focus notification the focus is already on its new window.
    EXPECT_EQ(Log()[1].focus, edit2);
    EXPECT_EQ(Log()[3].focus, push);
    EXPECT_EQ(GetFocus(), push);
}

// Setting the text a window already has changes nothing, but an edit still
// tells its parent, as for any other text.
TEST_F(WindowMessages, SettingTheSameTextAgainKeepsItAndStillNotifiesForEdits) {
    HWND dialog = Popup();
    HWND label = GetDlgItem(dialog, kLabel);
    Log().clear();
    const char* texts[] = {"same", "same", "", "", "longer text", "longer text", "l"};
    for (const char* text : texts) {
        EXPECT_TRUE(SetDlgItemTextA(dialog, kEdit, text));
        EXPECT_TRUE(SetWindowTextA(label, text));
        EXPECT_EQ(headless::Inspect(GetDlgItem(dialog, kEdit)).text, text);
        EXPECT_EQ(headless::Inspect(label).text, text);
        EXPECT_EQ(GetWindowTextLengthA(label), static_cast<int>(std::strlen(text)));
    }
    EXPECT_EQ(Commands().size(), std::size(texts));
    for (const auto& command : Commands())
        EXPECT_EQ(command, std::make_pair(kEdit, int{EN_CHANGE}));
    SendMessageA(label, WM_SETTEXT, 0, 0);  // no text is the empty text
    EXPECT_EQ(headless::Inspect(label).text, "");
}

TEST_F(WindowMessages, SettingAnEditsTextSendsEnChange) {
    HWND dialog = Popup();
    Log().clear();
    EXPECT_TRUE(SetDlgItemTextA(dialog, kEdit, "C:\\out"));
    EXPECT_TRUE(SetDlgItemTextA(dialog, kLabel, "static"));
    const std::vector<std::pair<int, int>> expected = {{kEdit, EN_CHANGE}};
    EXPECT_EQ(Commands(), expected);

    char text[5];
    EXPECT_EQ(GetDlgItemTextA(dialog, kEdit, text, sizeof text), 4u);  // truncated
    EXPECT_STREQ(text, "C:\\o");
    EXPECT_EQ(GetWindowTextLengthA(GetDlgItem(dialog, kEdit)), 6);
    EXPECT_EQ(headless::Inspect(GetDlgItem(dialog, kLabel)).text, "static");
    EXPECT_EQ(GetDlgItemTextA(dialog, 999, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    // A dialog's own text is its caption.
    SetWindowTextA(dialog, "Renamed");
    EXPECT_EQ(headless::Inspect(dialog).text, "Renamed");
}

TEST_F(WindowMessages, ProgressBarClampsToItsRange) {
    HWND bar = GetDlgItem(Popup(), kBar);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
    struct Step {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
        int pos;
    };
    const Step steps[] = {
        {PBM_SETPOS, 50, 0, 0, 50},
        {PBM_SETPOS, 104, 0, 50, 100},
        {PBM_SETPOS, static_cast<WPARAM>(-5), 0, 100, 0},
        {PBM_SETPOS, 37, 0, 0, 37},
        {PBM_SETRANGE, 0, MAKELPARAM(40, 60), MAKELRESULT(0, 100), 40},
        {PBM_SETPOS, 70, 0, 40, 60},
        {PBM_DELTAPOS, static_cast<WPARAM>(-15), 0, 60, 45},
        {PBM_SETRANGE32, 0, 10, MAKELRESULT(40, 60), 10},
        {PBM_GETPOS, 0, 0, 10, 10},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.message);
        EXPECT_EQ(SendMessageA(bar, s.message, s.wParam, s.lParam), s.result);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), s.pos);
        EXPECT_EQ(headless::Inspect(bar).pos, s.pos);
    }
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 10);
}

TEST_F(WindowMessages, PostedMessagesWaitForThePeekLoop) {
    HWND dialog = Popup();
    HWND push = GetDlgItem(dialog, kButton);
    Log().clear();
    EXPECT_TRUE(PostMessageA(push, BM_CLICK, 0, 0));
    EXPECT_TRUE(PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(5, 0), 0));
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(headless::PendingMessages(), 2u);

    MSG msg{};
    // A filter on the message range leaves the click in the queue.
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
    EXPECT_EQ(msg.hwnd, dialog);
    EXPECT_EQ(headless::PendingMessages(), 2u);
    int dispatched = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ++dispatched;
    }
    EXPECT_EQ(dispatched, 2);
    const std::vector<std::pair<int, int>> expected = {{kButton, BN_CLICKED}, {5, 0}};
    EXPECT_EQ(Commands(), expected);

    // Messages for a window that is destroyed are dropped.
    PostMessageA(push, BM_CLICK, 0, 0);
    DestroyWindow(dialog);
    EXPECT_EQ(headless::PendingMessages(), 0u);
}

TEST_F(WindowMessages, DialogKeysAndTheCloseBoxBecomeCommands) {
    HWND dialog = Popup();
    HWND edit = GetDlgItem(dialog, kEdit);
    Log().clear();
    MSG esc{edit, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    MSG enter{edit, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageA(dialog, &esc));
    EXPECT_TRUE(IsDialogMessageA(dialog, &enter));
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    const std::vector<std::pair<int, int>> expected = {
        {IDCANCEL, BN_CLICKED}, {IDOK, BN_CLICKED}, {IDCANCEL, BN_CLICKED}};
    EXPECT_EQ(Commands(), expected);

    // Enter goes to the default push button where there is one.
    HWND panel = CreateWindowExA(0, "Static", "panel", WS_POPUP | WS_VISIBLE, 0, 0, 120, 400,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND page = CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(kPage), panel, RecordingProc, 0);
    Log().clear();
    MSG pageEnter{GetDlgItem(page, kEdit), WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageA(page, &pageEnter));
    EXPECT_EQ(Commands().back(), std::make_pair(kDefault, 0));

    // A message for another window is not the dialog's.
    EXPECT_FALSE(IsDialogMessageA(dialog, &pageEnter));
}

}  // namespace
