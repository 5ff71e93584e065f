// The modeless progress dialog: its texts and bars during a run, the Cancel
// and Close button, and the cancellation poll of the export run.
#include <charconv>
#include <climits>
#include <string>

#include "plugin/kvo_exporter.h"
#include "plugin/resource.h"

namespace {

// done / total x 100 in double precision, truncated toward zero; 0 without a
// total, and never beyond what an int holds.
int Percentage(uint32_t done, uint32_t total) {
    if (total == 0) return 0;
    const double quotient = static_cast<double>(done) / static_cast<double>(total);
    const double percent = quotient * 100.0;
    if (percent >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(percent);
}

// "Total Progress: %i%% (%i of %i)" as snprintf would write it, without its
// format parsing: the label is refreshed once per face.
void FormatOverallLabel(char* out, size_t size, int percent, int done, int count) {
    char* at = out;
    char* const end = out + size - 1;  // room for the terminator
    const auto text = [&](const char* s) {
        for (; *s != '\0' && at < end; ++s) *at++ = *s;
    };
    const auto number = [&](int value) {
        char digits[16];
        const auto written = std::to_chars(digits, digits + sizeof digits, value);
        for (const char* d = digits; d < written.ptr && at < end; ++d) *at++ = *d;
    };
    text("Total Progress: ");
    number(percent);
    text("% (");
    number(done);
    text(" of ");
    number(count);
    text(")");
    *at = '\0';
}

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

void KVOExporter::RefreshProgress() {
    const int objectPercent = Percentage(objectStepsDone, objectSteps);
    const int runPercent = Percentage(objectsDone, objectCount);
    long long overall = runPercent;
    if (objectCount != 0) overall += static_cast<uint32_t>(objectPercent) / objectCount;
    const int overallPercent = overall > INT_MAX ? INT_MAX : static_cast<int>(overall);
    char label[96];
    FormatOverallLabel(label, sizeof label, overallPercent, static_cast<int>(objectsDone),
                       static_cast<int>(objectCount));
    SetWindowTextA(hOverallText, label);
    SendMessageA(hObjectBar, PBM_SETPOS, static_cast<WPARAM>(objectPercent), 0);
    SendMessageA(hOverallBar, PBM_SETPOS, static_cast<WPARAM>(overallPercent), 0);
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
