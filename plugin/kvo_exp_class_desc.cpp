#include "plugin/kvo_exp_class_desc.h"

#include "plugin/kvo_exporter.h"
#include "plugin/module_objects.h"
#include "plugin/resource.h"

namespace {
// Holds the class name as last loaded from the string table.
char classNameBuffer[256];
}  // namespace

int KvoExpClassDesc::IsPublic() {
    return 1;
}

// Always the one static utility object; nothing is allocated.
void* KvoExpClassDesc::Create(BOOL /*loading*/) {
    return &theKVOExporter;
}

// Loads the name anew on each call; null without a module or without the string.
const char* KvoExpClassDesc::ClassName() {
    if (hInstance == nullptr) return nullptr;
    if (LoadStringA(hInstance, IDS_CLASS_NAME, classNameBuffer, sizeof classNameBuffer) <= 0) {
        return nullptr;
    }
    return classNameBuffer;
}

SClass_ID KvoExpClassDesc::SuperClassID() {
    return UTILITY_CLASS_ID;
}

Class_ID KvoExpClassDesc::ClassID() {
    return Class_ID(kKvoExpClassIdA, kKvoExpClassIdB);
}

const char* KvoExpClassDesc::Category() {
    return "";
}
