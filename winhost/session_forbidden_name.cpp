// Session 5: nodes whose names hold characters Windows forbids in file
// names (or name a device): their saves fail with the log's error lines, the run goes on, and
// no other file appears.
#include <cctype>
#include <set>

#include "plugin/resource.h"
#include "winhost/check_report.h"
#include "winhost/host_session.h"
#include "winhost/output_files.h"
#include "winhost/sessions.h"
#include "winhost/window_queries.h"

namespace winhost {

namespace {

// Names Windows refuses as file names: reserved characters, or a device
// name before the first dot.
bool Forbidden(const std::string& name) {
    if (name.find_first_of("<>:\"/\\|?*") != std::string::npos) return true;
    std::string base = name.substr(0, name.find('.'));
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const std::set<std::string> kDevices = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    return kDevices.count(base) > 0;
}

}  // namespace

int RunForbiddenNameSession(const SessionArgs& args) {
    CheckReport report("forbidden");
    HostSession session;
    std::string error;
    if (!report.Expect(session.Open(args.dll, args.config, error), "the panel opens " + error) ||
        !report.Expect(session.LoadScene(args.scene, error), "scene " + args.scene + " " + error)) {
        return report.Finish();
    }
    std::set<std::string> expectedFiles{"kvoexp_log.txt"};
    std::vector<std::string> badNames;
    INode* root = session.Host().GetRootNode();
    for (int i = 0; i < root->NumberOfChildren(); ++i) {
        const std::string name = root->GetChildNode(i)->GetName();
        if (Forbidden(name)) {
            badNames.push_back(name);
        } else {
            expectedFiles.insert(name + ".kvo");
        }
    }
    report.Expect(!badNames.empty() && expectedFiles.size() > 1,
                  "the scene has nodes with forbidden and with plain names");
    CheckStates states{-1, -1, -1, -1, -1, 0, 0, 1};  // the log alone
    report.Expect(session.Panel().ApplyChecks(states).empty(), "only the log box checked");
    session.Panel().SetOutputDir(args.output);
    session.Panel().PressExport();
    report.ExpectText(DlgItemText(session.Panel().ProgressDialog(), IDC_DETAILS), "Status: Done!",
                      "the run completes");
    report.Expect(session.MessageBoxes().empty(), "no message box");
    session.Close();

    const std::string log = ReadWholeFile(args.output + "\\kvoexp_log.txt");
    for (const std::string& name : badNames) {
        const std::string lines = "\tERROR: Failed to save KVO '" + args.output + "\\" + name +
                                  ".kvo'.\n\nNode '" + name + "' export canceled\n";
        report.Expect(log.find(WithCrLf(lines)) != std::string::npos,
                      "the log has the save error and the cancel line of '" + name + "'");
    }
    const std::set<std::string> files = FilesIn(args.output);
    std::string listing;
    for (const std::string& file : files) listing += " " + file;
    report.Expect(files == expectedFiles,
                  "the output directory holds the plain nodes' files and the log only:" + listing);
    return report.Finish();
}

}  // namespace winhost
