#include "cli/run_observer.h"

#include <cstdio>
#include <cstring>

#include "cli/panel_driver.h"

namespace kvocli {

namespace {

constexpr auto kDrawInterval = std::chrono::milliseconds(100);
constexpr size_t kLineWidth = 100;

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

void RunObserver::Begin(HWND dialog, std::vector<ExpectedNode> nodes) {
    dialog_ = dialog;
    status_ = GetDlgItem(dialog, ids::kStatusLine);
    details_ = GetDlgItem(dialog, ids::kDetailsLine);
    label_ = GetDlgItem(dialog, ids::kOverallLabel);
    bar_ = GetDlgItem(dialog, ids::kOverallBar);
    button_ = GetDlgItem(dialog, ids::kProgressButton);
    nodes_ = std::move(nodes);
    spanPath_.clear();
    inSpan_ = false;
    done_ = surplus_ = 0;
    cancelClicked_ = false;
    lastDraw_ = {};
}

void RunObserver::Pump() {
    if (interrupted_ && *interrupted_ && !cancelClicked_ && button_) {
        cancelClicked_ = true;
        SendMessageA(button_, BM_CLICK, 0, 0);
    }
    // A new "File: " line means the node before it has finished, one way or
    // the other; the overall label then holds the count of written nodes.
    char text[600];
    const int n = status_ ? GetWindowTextA(status_, text, sizeof text) : 0;
    if (n > 6 && std::strncmp(text, "File: ", 6) == 0) {
        const size_t len = static_cast<size_t>(n);
        if (!inSpan_ || spanPath_.size() != len - 6 ||
            std::memcmp(spanPath_.data(), text + 6, len - 6) != 0) {
            CloseSpan();
            spanPath_.assign(text + 6, len - 6);
            inSpan_ = true;
        }
    }
    if (draw_) Draw(false);
}

void RunObserver::End() {
    CloseSpan();
    inSpan_ = false;
    if (draw_) ClearLine();
}

void RunObserver::CloseSpan() {
    if (!inSpan_) return;
    uint32_t done = 0, count = 0;
    // A label of another run (not refreshed yet) shows another count or an older total.
    if (!ParseOverallLabel(WindowText(label_), done, count) || count != nodes_.size() ||
        done <= done_) {
        return;
    }
    surplus_ += done - done_;
    done_ = done;
    // Matched to the nodes of this file in order; a path cut short by the
    // dialog's buffer matches the next unmatched node.
    for (ExpectedNode& node : nodes_) {
        if (surplus_ == 0) break;
        if (!node.written && node.path == spanPath_) {
            node.written = true;
            --surplus_;
        }
    }
    for (ExpectedNode& node : nodes_) {
        if (surplus_ == 0) break;
        if (!node.written) {
            node.written = true;
            --surplus_;
        }
    }
}

void RunObserver::Draw(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw_ < kDrawInterval) return;
    lastDraw_ = now;
    const int pos = bar_ ? static_cast<int>(SendMessageA(bar_, PBM_GETPOS, 0, 0)) : 0;
    const int filled = (pos < 0 ? 0 : pos > 100 ? 100 : pos) / 5;
    std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(20 - filled), '-') + "] " +
                       WindowText(label_) + "  " + WindowText(details_) + "  " +
                       WindowText(status_);
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
