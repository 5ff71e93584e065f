// The headless window stand-in's one state: the window table, focus, the
// posted-message queue, registered modules and the records kept for tests.
// Internal to platform/win32.
#pragma once

#ifndef _WIN32

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/headless.h"
#include "platform/win32/win32_api.h"

// An item list of the folder browser: a chosen folder.
struct _ITEMIDLIST {
    std::string path;
    bool hasPath = false;  // false for a virtual folder
};

namespace headless {
namespace detail {

enum class Kind { Container, Dialog, Static, Edit, Button, Progress, FolderBrowser };

struct Window {
    HWND handle = nullptr;
    Kind kind = Kind::Container;
    std::string className;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    RECT rect = {0, 0, 0, 0};  // relative to the parent for children, else screen
    HWND parent = nullptr;
    HWND owner = nullptr;
    HINSTANCE module = nullptr;
    int templateId = -1;
    DLGPROC dlgProc = nullptr;
    UINT check = BST_UNCHECKED;
    int rangeLow = 0, rangeHigh = 100, pos = 0;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
    bool destroying = false;
    size_t browseRecord = 0;  // FolderBrowser: index into the browse records
    std::vector<HWND> children;
};

struct Module {
    std::string name;
    ResourceTable resources;
};

enum class FolderAnswer { Choose, Cancel, Virtual };

// Handles are kFirstHandle + 4 x the window's slot in State::slots.
constexpr uintptr_t kFirstHandle = 0x10010;
constexpr uintptr_t kHandleStep = 4;

struct State {
    std::map<uintptr_t, std::unique_ptr<Window>> windows;  // owns them, in handle order
    std::vector<Window*> slots;  // by handle, for lookups in constant time; null when gone
    uintptr_t nextHandle = kFirstHandle;
    HWND focus = nullptr;
    std::deque<MSG> queue;
    std::map<HINSTANCE, Module> modules;
    std::string lastResourceError;
    std::vector<MessageBoxRecord> messageBoxes;
    std::function<void(const MessageBoxRecord&)> messageBoxHook;
    std::deque<std::pair<FolderAnswer, std::string>> folderAnswers;
    std::vector<FolderBrowseRecord> folderBrowses;
    std::set<const _ITEMIDLIST*> itemLists;
    bool allocatorAvailable = true;
    int outstandingAllocators = 0;
    int commonControlsInits = 0;
};

// The one state of the stand-in; never destroyed, so windows may still be
// destroyed by static objects at exit. Inline with Find: both run several
// times per exported face.
// A plain pointer, constant-initialised to null before any constructor runs,
// so that the usual call is one load and a test.
extern State* theState;
State& CreateState();
inline State& GetState() {
    State* state = theState;
    return state != nullptr ? *state : CreateState();
}

// The slot of a handle, or SIZE_MAX for a value no window ever had.
inline size_t SlotOf(HWND handle) {
    const uintptr_t id = reinterpret_cast<uintptr_t>(handle);
    if (id < kFirstHandle || (id - kFirstHandle) % kHandleStep != 0) return SIZE_MAX;
    return (id - kFirstHandle) / kHandleStep;
}

// The window behind a handle, or null for a null, stale or unknown handle.
inline Window* Find(HWND handle) {
    const size_t slot = SlotOf(handle);
    const std::vector<Window*>& slots = GetState().slots;
    return slot < slots.size() ? slots[slot] : nullptr;
}
// Adds a window to the table and to its parent's children.
HWND AddWindow(std::unique_ptr<Window> window);
// Removes a window from the table (not from its parent's children).
void RemoveWindow(HWND handle);
// Empties the table; handles given out so far stay stale.
void RemoveAllWindows();
// Whether `window` is `ancestor` or lies inside it (parents, not owners).
bool IsInside(HWND ancestor, HWND window);
// The first enabled, visible control with WS_TABSTOP of a dialog.
HWND FirstTabStop(HWND dialog);
// Sends WM_COMMAND(id, code) from a control to its parent.
void NotifyParent(HWND control, WORD code);

}  // namespace detail
}  // namespace headless

#endif
