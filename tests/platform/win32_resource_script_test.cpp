// The resource-script reader: statements, style rules, defines, and clear
// errors for malformed or truncated scripts.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/resource_script.h"

using headless::ParseResourceScript;
using headless::ResourceTable;

namespace {

const char kHeader[] =
    "#ifndef SAMPLE_H\n"
    "#define SAMPLE_H\n"
    "#define IDD_SAMPLE 200\n"
    "#define IDC_NAME 300\n"
    "#define IDC_GO (IDC_NAME + 1)\n"
    "#ifndef IDC_STATIC\n"
    "#define IDC_STATIC (-1)\n"
    "#endif\n"
    "#endif\n";

const char kScript[] =
    "#include \"sample.h\"\n"
    "#include <windows.h>\n"
    "/* a block\n comment */\n"
    "IDD_SAMPLE DIALOGEX 1, 2, 150, 60\n"
    "STYLE DS_SETFONT | WS_POPUP | WS_CAPTION\n"
    "CAPTION \"Say \"\"hi\"\"\"\n"
    "FONT 8, \"MS Shell Dlg\", 400, 0, 0x1\n"
    "BEGIN\n"
    "    LTEXT \"Name:\\tfirst\\nsecond\",IDC_STATIC,4,5,40,8\n"
    "    LTEXT \"x\",IDC_STATIC,4,15,40,8,SS_LEFTNOWORDWRAP\n"
    "    EDITTEXT IDC_NAME,50,4,90,12,ES_AUTOHSCROLL | NOT WS_TABSTOP\n"
    "    DEFPUSHBUTTON \"Go\",IDC_GO,90,40,50,14\n"
    "    AUTOCHECKBOX \"Check\",302,4,40,50,10,WS_DISABLED\n"
    "    CONTROL \"\",303,\"msctls_progress32\",WS_BORDER,4,25,140,9\n"
    "END\n"
    "201 DIALOG 0, 0, 20, 20\n"
    "FONT 8, \"MS Sans Serif\"\n"
    "BEGIN\n"
    "END\n"
    "STRINGTABLE\n"
    "BEGIN\n"
    "    1 \"first\"\n"
    "    IDC_NAME, \"second\"\n"
    "END\n";

TEST(ResourceScript, ReadsDialogsControlsAndStrings) {
    ResourceTable table;
    std::string error;
    ASSERT_TRUE(ParseResourceScript(kScript, kHeader, &table, &error)) << error;
    ASSERT_EQ(table.dialogs.count(200), 1u);
    const headless::DialogTemplate& d = table.dialogs.at(200);
    EXPECT_TRUE(d.extended);
    EXPECT_EQ(d.style, DS_SETFONT | WS_POPUP | WS_CAPTION);
    EXPECT_EQ(d.caption, "Say \"hi\"");
    EXPECT_EQ(d.fontName, "MS Shell Dlg");
    EXPECT_EQ(d.fontSize, 8);
    EXPECT_EQ(d.x, 1);
    EXPECT_EQ(d.y, 2);
    EXPECT_EQ(d.cx, 150);
    EXPECT_EQ(d.cy, 60);
    ASSERT_EQ(d.controls.size(), 6u);

    struct Expected {
        const char* className;
        const char* text;
        int id;
        DWORD style;
        int x, y, cx, cy;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const Expected expected[] = {
        {"Static", "Name:\tfirst\nsecond", -1, child | SS_LEFT | WS_GROUP, 4, 5, 40, 8},
        // A given style replaces the kind's defaults beyond its base style.
        {"Static", "x", -1, child | SS_LEFTNOWORDWRAP, 4, 15, 40, 8},
        {"Edit", "", 300, child | WS_BORDER | ES_AUTOHSCROLL, 50, 4, 90, 12},
        {"Button", "Go", 301, child | BS_DEFPUSHBUTTON | WS_TABSTOP, 90, 40, 50, 14},
        {"Button", "Check", 302, child | BS_AUTOCHECKBOX | WS_DISABLED, 4, 40, 50, 10},
        {"msctls_progress32", "", 303, child | WS_BORDER, 4, 25, 140, 9},
    };
    for (size_t i = 0; i < d.controls.size(); ++i) {
        SCOPED_TRACE(i);
        const headless::ControlTemplate& c = d.controls[i];
        EXPECT_EQ(c.className, expected[i].className);
        EXPECT_EQ(c.text, expected[i].text);
        EXPECT_EQ(c.id, expected[i].id);
        EXPECT_EQ(c.style, expected[i].style);
        EXPECT_EQ(c.x, expected[i].x);
        EXPECT_EQ(c.y, expected[i].y);
        EXPECT_EQ(c.cx, expected[i].cx);
        EXPECT_EQ(c.cy, expected[i].cy);
    }

    // Without STYLE a dialog gets pop-up, border and system menu; FONT adds DS_SETFONT.
    ASSERT_EQ(table.dialogs.count(201), 1u);
    EXPECT_FALSE(table.dialogs.at(201).extended);
    EXPECT_EQ(table.dialogs.at(201).style, WS_POPUP | WS_BORDER | WS_SYSMENU | DS_SETFONT);
    EXPECT_TRUE(table.dialogs.at(201).controls.empty());

    EXPECT_EQ(table.strings.size(), 2u);
    EXPECT_EQ(table.strings.at(1), "first");
    EXPECT_EQ(table.strings.at(300), "second");
    EXPECT_EQ(table.defines.at("IDC_GO"), 301);
}

TEST(ResourceScript, ReportsMalformedInputWithItsLine) {
    struct Case {
        const char* header;
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"", "1 DIALOGEX 0,0,10,10\nBEGIN\n  LTEXT \"a\",UNKNOWN,1,2,3,4\nEND\n",
         "line 3: unknown name 'UNKNOWN'"},
        {"", "1 DIALOGEX 0,0,10\nBEGIN\nEND\n", "line 2: expected ',' after width"},
        {"", "1 DIALOGEX 0,0,10,10\nBEGIN\n  LTEXT \"open,1,2,3,4,5\nEND\n",
         "line 3: unterminated string"},
        {"", "1 DIALOGEX 0,0,10,10\nBEGIN\n  COMBOBOX 5,1,2,3,4\nEND\n",
         "line 3: unsupported control statement 'COMBOBOX'"},
        {"", "1 MENU\nBEGIN\nEND\n", "line 1: unsupported resource type 'MENU'"},
        {"", "1 DIALOGEX 0,0,10,10\nBEGIN\n", "dialog without END"},
        {"", "1 DIALOGEX 0,0,10,10\nMENU 5\nBEGIN\nEND\n",
         "line 2: unsupported dialog statement 'MENU'"},
        {"", "1 DIALOGEX 0,0,99999,10\nBEGIN\nEND\n", "line 1: width out of range"},
        {"", "1 DIALOGEX 0,0,10,10\nBEGIN\nEND\n1 DIALOGEX 0,0,10,10\nBEGIN\nEND\n",
         "dialog 1 defined twice"},
        {"", "STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n", "string 1 defined twice"},
        {"", "STRINGTABLE\nBEGIN\n 70000 \"a\"\nEND\n", "string id out of range"},
        {"", "#if 1\n#endif\n", "line 1: unsupported directive #if"},
        {"", "#ifdef X\n", "#ifdef without #endif"},
        {"", "#endif\n", "line 1: #endif without #ifdef"},
        {"#define A B\n", "", "resource.h: line 1: unknown name 'B' in #define A"},
        {"#define A 1 2\n", "", "resource.h: line 1: unexpected text after the value"},
        {"int x;\n", "", "resource.h: line 1: only preprocessor lines are allowed"},
        {"", "1 DIALOGEX 0,0,10,10\nBEGIN\n LTEXT \"\\q\",1,1,1,1,1\nEND\n",
         "line 3: unsupported escape"},
        {"", "1 DIALOGEX 0,0,10,10\nBEGIN\n LTEXT \"a\",0x123456789,1,1,1,1\nEND\n",
         "line 3: bad number"},
        {"", "1 DIALOGEX 0,0,10,10 @\n", "line 1: unexpected character '@'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        ResourceTable table;
        std::string error;
        EXPECT_FALSE(ParseResourceScript(c.script, c.header, &table, &error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

// Every prefix of a valid script either parses or fails with a message.
TEST(ResourceScript, TruncatedScriptsFailCleanly) {
    const std::string script = kScript;
    for (size_t length = 0; length <= script.size(); ++length) {
        ResourceTable table;
        std::string error;
        if (!ParseResourceScript(script.substr(0, length), kHeader, &table, &error)) {
            EXPECT_FALSE(error.empty()) << "prefix " << length;
        }
    }
    const std::string header = kHeader;
    for (size_t length = 0; length < header.size(); ++length) {
        ResourceTable table;
        std::string error;
        if (!ParseResourceScript("", header.substr(0, length), &table, &error)) {
            EXPECT_FALSE(error.empty()) << "header prefix " << length;
        }
    }
}

TEST(ResourceScript, CrLfLinesAndCommentsKeepLineNumbers) {
    ResourceTable table;
    std::string error;
    const char script[] = "// comment\r\n#define X 3\r\n\r\nX DIALOG 0,0,1,1\r\nBEGIN\r\nBAD\r\n";
    EXPECT_FALSE(ParseResourceScript(script, "", &table, &error));
    EXPECT_NE(error.find("line 6:"), std::string::npos) << error;
}

}  // namespace
