// The exporter's export operations; each hands off to the pipeline in export/.
#include "export/export_run.h"
#include "export/preprocess.h"
#include "plugin/kvo_exporter.h"

void KVOExporter::DoExport(HWND panel) {
    exporter::DoExport(*this, panel);
}

void KVOExporter::ReleaseNodes() {
    exporter::ReleaseNodes(*this);
}
