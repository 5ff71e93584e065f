#include "cli/run_observer.h"

#include <cstdio>

#include "hostdrive/panel_driver.h"
#include "plugin/resource.h"

namespace kvocli {

namespace {

constexpr auto kDrawInterval = std::chrono::milliseconds(100);
// The pump runs once per face and corner: even reading the clock would cost
// more than everything else it does, so it looks only every so many calls.
constexpr unsigned kCallsPerClockRead = 256;
constexpr size_t kLineWidth = 110;

std::string Clip(const std::string& text, size_t width) {
    return text.size() <= width ? text : text.substr(0, width - 3) + "...";
}

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

void RunObserver::Pump() {
    if (interrupted_ && *interrupted_ && !cancelClicked_ && dialog_) {
        cancelClicked_ = true;
        SendMessageA(GetDlgItem(dialog_, IDC_CANCEL_CLOSE), BM_CLICK, 0, 0);
    }
    if (!draw_ || ++callsSinceClock_ < kCallsPerClockRead) return;
    callsSinceClock_ = 0;
    if (std::chrono::steady_clock::now() - lastDraw_ >= kDrawInterval) Draw();
}

void RunObserver::End() {
    if (draw_) ClearLine();
}

std::string RunObserver::OverallLabel() const {
    return hostdrive::WindowText(GetDlgItem(dialog_, IDC_OVERALL_TEXT));
}

void RunObserver::Draw() {
    lastDraw_ = std::chrono::steady_clock::now();
    const HWND bar = GetDlgItem(dialog_, IDC_OVERALL_PROGRESS);
    const int pos = bar ? static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)) : 0;
    const int filled = (pos < 0 ? 0 : pos > 100 ? 100 : pos) / 5;
    const std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                             std::string(static_cast<size_t>(20 - filled), '-') + "] " +
                             OverallLabel() + "  " +
                             hostdrive::WindowText(GetDlgItem(dialog_, IDC_DETAILS)) + "  " +
                             hostdrive::WindowText(GetDlgItem(dialog_, IDC_EXPORT_STATUS));
    std::fprintf(stderr, "\r\033[K%s", Clip(line, kLineWidth).c_str());
    std::fflush(stderr);
    lineShown_ = true;
}

void RunObserver::ClearLine() {
    if (!lineShown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    lineShown_ = false;
}

}  // namespace kvocli
