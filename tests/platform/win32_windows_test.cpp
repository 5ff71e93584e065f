// Dialogs from registered resources, their life cycle, stale handles.
#include <gtest/gtest.h>

#include "tests/platform/win32_test_module.h"

using namespace win32_test;

namespace {

using WindowLifecycle = WindowTest;

TEST_F(WindowLifecycle, DialogFromTemplateGetsInitDialogInsideTheCall) {
    HWND dialog = Popup(nullptr, 77);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].window, dialog);
    EXPECT_EQ(Log()[0].message, WM_INITDIALOG);
    EXPECT_EQ(Log()[0].lParam, 77);
    // wParam is the first tab stop: the first edit.
    EXPECT_EQ(reinterpret_cast<HWND>(Log()[0].wParam), GetDlgItem(dialog, kEdit));

    headless::WindowInfo info = headless::Inspect(dialog);
    EXPECT_EQ(info.className, "#32770");
    EXPECT_EQ(info.text, "Popup");
    EXPECT_EQ(info.templateId, kPopup);
    EXPECT_EQ(info.module, TestModule());
    EXPECT_FALSE(info.visible);  // the template is not WS_VISIBLE
    EXPECT_EQ(info.children.size(), 6u);
    EXPECT_EQ(GetWindowLongPtrA(dialog, GWLP_HINSTANCE), reinterpret_cast<LONG_PTR>(TestModule()));

    HWND bar = GetDlgItem(dialog, kBar);
    char className[32];
    EXPECT_EQ(GetClassNameA(bar, className, sizeof className), 17);
    EXPECT_STREQ(className, "msctls_progress32");
    EXPECT_EQ(GetDlgCtrlID(bar), kBar);
    EXPECT_EQ(GetParent(bar), dialog);
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(bar, &rect));
    EXPECT_EQ(rect.right - rect.left, 100);
    EXPECT_EQ(rect.bottom - rect.top, 9);
}

TEST_F(WindowLifecycle, MissingTemplateOrModuleGivesNullWithAReason) {
    EXPECT_EQ(CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(999), nullptr, RecordingProc, 0),
              nullptr);
    EXPECT_NE(headless::LastResourceError().find("no dialog template 999"), std::string::npos);
    HINSTANCE other = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x9000));
    EXPECT_EQ(CreateDialogParamA(other, MAKEINTRESOURCEA(kPopup), nullptr, RecordingProc, 0),
              nullptr);
    EXPECT_NE(headless::LastResourceError().find("no registered resources"), std::string::npos);
    // A child template without a parent window fails as well.
    EXPECT_EQ(CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(kPage), nullptr, RecordingProc, 0),
              nullptr);
    EXPECT_TRUE(Log().empty());

    std::string error;
    EXPECT_FALSE(headless::RegisterModuleResources(other, "1 BOGUS\n", "", &error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    EXPECT_EQ(headless::ModuleResources(other), nullptr);
}

TEST_F(WindowLifecycle, ChildPageIsShownAndTakesTheDefaultFocus) {
    HWND panel = CreateWindowExA(0, "Static", "panel", WS_POPUP | WS_VISIBLE, 0, 0, 120, 400,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND page = CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(kPage), panel, RecordingProc, 0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(GetParent(page), panel);
    EXPECT_TRUE(IsWindowVisible(page));
    // WM_INITDIALOG ran while the page was still hidden; then the edit got the focus.
    EXPECT_EQ(GetFocus(), GetDlgItem(page, kEdit));
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[1].message, WM_COMMAND);
    EXPECT_EQ(Log()[1].wParam, MAKEWPARAM(kEdit, EN_SETFOCUS));
}

TEST_F(WindowLifecycle, DestroyGoesToOwnedWindowsFirstThenParentBeforeChildren) {
    HWND panel = CreateWindowExA(0, "Static", "panel", WS_POPUP | WS_VISIBLE, 0, 0, 120, 400,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND page = CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(kPage), panel, RecordingProc, 0);
    HWND popup = Popup(page);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetParent(popup), page);  // a pop-up's parent is its owner
    HWND edit = GetDlgItem(page, kEdit);
    Log().clear();

    EXPECT_TRUE(DestroyWindow(panel));
    std::vector<std::pair<HWND, UINT>> order;
    for (const Received& r : Log()) order.emplace_back(r.window, r.message);
    // The page's edit loses the focus before anything is destroyed.
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0], std::make_pair(popup, WM_DESTROY));
    EXPECT_EQ(order[1], std::make_pair(page, WM_COMMAND));
    EXPECT_EQ(Log()[1].wParam, MAKEWPARAM(kEdit, EN_KILLFOCUS));
    EXPECT_EQ(order[2], std::make_pair(page, WM_DESTROY));
    for (HWND gone : {panel, page, popup, edit}) EXPECT_FALSE(IsWindow(gone));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_TRUE(headless::AllWindows().empty());
}

