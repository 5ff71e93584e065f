// The window-system calls the plug-in makes. On Windows the real headers;
// elsewhere a headless stand-in with the same names.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#else
#include <cstdint>

typedef int BOOL;
typedef unsigned long DWORD;
typedef unsigned int UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
#define CALLBACK
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#endif
