// Records of the host stand-in's module-level operations, for tests.
#pragma once

#include "platform/win32/win32_api.h"

// Calls of InitCustomControls so far and the module handle of the last one.
int CustomControlsInitCount();
HINSTANCE LastCustomControlsModule();
