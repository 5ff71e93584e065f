// The module's only exported functions: the host asks them for the
// description, the number of classes, each class descriptor and the version.
#include "plugin/kvo_exp_class_desc.h"

#ifdef _WIN32
#define KVOEXP_EXPORT extern "C" __declspec(dllexport)
#else
#define KVOEXP_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Release 9000 in the high 16 bits, API 21 in bits 8-15, SDK revision 0.
constexpr unsigned long kLibVersion = 0x23281500;

KVOEXP_EXPORT const char* LibDescription() {
    return "Valdrin KVO Export";
}

KVOEXP_EXPORT int LibNumberClasses() {
    return 1;
}

KVOEXP_EXPORT ClassDesc* LibClassDesc(int i) {
    return i == 0 ? &theKvoExpClassDesc : nullptr;
}

KVOEXP_EXPORT unsigned long LibVersion() {
    return kLibVersion;
}
