// The terminal's progress line: the progress dialog's state in one line that
// fits the terminal's width, cut with "..." rather than wrapped, with the
// dialog template's placeholder texts left out and control characters and
// broken UTF-8 shown as '?'.
#pragma once

#include <string>

namespace kvocli {

struct ProgressView {
    int overallPercent = 0;    // the overall bar's position
    std::string overallLabel;  // "Total Progress: ..."
    std::string details;       // "Status: ..."
    std::string status;        // "File: ..."
    unsigned sceneNumber = 0;  // 1-based among the invocation's scenes; 0: not shown
    unsigned sceneCount = 0;
    std::string scene;  // the scene file's path
};

// Whether a label still holds the text the dialog template gave it.
bool IsPlaceholder(const std::string& text);

// Terminal columns `text` takes: one per character, two for wide ones.
size_t DisplayWidth(const std::string& text);

// `text` cut to at most `columns` columns on a character boundary, ending in
// "..." when it was cut; unprintable characters become '?'.
std::string FitToColumns(const std::string& text, size_t columns);

// The line for a terminal `columns` wide: it takes at most columns - 1, so
// that the cursor never reaches the margin and the terminal never wraps.
// Its parts, kept in this order while the width allows: "scene k of n NAME",
// the overall bar and percentage, the object's name, the status.
std::string FormatProgressLine(const ProgressView& view, size_t columns);

// "importing PATH ..." for a terminal `columns` wide, fitted the same way.
std::string FormatImportingLine(const std::string& path, size_t columns);

// The width of the terminal behind `fd`, asked afresh; 80 when it does not say.
size_t TerminalColumns(int fd);

}  // namespace kvocli
