// Module-level state shared by the entry point, the class descriptor and the
// panel: the module handle and the controls flag. The two static objects are
// declared beside their classes (kvo_exporter.h, kvo_exp_class_desc.h).
#pragma once

#include "platform/win32/win32_api.h"

// The module's instance handle: set when the module is attached, null after
// it is detached. Dialog templates and strings are loaded through it.
extern HINSTANCE hInstance;

// Set once the host's custom controls and the common controls are initialised.
extern bool controlsInit;
