// The shell folder browser behind the panel's "..." button.
#pragma once

#include "platform/win32/win32_api.h"

// Runs the folder browser, opening on the folder in `path`; true when a folder
// with a file-system path was chosen and copied into `path` (MAX_PATH or more).
bool BrowseForFolder(HWND owner, char* path, const char* title);

// The browser's callback: selects the starting folder and shows the selected
// folder's path as status text.
int CALLBACK BrowseCallback(HWND browser, UINT event, LPARAM eventParam, LPARAM data);
