#include "cli/program/progress_line.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cstdint>

#include "cli/checks/printable_text.h"

namespace kvocli {

namespace {

constexpr size_t kDefaultColumns = 80;
constexpr size_t kBarCells = 20;
const char kEllipsis[] = "...";

// The texts the progress dialog's template gives its labels.
const char* const kPlaceholders[] = {"<export status>", "<details>", "<overall progress>"};

// East Asian wide and full-width ranges, and the emoji blocks.
int Columns(uint32_t code) {
    if (!kvochecks::IsPrintableCode(code)) return 1;  // shown as '?'
    if ((code >= 0x0300 && code <= 0x036f) || code == 0x200b) return 0;
    const bool wide = (code >= 0x1100 && code <= 0x115f) || (code >= 0x2e80 && code <= 0xa4cf) ||
                      (code >= 0xac00 && code <= 0xd7a3) || (code >= 0xf900 && code <= 0xfaff) ||
                      (code >= 0xfe30 && code <= 0xfe4f) || (code >= 0xff00 && code <= 0xff60) ||
                      (code >= 0xffe0 && code <= 0xffe6) || (code >= 0x1f300 && code <= 0x1f64f) ||
                      (code >= 0x1f900 && code <= 0x1f9ff) || (code >= 0x20000 && code <= 0x3fffd);
    return wide ? 2 : 1;
}

// Appends the characters of `text` that fit into `room` columns, printable
// ones as they are and others as '?'; returns the columns used and whether
// all of it fitted.
bool AppendFitting(const std::string& text, size_t room, std::string& out, size_t& used) {
    used = 0;
    for (size_t at = 0; at < text.size();) {
        uint32_t code = 0;
        const size_t length = kvochecks::DecodeUtf8(text, at, code);
        const size_t width = static_cast<size_t>(Columns(length ? code : 0xfffd));
        if (used + width > room) return false;
        if (length && kvochecks::IsPrintableCode(code)) {
            out.append(text, at, length);
        } else {
            out.push_back('?');
        }
        used += width;
        at += length ? length : 1;
    }
    return true;
}

}  // namespace

bool IsPlaceholder(const std::string& text) {
    for (const char* placeholder : kPlaceholders) {
        if (text == placeholder) return true;
    }
    return false;
}

size_t DisplayWidth(const std::string& text) {
    std::string ignored;
    size_t used = 0;
    AppendFitting(text, SIZE_MAX, ignored, used);
    return used;
}

std::string FitToColumns(const std::string& text, size_t columns) {
    std::string out;
    size_t used = 0;
    if (AppendFitting(text, columns, out, used)) return out;
    const size_t dots = sizeof kEllipsis - 1;
    out.clear();
    if (columns < dots) return std::string(columns, '.');
    AppendFitting(text, columns - dots, out, used);
    return out + kEllipsis;
}

namespace {

// Narrower parts than this are left out rather than cut to a few dots.
constexpr size_t kMinimumCutPart = 8;

std::string WithoutPrefix(const std::string& text, const char* prefix) {
    const std::string p = prefix;
    return text.compare(0, p.size(), p) == 0 ? text.substr(p.size()) : text;
}

// The object's name from the status line "File: DIR/NAME.kvo".
std::string ObjectName(const std::string& status) {
    if (status.empty() || IsPlaceholder(status)) return "";
    std::string file = WithoutPrefix(status, "File: ");
    const size_t slash = file.find_last_of("/\\");
    if (slash != std::string::npos) file.erase(0, slash + 1);
    if (file.size() > 4 && file.compare(file.size() - 4, 4, ".kvo") == 0)
        file.resize(file.size() - 4);
    return file;
}

std::string SceneName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Appends `part` after two spaces when it fits whole, or cut when at least
// kMinimumCutPart columns are left; false once the line is full.
bool AppendPart(std::string& line, const std::string& part, size_t usable) {
    if (part.empty()) return true;
    const size_t used = DisplayWidth(line);
    const size_t gap = line.empty() ? 0 : 2;
    if (used + gap >= usable) return false;
    const size_t room = usable - used - gap;
    const size_t width = DisplayWidth(part);
    if (width > room && room < kMinimumCutPart) return false;
    line += std::string(gap, ' ') + FitToColumns(part, room);
    return width <= room;
}

}  // namespace

std::string FormatProgressLine(const ProgressView& view, size_t columns) {
    const size_t usable = columns > 1 ? columns - 1 : 0;
    // A bar of up to 20 cells, narrower on narrow terminals, none below 12 columns.
    const size_t cells = usable >= 12 ? std::min(kBarCells, (usable + 1) / 4) : 0;
    std::string bar;
    if (cells > 0) {
        const int pos = view.overallPercent < 0     ? 0
                        : view.overallPercent > 100 ? 100
                                                    : view.overallPercent;
        const size_t filled = static_cast<size_t>(pos) * cells / 100;
        bar = "[" + std::string(filled, '#') + std::string(cells - filled, '-') + "] " +
              std::to_string(pos) + "%";
    }
    std::string line;
    if (view.sceneCount > 0) {
        const std::string scene = "scene " + std::to_string(view.sceneNumber) + " of " +
                                  std::to_string(view.sceneCount) + " " + SceneName(view.scene);
        // The scene leaves room for the bar where the terminal is wide enough for both.
        const size_t barRoom = bar.empty() ? 0 : DisplayWidth(bar) + 2;
        const size_t room = usable >= barRoom + 2 * kMinimumCutPart ? usable - barRoom : usable;
        line = FitToColumns(scene, room);
    }
    const std::string details =
        IsPlaceholder(view.details) ? "" : WithoutPrefix(view.details, "Status: ");
    for (const std::string& part : {bar, ObjectName(view.status), details}) {
        if (!AppendPart(line, part, usable)) break;
    }
    return line;
}

std::string FormatImportingLine(const std::string& path, size_t columns) {
    return FitToColumns("importing " + path + " ...", columns > 1 ? columns - 1 : 0);
}

size_t TerminalColumns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kDefaultColumns;
    return size.ws_col;
}

}  // namespace kvocli
