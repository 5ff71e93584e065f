// The class descriptor through which the host lists the utility and gets the
// one utility object.
#pragma once

#include "platform/max/max_sdk.h"

// Class identity of the utility.
constexpr unsigned long kKvoExpClassIdA = 0x85148e0b;
constexpr unsigned long kKvoExpClassIdB = 0x4a23450c;

class KvoExpClassDesc : public ClassDesc {
public:
    ~KvoExpClassDesc() override = default;
    int IsPublic() override;
    void* Create(BOOL loading = FALSE) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const char* Category() override;
};

// The module's one class descriptor (module_objects.cpp).
extern KvoExpClassDesc theKvoExpClassDesc;
