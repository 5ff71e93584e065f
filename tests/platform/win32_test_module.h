// A small module with dialog resources for the window stand-in's tests, and
// a dialog procedure that records what it receives.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/headless.h"

namespace win32_test {

inline HINSTANCE TestModule() {
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7000));
}

constexpr int kPopup = 10;
constexpr int kPage = 11;
constexpr int kEdit = 100;
constexpr int kEdit2 = 101;
constexpr int kButton = 102;
constexpr int kCheck = 103;
constexpr int kBar = 104;
constexpr int kLabel = 105;
constexpr int kDefault = 106;

inline const char* TestScript() {
    return "10 DIALOGEX 0, 0, 200, 80\n"
           "STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU\n"
           "CAPTION \"Popup\"\n"
           "FONT 8, \"MS Shell Dlg\"\n"
           "BEGIN\n"
           "    LTEXT \"label\",105,5,5,100,8\n"
           "    EDITTEXT 100,5,15,100,12\n"
           "    EDITTEXT 101,5,30,100,12\n"
           "    PUSHBUTTON \"Push\",102,5,45,40,14\n"
           "    AUTOCHECKBOX \"Check\",103,50,45,40,10\n"
           "    CONTROL \"\",104,\"msctls_progress32\",WS_BORDER,5,60,100,9\n"
           "END\n"
           "11 DIALOGEX 0, 0, 108, 47\n"
           "STYLE DS_SETFONT | WS_CHILD | WS_VISIBLE\n"
           "FONT 8, \"MS Sans Serif\"\n"
           "BEGIN\n"
           "    LTEXT \"page\",-1,4,3,81,8\n"
           "    EDITTEXT 100,4,12,84,12,ES_AUTOHSCROLL\n"
           "    DEFPUSHBUTTON \"Default\",106,4,29,100,13\n"
           "END\n"
           "STRINGTABLE\n"
           "BEGIN\n"
           "    1 \"Sample Name\"\n"
           "END\n";
}

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    HWND focus;  // GetFocus() when it arrived
};

// Messages that reached RecordingProc, oldest first.
inline std::vector<Received>& Log() {
    static std::vector<Received> log;
    return log;
}

inline INT_PTR CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG || message == WM_DESTROY || message == WM_COMMAND) {
        Log().push_back(Received{window, message, wParam, lParam, GetFocus()});
        return TRUE;
    }
    return FALSE;
}

// WM_COMMAND notifications in the log, as (control id, code).
inline std::vector<std::pair<int, int>> Commands() {
    std::vector<std::pair<int, int>> out;
    for (const Received& r : Log()) {
        if (r.message == WM_COMMAND) out.emplace_back(LOWORD(r.wParam), HIWORD(r.wParam));
    }
    return out;
}

// A clean window system with the test module registered.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        Log().clear();
        std::string error;
        ASSERT_TRUE(
            headless::RegisterModuleResources(TestModule(), TestScript(), "", &error, "test.dll"))
            << error;
    }
    void TearDown() override {
        headless::Reset();
        Log().clear();
    }
    HWND Popup(HWND owner = nullptr, LPARAM param = 0) {
        return CreateDialogParamA(TestModule(), MAKEINTRESOURCEA(kPopup), owner, RecordingProc,
                                  param);
    }
};

}  // namespace win32_test
