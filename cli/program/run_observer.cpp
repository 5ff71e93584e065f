#include "cli/program/run_observer.h"

#include <cstdio>

#include "cli/program/progress_line.h"
#include "hostdrive/panel_driver.h"
#include "plugin/resource.h"

namespace kvocli {

namespace {

constexpr auto kDrawInterval = std::chrono::milliseconds(100);

}  // namespace

bool ParseOverallLabel(const std::string& text, uint32_t& done, uint32_t& count) {
    const size_t open = text.rfind('(');
    if (open == std::string::npos) return false;
    unsigned long a = 0, b = 0;
    char close = 0;
    if (std::sscanf(text.c_str() + open, "(%lu of %lu%c", &a, &b, &close) != 3 || close != ')') {
        return false;
    }
    if (a > 0xffffffffUL || b > 0xffffffffUL) return false;
    done = static_cast<uint32_t>(a);
    count = static_cast<uint32_t>(b);
    return true;
}

void RunObserver::Begin(HWND dialog) {
    dialog_ = dialog;
    cancelClicked_ = false;
    callsSinceClock_ = 0;
    lastDraw_ = std::chrono::steady_clock::now();
}

void RunObserver::PumpSlow() {
    if (interrupted_ && *interrupted_ && !cancelClicked_ && dialog_) {
        cancelClicked_ = true;
        SendMessageA(GetDlgItem(dialog_, IDC_CANCEL_CLOSE), BM_CLICK, 0, 0);
    }
    if (!draw_ || callsSinceClock_ < kCallsPerClockRead) return;
    callsSinceClock_ = 0;
    if (std::chrono::steady_clock::now() - lastDraw_ >= kDrawInterval) Draw();
}

void RunObserver::End() {
    if (draw_) ClearLine();
}

std::string RunObserver::OverallLabel() const {
    return hostdrive::WindowText(GetDlgItem(dialog_, IDC_OVERALL_TEXT));
}

// The terminal's width is asked at every draw, so a resized window gets
// lines of its new width at once.
void RunObserver::Draw() {
    lastDraw_ = std::chrono::steady_clock::now();
    ProgressView view;
    const HWND bar = GetDlgItem(dialog_, IDC_OVERALL_PROGRESS);
    view.overallPercent = bar ? static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)) : 0;
    view.overallLabel = OverallLabel();
    view.details = hostdrive::WindowText(GetDlgItem(dialog_, IDC_DETAILS));
    view.status = hostdrive::WindowText(GetDlgItem(dialog_, IDC_EXPORT_STATUS));
    view.sceneNumber = sceneNumber_;
    view.sceneCount = sceneCount_;
    view.scene = scenePath_;
    const std::string line = FormatProgressLine(view, TerminalColumns(fileno(terminal_)));
    std::fprintf(terminal_, "\r\033[K%s", line.c_str());
    std::fflush(terminal_);
    lineShown_ = true;
}

void RunObserver::ClearLine() {
    if (!lineShown_) return;
    std::fprintf(terminal_, "\r\033[K");
    std::fflush(terminal_);
    lineShown_ = false;
}

}  // namespace kvocli