// Stale and null handles are harmless: every call answers 0 or FALSE.
TEST_F(WindowLifecycle, StaleAndNullHandlesAreHarmless) {
    HWND dialog = Popup();
    HWND button = GetDlgItem(dialog, kButton);
    ASSERT_TRUE(DestroyWindow(dialog));
    char text[8] = "x";
    for (HWND h : {static_cast<HWND>(nullptr), dialog, button}) {
        EXPECT_FALSE(IsWindow(h));
        EXPECT_FALSE(DestroyWindow(h));
        EXPECT_FALSE(ShowWindow(h, SW_SHOW));
        EXPECT_FALSE(IsWindowVisible(h));
        EXPECT_FALSE(IsWindowEnabled(h));
        EXPECT_FALSE(EnableWindow(h, FALSE));
        EXPECT_FALSE(SetWindowTextA(h, "a"));
        EXPECT_EQ(GetWindowTextA(h, text, sizeof text), 0);
        EXPECT_STREQ(text, "");
        EXPECT_EQ(GetWindowTextLengthA(h), 0);
        EXPECT_EQ(SendMessageA(h, BM_CLICK, 0, 0), 0);
        EXPECT_EQ(SendMessageA(h, PBM_SETPOS, 5, 0), 0);
        EXPECT_EQ(PostMessageA(h, WM_COMMAND, 0, 0), h == nullptr);  // null: a thread message
        EXPECT_EQ(GetDlgItem(h, kButton), nullptr);
        EXPECT_FALSE(SetDlgItemTextA(h, kButton, "a"));
        EXPECT_FALSE(CheckDlgButton(h, kCheck, BST_CHECKED));
        EXPECT_EQ(IsDlgButtonChecked(h, kCheck), 0u);
        EXPECT_EQ(GetParent(h), nullptr);
        EXPECT_FALSE(EndDialog(h, 1));
        EXPECT_FALSE(UpdateWindow(h));
        EXPECT_EQ(SetFocus(h), nullptr);
        RECT rect{};
        EXPECT_FALSE(GetWindowRect(h, &rect));
        EXPECT_FALSE(headless::Inspect(h).exists);
    }
    EXPECT_EQ(Log().size(), 2u);  // WM_INITDIALOG and WM_DESTROY only
}

// Handles are looked up by their value: values no window ever had, values
// between two handles and values of windows removed by a reset find nothing.
TEST_F(WindowLifecycle, ForgedAndResetHandlesFindNothing) {
    HWND dialog = Popup();
    HWND button = GetDlgItem(dialog, kButton);
    ASSERT_TRUE(IsWindow(dialog));
    ASSERT_TRUE(IsWindow(button));
    const uintptr_t value = reinterpret_cast<uintptr_t>(button);
    const uintptr_t forged[] = {
        1, 4, value - 1, value + 1, value + 2, value + 4000, ~uintptr_t{0}, ~uintptr_t{0} - 3};
    for (uintptr_t f : forged) {
        HWND h = reinterpret_cast<HWND>(f);
        EXPECT_FALSE(IsWindow(h)) << f;
        EXPECT_EQ(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0), 0) << f;
        EXPECT_FALSE(headless::Inspect(h).exists) << f;
    }
    SetUp();  // a reset and the module registered again
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(button));
    HWND again = Popup();  // new windows get new handles
    EXPECT_TRUE(IsWindow(again));
    EXPECT_NE(again, dialog);
    EXPECT_FALSE(IsWindow(button));
}

TEST_F(WindowLifecycle, EndDialogHidesAModelessDialogAndShowingItAgainClearsTheEnd) {
    HWND dialog = Popup();
    ShowWindow(dialog, SW_SHOWNORMAL);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(EndDialog(dialog, 1));
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(headless::Inspect(dialog).dialogEnded);
    EXPECT_EQ(headless::Inspect(dialog).dialogResult, 1);
    ShowWindow(dialog, SW_SHOW);
    EXPECT_FALSE(headless::Inspect(dialog).dialogEnded);
}

TEST_F(WindowLifecycle, ShowingAHiddenPopupMovesTheFocusIntoIt) {
    HWND dialog = Popup();
    EXPECT_EQ(GetFocus(), nullptr);  // created hidden: no focus yet
    ShowWindow(dialog, SW_SHOWNORMAL);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kEdit));
    ShowWindow(dialog, SW_HIDE);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowLifecycle, DisablingTakesTheFocusAndRefusesIt) {
    HWND dialog = Popup();
    HWND edit = GetDlgItem(dialog, kEdit);
    SetFocus(edit);
    EXPECT_FALSE(EnableWindow(edit, FALSE));  // was enabled
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_FALSE(IsWindowEnabled(edit));
    EXPECT_EQ(SetFocus(edit), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_TRUE(EnableWindow(edit, TRUE));  // was disabled
    EXPECT_TRUE(IsWindowEnabled(edit));
}

TEST_F(WindowLifecycle, ModuleHandlesAndStrings) {
    EXPECT_EQ(GetModuleHandleA("TEST.DLL"), TestModule());
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);

    char buffer[256];
    EXPECT_EQ(LoadStringA(TestModule(), 1, buffer, sizeof buffer), 11);
    EXPECT_STREQ(buffer, "Sample Name");
    EXPECT_EQ(LoadStringA(TestModule(), 1, buffer, 7), 6);  // truncated, terminated
    EXPECT_STREQ(buffer, "Sample");
    EXPECT_EQ(LoadStringA(TestModule(), 2, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(LoadStringA(nullptr, 1, buffer, sizeof buffer), 0);
    EXPECT_EQ(LoadStringA(TestModule(), 1, nullptr, 10), 0);
    headless::UnregisterModuleResources(TestModule());
    EXPECT_EQ(LoadStringA(TestModule(), 1, buffer, sizeof buffer), 0);
}

}  // namespace
