// Dismisses the message boxes a plug-in shows, as a user would: a timer of
// the host's own thread (its messages are dispatched by the box's modal
// loop too) finds each box, records its text and caption, and presses OK.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32_api.h"

namespace winhost {

struct MessageBoxRecord {
    std::string caption;
    std::string text;
    bool pressedOk = false;  // it had an OK button and it was clicked
};

class MessageBoxWatcher {
public:
    // `isKnown` tells the host's own dialogs (the progress dialogs) apart.
    explicit MessageBoxWatcher(std::function<bool(HWND)> isKnown);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    bool Started() const { return window_ != nullptr; }
    const std::vector<MessageBoxRecord>& Boxes() const { return boxes_; }

private:
    static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void DismissOpenBoxes();

    std::function<bool(HWND)> isKnown_;
    HWND window_ = nullptr;
    std::vector<MessageBoxRecord> boxes_;
};

}  // namespace winhost
