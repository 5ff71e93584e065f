// The module-level objects, defined in one translation unit so that they are
// constructed in this order at load and destroyed in reverse at unload: the
// descriptor first, then the exporter, whose generators close their files.
#include "plugin/module_objects.h"

#include "plugin/kvo_exp_class_desc.h"
#include "plugin/kvo_exporter.h"

HINSTANCE hInstance = nullptr;
bool controlsInit = false;

KVOExporter theKVOExporter;
KvoExpClassDesc theKvoExpClassDesc;
