// Session 4: the run's two error messages in real message boxes, and Cancel
// pressed on the real progress dialog in the middle of a node: the click is
// a posted BM_CLICK that the host's message pump delivers inside the run.
#include "kvo/kvo_temp_name.h"
#include "plugin/resource.h"
#include "winhost/check_report.h"
#include "winhost/host_session.h"
#include "winhost/output_files.h"
#include "winhost/sessions.h"
#include "winhost/window_queries.h"

namespace winhost {

namespace {

constexpr int kCancelAtPercent = 30;  // of the node being assembled

bool HasTemporaryFile(const std::string& dir) {
    for (const std::string& name : FilesIn(dir)) {
        if (kvo::IsTemporaryName(name.c_str())) return true;
    }
    return false;
}

// Presses Export and expects exactly one new message box with this text.
void ExpectErrorBox(CheckReport& report, HostSession& session, const std::string& text,
                    const std::string& situation) {
    const size_t before = session.MessageBoxes().size();
    session.Panel().PressExport();
    const std::vector<MessageBoxRecord>& boxes = session.MessageBoxes();
    if (!report.Expect(boxes.size() == before + 1, situation + ": one message box")) return;
    report.ExpectText(boxes.back().text, text, situation + ": its text");
    report.ExpectText(boxes.back().caption, "Error", situation + ": its caption");
    report.Expect(boxes.back().pressedOk, situation + ": it had an OK button, and OK was pressed");
    report.Expect(!IsWindowVisible(session.Panel().ProgressDialog()),
                  situation + ": the progress dialog stays hidden");
}

void SelectRootChildren(Interface& host, bool selected) {
    INode* root = host.GetRootNode();
    for (int i = 0; root != nullptr && i < root->NumberOfChildren(); ++i) {
        root->GetChildNode(i)->SetSelected(selected);
    }
}

void CheckErrorMessages(CheckReport& report, HostSession& session, const SessionArgs& args) {
    session.Panel().SetOutputDir("");
    ExpectErrorBox(report, session, "Please specify valid output path!", "empty output directory");
    session.Panel().SetOutputDir(args.output + "\\missing");
    ExpectErrorBox(report, session, "Please specify valid output path!",
                   "output directory that does not exist");
    SelectRootChildren(session.Host(), false);
    session.Panel().SetOutputDir(args.output);
    ExpectErrorBox(report, session, "Please select objects to export!", "nothing selected");
    SelectRootChildren(session.Host(), true);
    session.Panel().SetOutputDir("");
    ExpectErrorBox(report, session, "Please specify valid output path!",
                   "no path and nothing selected: the path message alone");
    report.Expect(FilesIn(args.output).empty(), "the failed runs wrote nothing");
}

// Watches the run from inside IsCancelled: once the second node is partly
// assembled, posts a click on Cancel; the next call sees whether it was
// handled by then.
struct CancelClicker {
    HostSession* session = nullptr;
    std::string bigFile;  // the status line's path of the node to cancel
    bool posted = false;
    int pumpsAfterClick = 0;
    std::string detailsAfterClick;
    int percentAtClick = 0;

