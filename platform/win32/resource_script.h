// A reader for the subset of resource-script syntax the plug-in's script
// uses: #define lines (of resource.h), DIALOG/DIALOGEX templates with
// STYLE, EXSTYLE, CAPTION, FONT and the controls CONTROL, LTEXT, RTEXT,
// CTEXT, EDITTEXT, PUSHBUTTON, DEFPUSHBUTTON, AUTOCHECKBOX, and STRINGTABLE.
// Styles are combined as the GNU resource compiler combines them.
#pragma once

#ifndef _WIN32

#include <map>
#include <string>
#include <vector>

#include "platform/win32/win32_api.h"

namespace headless {

struct ControlTemplate {
    std::string className;  // "Static", "Edit", "Button" or the CONTROL's class
    std::string text;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplate {
    int id = 0;
    bool extended = false;  // DIALOGEX
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string fontName;
    int fontSize = 0;
    std::vector<ControlTemplate> controls;
};

struct ResourceTable {
    std::map<int, DialogTemplate> dialogs;
    std::map<int, std::string> strings;
    std::map<std::string, long> defines;  // from resource.h and the script
};

// Parses resource.h (`header`, may be empty) and then the script. On an
// error returns false with "line N: what" in `error`; `table` is then
// unspecified.
bool ParseResourceScript(const std::string& script, const std::string& header, ResourceTable* table,
                         std::string* error);

}  // namespace headless

#endif
