// The module's attach and detach work. On Windows it is the DLL entry point;
// elsewhere the same work runs when the module is loaded and unloaded.
#include "platform/max/max_sdk.h"
#include "platform/win32/win32_api.h"
#include "plugin/module_objects.h"

#ifndef _WIN32
#include <dlfcn.h>

#include "platform/win32/headless.h"
#include "plugin/embedded_resources.h"
#endif

namespace {

// Records the module handle and initialises the controls once; FALSE when the
// module is already attached.
BOOL AttachModule(HINSTANCE module) {
    if (hInstance != nullptr) return FALSE;
    hInstance = module;
#ifndef _WIN32
    // Without a resource compiler the window stand-in builds the dialogs and
    // strings from the module's embedded resource script.
    headless::RegisterModuleResources(hInstance, EmbeddedResourceScript(), EmbeddedResourceHeader(),
                                      nullptr, "kvoexp.dll");
#endif
    if (!controlsInit) {
        controlsInit = true;
        InitCustomControls(hInstance);
        InitCommonControls();
    }
    return TRUE;
}

void DetachModule() {
#ifndef _WIN32
    if (hInstance != nullptr) headless::UnregisterModuleResources(hInstance);
#endif
    hInstance = nullptr;
}

}  // namespace

#ifdef _WIN32

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            return AttachModule(module);
        case DLL_PROCESS_DETACH:
            DetachModule();
            break;
        default:  // thread attach and detach
            break;
    }
    return TRUE;
}

#else

// The module handle is the module's load address, unique while it is loaded.
__attribute__((constructor)) static void OnModuleLoad() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OnModuleLoad), &info) == 0) return;
    AttachModule(static_cast<HINSTANCE>(info.dli_fbase));
}

__attribute__((destructor)) static void OnModuleUnload() {
    DetachModule();
}

#endif
