// Session 3: one export of a scene with the check boxes given on the command
// line, pressed on the real panel; the files are compared by the caller.
#include "plugin/resource.h"
#include "winhost/check_report.h"
#include "winhost/host_session.h"
#include "winhost/sessions.h"
#include "winhost/window_queries.h"

namespace winhost {

int RunExportSession(const SessionArgs& args) {
    CheckReport report("export");
    HostSession session;
    std::string error;
    if (!report.Expect(session.Open(args.dll, args.config, error), "the panel opens " + error) ||
        !report.Expect(session.LoadScene(args.scene, error), "scene " + args.scene + " " + error)) {
        return report.Finish();
    }
    const std::vector<std::string> refused = session.Panel().ApplyChecks(args.checks);
    report.Expect(refused.empty(), "every check box takes the requested state");
    session.Panel().SetOutputDir(args.output);
    session.Panel().PressExport();

    const HWND dialog = session.Panel().ProgressDialog();
    report.Expect(dialog != nullptr && IsWindowVisible(dialog),
                  "the progress dialog is on screen after the run");
    report.ExpectText(DlgItemText(dialog, IDC_DETAILS), "Status: Done!", "details line");
    report.ExpectText(DlgItemText(dialog, IDC_EXPORT_STATUS), "", "status line");
    report.ExpectText(DlgItemText(dialog, IDC_CANCEL_CLOSE), "Close", "the dialog's button");
    report.Expect(SendMessageA(GetDlgItem(dialog, IDC_OVERALL_PROGRESS), PBM_GETPOS, 0, 0) == 100,
                  "the overall bar is full");
    report.Expect(session.MessageBoxes().empty(), "no message box");
    session.Panel().Click(dialog, IDC_CANCEL_CLOSE);
    report.Expect(!IsWindowVisible(dialog), "Close hides the progress dialog");
    // Unloading the DLL closes its side files; geometry.ini gets its last line.
    session.Close();
    return report.Finish();
}

}  // namespace winhost
