// The module-level objects the plug-in's code refers to; in the module they
// are defined by the module's own sources, which these tests do not link.
#include "plugin/kvo_exporter.h"
#include "plugin/module_objects.h"

HINSTANCE hInstance = nullptr;
KVOExporter theKVOExporter;
