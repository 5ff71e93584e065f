// The modeless progress dialog: its texts and bars during a run, the Cancel
// and Close button, and the cancellation poll of the export run.
#include <string>

#include "plugin/kvo_exporter.h"
#include "plugin/resource.h"

namespace {

// The end state the run's finish and a cancel share: status line empty,
// details "Status: " and the message, button "Close", overall bar full.
void ShowFinished(KVOExporter& exporter, const char* message) {
    SetDlgItemTextA(exporter.hProgressDlg, IDC_EXPORT_STATUS, "");
    const std::string details = std::string("Status: ") + (message != nullptr ? message : "");
    exporter.SetDetailText(details.c_str());
    SetDlgItemTextA(exporter.hProgressDlg, IDC_CANCEL_CLOSE, "Close");
    SendMessageA(exporter.hOverallBar, PBM_SETPOS, 100, 0);
}

}  // namespace

// Created hidden from the owner page's module, centred over the page by its
// WM_INITDIALOG, and registered with the host so it gets its messages.
void KVOExporter::CreateProgressDialog(HWND owner) {
    const HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    hProgressDlg =
        CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_PROGRESS), owner, ProgressDlgProc, 0);
    if (ip != nullptr && hProgressDlg != nullptr) ip->RegisterDlgWnd(hProgressDlg);
    if (hProgressDlg != nullptr) pageProgressDialogs_.emplace_back(owner, hProgressDlg);
    objectCount = 0;
    objectsDone = 0;
}

void KVOExporter::ShowProgress() {
    ShowWindow(hProgressDlg, SW_SHOWNORMAL);
    SetDlgItemTextA(hProgressDlg, IDC_CANCEL_CLOSE, "Cancel");
    hObjectBar = GetDlgItem(hProgressDlg, IDC_OBJECT_PROGRESS);
    SendMessageA(hObjectBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(hObjectBar, PBM_SETPOS, 0, 0);
    hStatusText = GetDlgItem(hProgressDlg, IDC_EXPORT_STATUS);
    ShowWindow(hStatusText, SW_SHOW);
    hOverallBar = GetDlgItem(hProgressDlg, IDC_OVERALL_PROGRESS);
    SendMessageA(hOverallBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(hOverallBar, PBM_SETPOS, 0, 0);
    hOverallText = GetDlgItem(hProgressDlg, IDC_OVERALL_TEXT);
    ShowWindow(hOverallText, SW_SHOW);
    UpdateWindow(hProgressDlg);
}

void KVOExporter::SetDetailText(const char* text) {
    SetDlgItemTextA(hProgressDlg, IDC_DETAILS, text != nullptr ? text : "");
}

// The extra steps are the face count times the single-precision 0.1 widened
// to double, truncated.
void KVOExporter::BeginObject(uint32_t faceCount) {
    const double tenth = static_cast<double>(0.1f);
    objectExtraSteps = static_cast<uint32_t>(static_cast<double>(faceCount) * tenth);
    objectSteps = faceCount + objectExtraSteps;
    objectStepsDone = 0;
}

void KVOExporter::StepProgress(uint32_t steps) {
    objectStepsDone += steps;
    RefreshProgress();
}

void KVOExporter::NextObject() {
    objectsDone += 1;
    objectStepsDone = 0;
    RefreshProgress();
}

// Every call sets the label and both bars; the numbers are worked out again
// only when the counters leave the range that gave the last ones.
void KVOExporter::RefreshProgress() {
    const progress::ProgressMemo::Result r =
        progressMemo_.Refresh(objectStepsDone, objectSteps, objectsDone, objectCount);
    SetWindowTextA(hOverallText, r.label);
    SendMessageA(hObjectBar, PBM_SETPOS, static_cast<WPARAM>(r.objectPercent), 0);
    SendMessageA(hOverallBar, PBM_SETPOS, static_cast<WPARAM>(r.overallPercent), 0);
}

// The host dispatches pending messages here, so the dialog's button and the
// panel are serviced in the middle of a run.
bool KVOExporter::IsCancelled() {
    if (ip != nullptr) ip->ProcessMessages();
    return !running;
}

void KVOExporter::FinishProgress(const char* message) {
    ShowFinished(*this, message);
    ReleaseNodes();
    running = false;
}

// The interrupted run still iterates the prepared nodes and releases them
// itself once its loop has returned.
void KVOExporter::CancelExport() {
    if (!running) return;
    objectsDone = objectCount;
    ShowFinished(*this, "Canceled.");
    running = false;
}

// The control handles go with the dialog, so nothing later touches them.
void KVOExporter::DestroyProgressDialog() {
    DestroyWindow(hProgressDlg);
    hProgressDlg = nullptr;
    hObjectBar = nullptr;
    hStatusText = nullptr;
    hOverallBar = nullptr;
    hOverallText = nullptr;
}

void KVOExporter::DestroyPageProgressDialog(HWND page) {
    for (auto it = pageProgressDialogs_.begin(); it != pageProgressDialogs_.end();) {
        if (it->first != page) {
            ++it;
            continue;
        }
        if (IsWindow(it->second)) DestroyWindow(it->second);
        if (hProgressDlg == it->second) DestroyProgressDialog();
        it = pageProgressDialogs_.erase(it);
    }
}

INT_PTR CALLBACK KVOExporter::ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                              LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG:
            CenterWindow(dialog, GetParent(dialog));
            return TRUE;
        case WM_COMMAND:
            // Cancel during a run, Close afterwards; Enter, Esc and the close box do nothing.
            if (LOWORD(wParam) == IDC_CANCEL_CLOSE) {
                if (theKVOExporter.running) {
                    theKVOExporter.CancelExport();
                } else {
                    EndDialog(dialog, 1);
                }
            }
            return TRUE;
        default:
            return FALSE;
    }
}
