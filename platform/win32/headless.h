// Extras of the headless window stand-in for its owners (tests, the console
// host, the module's load and unload work): module resources, recorded
// message boxes, the scripted folder browser and read-only window lookups.
// Not available on Windows, where the real window system runs.
#pragma once

#ifndef _WIN32

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/resource_script.h"
#include "platform/win32/win32_api.h"

namespace headless {

// ---- Module resources ----------------------------------------------------

// Parses the resource script and its resource.h text and makes their dialog
// templates and string table the resources of `module` (replacing earlier
// ones). On a parse error nothing is registered, the result is false and
// `error` (when given) says where and why. `moduleName` lets
// GetModuleHandleA find the module by name.
bool RegisterModuleResources(HINSTANCE module, const char* resourceScript,
                             const char* resourceHeader, std::string* error = nullptr,
                             const char* moduleName = nullptr);
void UnregisterModuleResources(HINSTANCE module);
// The parsed resources of a module, or null when none are registered.
const ResourceTable* ModuleResources(HINSTANCE module);
// Why the last CreateDialogParamA or RegisterModuleResources failed ("" if none).
std::string LastResourceError();

// ---- Message boxes -------------------------------------------------------

struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
// Every MessageBoxA call, oldest first. Each one answers IDOK.
const std::vector<MessageBoxRecord>& MessageBoxes();
void ClearMessageBoxes();
// Called with each new record (a console host prints them); empty to remove.
void SetMessageBoxHook(std::function<void(const MessageBoxRecord&)> hook);

// ---- Folder browser ------------------------------------------------------

// Answers for the next SHBrowseForFolderA calls, in order. With none queued
// the browser is cancelled.
void QueueFolderChoice(const std::string& path);  // the user picks this folder
void QueueFolderCancel();                         // the user cancels
void QueueVirtualFolderChoice();                  // an item without a file-system path
void ClearFolderQueue();
// Whether SHGetMalloc succeeds (true by default).
void SetShellAllocatorAvailable(bool available);

struct FolderBrowseRecord {
    HWND owner;
    std::string title;
    UINT flags;
    bool hadCallback;
    // Messages the callback sent to the browser window: BFFM_SETSELECTIONA
    // (wParam TRUE, text the path), BFFM_SETSTATUSTEXTA (text), others.
    struct Sent {
        UINT message;
        WPARAM wParam;
        std::string text;
    };
    std::vector<Sent> sent;
    bool chosen;  // an item list was returned
};
const std::vector<FolderBrowseRecord>& FolderBrowses();
void ClearFolderBrowses();
// Item lists handed out by SHBrowseForFolderA and not yet freed through IMalloc.
int OutstandingItemLists();
// SHGetMalloc allocators handed out and not yet released.
int OutstandingAllocators();

// ---- Window lookups ------------------------------------------------------

// A snapshot of one window. Positions and sizes are in dialog units (the
// stand-in maps one dialog unit to one pixel), relative to the parent's
// client area for child windows and to the screen for top-level ones.
struct WindowInfo {
    bool exists = false;
    std::string className;  // "#32770" for dialogs, "Static", "Edit", "Button", PROGRESS_CLASS
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;  // control id
    RECT rect = {0, 0, 0, 0};
    bool enabled = false;
    bool visible = false;   // its own WS_VISIBLE, not its ancestors'
    HWND parent = nullptr;  // child windows
    HWND owner = nullptr;   // top-level windows
    HINSTANCE module = nullptr;
    int templateId = -1;  // dialogs made from a template
    UINT check = BST_UNCHECKED;
    int rangeLow = 0, rangeHigh = 100, pos = 0;  // progress bars
    bool dialogEnded = false;                    // EndDialog was called
    INT_PTR dialogResult = 0;
    std::vector<HWND> children;  // in creation order
};
WindowInfo Inspect(HWND window);
// Live windows, in creation order.
std::vector<HWND> AllWindows();
// Messages posted and not yet taken by PeekMessageA.
size_t PendingMessages();
// Calls of InitCommonControls and InitCommonControlsEx so far.
int CommonControlsInitCount();

// Destroys every window (WM_DESTROY as usual), drops posted messages and
// clears every record, queue and registered module: a clean slate.
void Reset();

}  // namespace headless

#endif
