// The plug-in's embedded resource script: every template, control and string
// as the panel and the progress dialog need them, and the dialogs built from it.
#include <gtest/gtest.h>

#include "plugin/resource.h"
#include "tests/plugin/plugin_test_support.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    int x, y, cx, cy;
    DWORD style;
};

struct ExpectedDialog {
    int id;
    int cx, cy;
    DWORD style;
    const char* caption;
    const char* font;
    std::vector<ExpectedControl> controls;
};

const char kAboutPrefix[] = "Valdrin KVO Exporter\n\n";
const char kAboutSuffix[] = "\nVersion:\t0.3";

std::vector<ExpectedDialog> ExpectedDialogs() {
    const DWORD check = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
    const DWORD label = kChild | SS_LEFTNOWORDWRAP;
    const DWORD page = DS_SETFONT | WS_CHILD | WS_VISIBLE;
    return {
        {1005,
         108,
         47,
         page,
         "",
         "MS Sans Serif",
         {
             {-1, "Static", "Output Directory:", 4, 3, 81, 8, kChild | SS_LEFT | WS_GROUP},
             {1069, "Edit", "", 4, 12, 84, 12, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
             {1070, "Button", "...", 90, 12, 14, 12, kChild | BS_PUSHBUTTON | WS_TABSTOP},
             {1066, "Button", "Export", 4, 29, 100, 13, kChild | BS_PUSHBUTTON | WS_TABSTOP},
         }},
        {1004,
         108,
         107,
         page,
         "",
         "MS Sans Serif",
         {
             {1075, "Button", "Localize", 6, 6, 42, 10, check},
             {1078, "Button", "Optimize", 6, 18, 42, 11, check},
             {1076, "Button", "Normals", 6, 35, 41, 10, check},
             {1077, "Button", "Up Normals", 48, 35, 54, 10, check},
             {1081, "Button", "Vertex Colors", 6, 48, 57, 8, check},
             {1082, "Button", "Generate Basic Shader", 6, 65, 89, 8, check},
             {1085, "Button", "Generate 'geometry.ini'", 6, 77, 87, 10, check},
             {1083, "Button", "Generate Log", 6, 89, 59, 10, check},
         }},
        {1006,
         108,
         45,
         page,
         "",
         "MS Sans Serif",
         {
             {-1, "Static", nullptr, 6, 6, 87, 33, kChild | SS_LEFT | WS_GROUP},
         }},
        {112,
         250,
         94,
         DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
         "Exporting...",
         "MS Shell Dlg",
         {
             {1074, "Static", "<export status>", 7, 7, 236, 8, label},
             {1075, "Static", "<details>", 7, 16, 236, 8, label},
             {1071, "msctls_progress32", "", 7, 25, 236, 9, kChild | WS_BORDER},
             {1073, "Static", "<overall progress>", 7, 42, 237, 8, label},
             {1072, "msctls_progress32", "", 7, 51, 236, 9, kChild | WS_BORDER},
             {1081, "Button", "Cancel", 193, 73, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP},
         }},
    };
}

// The About text: the name, an empty line, an author line, the version.
void ExpectAboutText(const std::string& text) {
    const std::string prefix = kAboutPrefix, suffix = kAboutSuffix;
    ASSERT_GT(text.size(), prefix.size() + suffix.size());
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
    const std::string author =
        text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    EXPECT_EQ(author.find('\n'), std::string::npos);
}

TEST(PluginResources, TemplatesAndStringsMatchTheirTables) {
    headless::ResourceTable table;
    std::string error;
    ASSERT_TRUE(headless::ParseResourceScript(EmbeddedResourceScript(), EmbeddedResourceHeader(),
                                              &table, &error))
        << error;
    EXPECT_EQ(table.dialogs.size(), 4u);
    for (const ExpectedDialog& e : ExpectedDialogs()) {
        SCOPED_TRACE(e.id);
        ASSERT_EQ(table.dialogs.count(e.id), 1u);
        const headless::DialogTemplate& d = table.dialogs.at(e.id);
        EXPECT_EQ(d.cx, e.cx);
        EXPECT_EQ(d.cy, e.cy);
        EXPECT_EQ(d.style, e.style);
        EXPECT_FALSE(d.style & WS_VISIBLE &&
                     d.style & WS_POPUP);  // the progress dialog starts hidden
        EXPECT_EQ(d.caption, e.caption);
        EXPECT_EQ(d.fontName, e.font);
        EXPECT_EQ(d.fontSize, 8);
        ASSERT_EQ(d.controls.size(), e.controls.size());
        for (size_t i = 0; i < e.controls.size(); ++i) {
            SCOPED_TRACE(e.controls[i].id);
            const headless::ControlTemplate& c = d.controls[i];
            EXPECT_EQ(c.id, e.controls[i].id);
            EXPECT_EQ(c.className, e.controls[i].className);
            if (e.controls[i].text != nullptr) {
                EXPECT_EQ(c.text, e.controls[i].text);
            } else {
                ExpectAboutText(c.text);
            }
            EXPECT_EQ(c.x, e.controls[i].x);
            EXPECT_EQ(c.y, e.controls[i].y);
            EXPECT_EQ(c.cx, e.controls[i].cx);
            EXPECT_EQ(c.cy, e.controls[i].cy);
            EXPECT_EQ(c.style, e.controls[i].style);
        }
    }
    ASSERT_EQ(table.strings.size(), 1u);
    EXPECT_EQ(table.strings.at(1), "Valdrin KVO Exporter");
    // The ids the code uses are the ones in the templates.
    EXPECT_EQ(table.defines.at("IDD_PROGRESS"), IDD_PROGRESS);
    EXPECT_EQ(table.defines.at("IDC_CANCEL_CLOSE"), IDC_CANCEL_CLOSE);
}

TEST(PluginResources, DialogsBuiltFromTheScriptHaveTheTemplatesControls) {
    headless::Reset();
    plugin_test::RegisterResources();
    HWND panel = CreateWindowExA(0, "Static", "panel", WS_POPUP | WS_VISIBLE, 0, 0, 120, 400,
                                 nullptr, nullptr, nullptr, nullptr);
    auto quiet = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        return message == WM_INITDIALOG ? TRUE : FALSE;
    };
    for (const ExpectedDialog& e : ExpectedDialogs()) {
        SCOPED_TRACE(e.id);
        HWND dialog =
            CreateDialogParamA(plugin_test::Module(), MAKEINTRESOURCEA(e.id), panel, quiet, 0);
        ASSERT_NE(dialog, nullptr) << headless::LastResourceError();
        const headless::WindowInfo info = headless::Inspect(dialog);
        EXPECT_EQ(info.templateId, e.id);
        EXPECT_EQ(info.text, e.caption);
        EXPECT_EQ(info.rect.right - info.rect.left, e.cx);
        EXPECT_EQ(info.rect.bottom - info.rect.top, e.cy);
        EXPECT_EQ(IsWindowVisible(dialog) != FALSE, (e.style & WS_CHILD) != 0);
        ASSERT_EQ(info.children.size(), e.controls.size());
        for (size_t i = 0; i < e.controls.size(); ++i) {
            const headless::WindowInfo c = headless::Inspect(info.children[i]);
            EXPECT_EQ(c.id, e.controls[i].id);
            EXPECT_EQ(c.rect.left, e.controls[i].x);
            EXPECT_EQ(c.rect.top, e.controls[i].y);
            EXPECT_EQ(c.rect.right - c.rect.left, e.controls[i].cx);
            EXPECT_EQ(c.rect.bottom - c.rect.top, e.controls[i].cy);
            if (c.className == PROGRESS_CLASS) {
                EXPECT_EQ(c.rangeLow, 0);
                EXPECT_EQ(c.rangeHigh, 100);
            }
        }
    }
    char name[256];
    EXPECT_EQ(LoadStringA(plugin_test::Module(), 1, name, sizeof name), 20);
    EXPECT_STREQ(name, "Valdrin KVO Exporter");
    headless::Reset();
}

}  // namespace
