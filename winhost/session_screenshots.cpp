// Pictures for the documentation: the panel with its three pages open, and
// the progress dialog in the middle of an export (taken from inside the
// run's message pump, then the run is cancelled). The panel shows the default
// options and the output directory given (a neutral one such as C:\Export).
#include "export/export_options.h"
#include "plugin/resource.h"
#include "winhost/check_report.h"
#include "winhost/host_session.h"
#include "winhost/screen_capture.h"
#include "winhost/sessions.h"
#include "winhost/window_queries.h"

namespace winhost {

namespace {

constexpr int kPictureAtPercent = 45;

// The check boxes as a fresh plug-in shows them, in hostdrive's order.
CheckStates DefaultChecks() {
    const ExportOptions d;
    return {d.localize,           d.optimize,       d.upNormals,        d.exportNormals,
            d.exportVertexColors, d.generateShader, d.generateGeometry, d.generateLog};
}

// Lets the windows paint before a picture is taken.
void PumpPending() {
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

int RunScreenshots(const SessionArgs& args) {
    CheckReport report("screenshots");
    HostSession session;
    std::string error;
    if (!report.Expect(session.Open(args.dll, args.config, error), "the panel opens " + error) ||
        !report.Expect(session.LoadScene(args.bigScene, error), "scene " + args.bigScene + error)) {
        return report.Finish();
    }
    session.Panel().ApplyChecks(DefaultChecks());
    CreateDirectoryA(args.output.c_str(), nullptr);  // the export runs into it until cancelled
    session.Panel().SetOutputDir(args.output);
    const HWND panel = session.Host().PanelWindow();
    const HWND aboutHeader = FindChildByText(panel, "Button", "+ About");
    if (aboutHeader != nullptr) SendMessageA(aboutHeader, BM_CLICK, 0, 0);
    report.Expect(IsWindowVisible(session.Panel().AboutPage()), "the About page rolled down");
    PumpPending();
    report.Expect(SaveWindowPicture(panel, args.images + "\\panel.bmp"), "picture of the panel");

    INode* root = session.Host().GetRootNode();
    const std::string big = root->NumberOfChildren() > 1 ? root->GetChildNode(1)->GetName() : "";
    bool taken = false;
    bool cancelled = false;
    session.Host().SetMessagePump([&] {
        const HWND dialog = session.Panel().ProgressDialog();
        const int percent = static_cast<int>(
            SendMessageA(GetDlgItem(dialog, IDC_OBJECT_PROGRESS), PBM_GETPOS, 0, 0));
        if (taken || percent < kPictureAtPercent ||
            DlgItemText(dialog, IDC_EXPORT_STATUS) !=
                "File: " + args.output + "\\" + big + ".kvo") {
            return;
        }
        PumpPending();
        taken = SaveWindowPicture(dialog, args.images + "\\progress.bmp");
        cancelled = PostMessageA(GetDlgItem(dialog, IDC_CANCEL_CLOSE), BM_CLICK, 0, 0) != FALSE;
    });
    session.Panel().PressExport();
    session.Host().SetMessagePump(nullptr);
    report.Expect(taken, "picture of the progress dialog mid-export");
    report.Expect(cancelled, "the export cancelled after the picture");
    session.Close();
    return report.Finish();
}

}  // namespace winhost
