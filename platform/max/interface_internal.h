// What the headless and the Windows host interface share.
#pragma once

#include <vector>

#include "platform/win32/win32_api.h"

// A registered modeless dialog gets the message first (its keyboard
// handling); otherwise it goes to its window.
void DeliverHostMessage(const std::vector<HWND>& dialogs, MSG& msg);
