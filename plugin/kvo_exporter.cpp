// Construction and destruction of the utility object, and the adapters
// through which the export pipeline reaches the host and the dialogs.
#include "plugin/kvo_exporter.h"

#include <cstdio>

#include "export/record_tables.h"
#include "plugin/resource.h"

// Pointers, handles, counters and flags start from their member
// initialisers; the generators follow in declaration order; the output
// directory buffer comes last, zero-filled.
KVOExporter::KVOExporter() {
    outputDir = new char[kOutputDirSize]();
}

KVOExporter::~KVOExporter() {
    delete[] outputDir;
    outputDir = nullptr;
}

exporter::RecordTables* KVOExporter::KeptTables() {
    if (!keptTables_) keptTables_ = std::make_unique<exporter::RecordTables>();
    return keptTables_.get();
}

INode* KVOExporter::SceneRoot() {
    return ip != nullptr ? ip->GetRootNode() : nullptr;
}

bool KVOExporter::HostCancelFlag() {
    return ip != nullptr && ip->GetCancel() != FALSE;
}

void KVOExporter::ShowError(HWND owner, const char* text) {
    MessageBoxA(owner, text, "Error", MB_OK);
}

// The status line holds at most 511 characters, as its 512-byte buffer does.
void KVOExporter::SetStatusText(const char* text) {
    char line[512];
    std::snprintf(line, sizeof line, "%s", text != nullptr ? text : "");
    SetDlgItemTextA(hProgressDlg, IDC_EXPORT_STATUS, line);
}