    void Pump() {
        const HWND dialog = session->Panel().ProgressDialog();
        if (posted) {
            if (pumpsAfterClick++ == 0) detailsAfterClick = DlgItemText(dialog, IDC_DETAILS);
            return;
        }
        const int percent = static_cast<int>(
            SendMessageA(GetDlgItem(dialog, IDC_OBJECT_PROGRESS), PBM_GETPOS, 0, 0));
        if (DlgItemText(dialog, IDC_EXPORT_STATUS) == "File: " + bigFile &&
            percent >= kCancelAtPercent) {
            PostMessageA(GetDlgItem(dialog, IDC_CANCEL_CLOSE), BM_CLICK, 0, 0);
            posted = true;
            percentAtClick = percent;
        }
    }
};

void CheckCancel(CheckReport& report, HostSession& session, const SessionArgs& args) {
    std::string error;
    if (!report.Expect(session.LoadScene(args.bigScene, error), "scene " + args.bigScene + error)) {
        return;
    }
    INode* root = session.Host().GetRootNode();
    if (!report.Expect(root->NumberOfChildren() == 3, "the large scene has three nodes")) return;
    const std::string first = root->GetChildNode(0)->GetName();
    const std::string big = root->GetChildNode(1)->GetName();
    const std::string after = root->GetChildNode(2)->GetName();
    CheckStates states{-1, -1, -1, -1, -1, -1, 1, 1};  // geometry.ini and the log on
    report.Expect(session.Panel().ApplyChecks(states).empty(),
                  "log and geometry.ini boxes checked");

    CancelClicker clicker;
    clicker.session = &session;
    clicker.bigFile = args.output + "\\" + big + ".kvo";
    session.Host().SetMessagePump([&clicker] { clicker.Pump(); });
    session.Panel().SetOutputDir(args.output);
    session.Panel().PressExport();
    session.Host().SetMessagePump(nullptr);

    report.Expect(clicker.posted, "Cancel clicked while '" + big + "' was being assembled, at " +
                                      std::to_string(clicker.percentAtClick) + "%");
    report.ExpectText(clicker.detailsAfterClick, "Status: Canceled.",
                      "the click was handled inside the run's IsCancelled (details at the next "
                      "poll)");
    const HWND dialog = session.Panel().ProgressDialog();
    report.ExpectText(DlgItemText(dialog, IDC_DETAILS), "Status: Canceled.", "details line");
    report.ExpectText(DlgItemText(dialog, IDC_EXPORT_STATUS), "", "status line");
    report.ExpectText(DlgItemText(dialog, IDC_CANCEL_CLOSE), "Close", "the dialog's button");
    report.Expect(IsWindowVisible(dialog), "the dialog stays on screen");
    report.Expect(FileExists(args.output + "\\" + first + ".kvo"),
                  "the node before the cancel was written");
    report.Expect(!FileExists(args.output + "\\" + big + ".kvo") &&
                      !HasTemporaryFile(args.output),
                  "no file for the node in progress");
    report.Expect(!FileExists(args.output + "\\" + after + ".kvo"),
                  "no file for the node after it");
    session.Panel().Click(dialog, IDC_CANCEL_CLOSE);
    report.Expect(!IsWindowVisible(dialog), "Close then hides the dialog");
    session.Close();

    const std::string log = ReadWholeFile(args.output + "\\kvoexp_log.txt");
    report.Expect(
        log.find(WithCrLf("Node '" + big + "' export canceled\n")) != std::string::npos &&
            log.find(WithCrLf("Node '" + after + "' export canceled\n")) != std::string::npos,
        "the log has the cancel lines of the node in progress and of the next one");
    report.Expect(log.find("Successfully created KVO '" + args.output + "\\" + first + ".kvo'") !=
                      std::string::npos,
                  "the log has the first node's success line");
    report.Expect(ReadWholeFile(args.output + "\\geometry.ini").find(big) == std::string::npos,
                  "geometry.ini does not name the cancelled node");
}

}  // namespace

int RunErrorsSession(const SessionArgs& args) {
    CheckReport report("errors");
    const std::string settingsPath = args.config + "\\kvoexp.cfg";
    const std::string settingsBefore = ReadWholeFile(settingsPath);
    HostSession session;
    std::string error;
    if (!report.Expect(session.Open(args.dll, args.config, error), "the panel opens " + error) ||
        !report.Expect(session.LoadScene(args.scene, error), "scene " + args.scene + " " + error)) {
        return report.Finish();
    }
    CheckErrorMessages(report, session, args);
    CheckCancel(report, session, args);
    session.Close();
    report.Expect(ReadWholeFile(settingsPath) == settingsBefore,
                  "kvoexp.cfg is unchanged: no run completed");
    return report.Finish();
}

}  // namespace winhost
