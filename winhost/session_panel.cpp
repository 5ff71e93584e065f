// Session 2: the panel as the real dialog manager builds it from the DLL's
// templates: pages, sizes in dialog units, controls and texts, the settings
// file, Normals and Up Normals, and the accelerators switched by the focus.
#include <cstdio>

#include "plugin/resource.h"
#include "winhost/check_report.h"
#include "winhost/host_session.h"
#include "winhost/output_files.h"
#include "winhost/sessions.h"
#include "winhost/window_queries.h"

namespace winhost {

namespace {

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    int x, y, width, height;
    DWORD style;  // style bits the template gives the control
    bool border = false;
};

constexpr ExpectedControl kOutputPageControls[] = {
    {IDC_OUTPUT_DIR, "Edit", nullptr, 4, 12, 84, 12, WS_TABSTOP | ES_AUTOHSCROLL, true},
    {IDC_BROWSE, "Button", "...", 90, 12, 14, 12, WS_TABSTOP},
    {IDC_EXPORT, "Button", "Export", 4, 29, 100, 13, WS_TABSTOP},
};

constexpr ExpectedControl kOptionsPageControls[] = {
    {IDC_LOCALIZE, "Button", "Localize", 6, 6, 42, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_OPTIMIZE, "Button", "Optimize", 6, 18, 42, 11, BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_NORMALS, "Button", "Normals", 6, 35, 41, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_UP_NORMALS, "Button", "Up Normals", 48, 35, 54, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_VERTEX_COLORS, "Button", "Vertex Colors", 6, 48, 57, 8, BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_GENERATE_SHADER, "Button", "Generate Basic Shader", 6, 65, 89, 8,
     BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_GENERATE_GEOMETRY, "Button", "Generate 'geometry.ini'", 6, 77, 87, 10,
     BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_GENERATE_LOG, "Button", "Generate Log", 6, 89, 59, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
};

// A progress bar draws its own frame (themed or a static edge) in place of
// the template's border, so no border style is checked there.
constexpr ExpectedControl kProgressControls[] = {
    {IDC_EXPORT_STATUS, "Static", "<export status>", 7, 7, 236, 8, SS_LEFTNOWORDWRAP},
    {IDC_DETAILS, "Static", "<details>", 7, 16, 236, 8, SS_LEFTNOWORDWRAP},
    {IDC_OBJECT_PROGRESS, "msctls_progress32", "", 7, 25, 236, 9, 0},
    {IDC_OVERALL_TEXT, "Static", "<overall progress>", 7, 42, 237, 8, SS_LEFTNOWORDWRAP},
    {IDC_OVERALL_PROGRESS, "msctls_progress32", "", 7, 51, 236, 9, 0},
    {IDC_CANCEL_CLOSE, "Button", "Cancel", 193, 73, 50, 14, 0},
};

// The check states the settings file below sets, in the panel's order.
struct SettingLine {
    int id;
    bool checked;
};
constexpr SettingLine kSettingLines[] = {
    {IDC_LOCALIZE, true},          {IDC_OPTIMIZE, false},     {IDC_NORMALS, false},
    {IDC_UP_NORMALS, true},        {IDC_VERTEX_COLORS, true}, {IDC_GENERATE_SHADER, false},
    {IDC_GENERATE_GEOMETRY, true}, {IDC_GENERATE_LOG, false},
};
constexpr char kSettingsDir[] = "C:\\kvoexp\\exports";

std::string RectText(const RECT& r) {
    char text[96];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", static_cast<long>(r.left),
                  static_cast<long>(r.top), static_cast<long>(r.right),
                  static_cast<long>(r.bottom));
    return text;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void CheckControl(CheckReport& report, HWND dialog, const ExpectedControl& wanted) {
    const std::string name = "control " + std::to_string(wanted.id);
    const HWND control = GetDlgItem(dialog, wanted.id);
    if (!report.Expect(control != nullptr, name + " exists")) return;
    report.ExpectText(ClassName(control), wanted.className, name + " class");
    if (wanted.text != nullptr) report.ExpectText(WindowText(control), wanted.text, name + " text");
    const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    report.Expect((style & wanted.style) == wanted.style, name + " style bits");
    if (wanted.border) report.Expect(HasBorder(control), name + " has a border");
    if (std::string(wanted.className) == "Button" && (wanted.style & BS_AUTOCHECKBOX)) {
        report.Expect((style & BS_TYPEMASK) == BS_AUTOCHECKBOX,
                      name + " is an automatic check box");
    }
    const RECT expected =
        DialogUnitsToPixels(dialog, wanted.x, wanted.y, wanted.width, wanted.height);
    const RECT actual = RectInParent(control);
    report.Expect(SameRect(actual, expected),
                  name + " at " + RectText(expected) + " (MapDialogRect of its dialog units)");
}

// The page's size in pixels against its template's size in dialog units.
void CheckPageSize(CheckReport& report, HWND page, const char* title, int width, int height) {
    RECT window{0, 0, 0, 0};
    GetWindowRect(page, &window);
    const RECT expected = DialogUnitsToPixels(page, 0, 0, width, height);
    report.Expect(window.right - window.left == expected.right &&
                      window.bottom - window.top == expected.bottom,
                  std::string("page \"") + title + "\" is " + std::to_string(width) + " x " +
                      std::to_string(height) + " dialog units (" + std::to_string(expected.right) +
                      " x " + std::to_string(expected.bottom) + " pixels)");
}

bool WriteSettings(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "w");  // text mode: CR LF, as the plug-in writes
    if (file == nullptr) return false;
    std::fprintf(file, "%s\n", kSettingsDir);
    for (const SettingLine& line : kSettingLines) std::fputs(line.checked ? "1\n" : "0\n", file);
    return std::fclose(file) == 0;
}

void CheckPages(CheckReport& report, HostSession& session) {
    const std::vector<Interface::RollupPage>& pages = session.Host().RollupPages();
    if (!report.Expect(pages.size() == 3, "three rollup pages")) return;
    const int ids[] = {IDD_OUTPUT, IDD_OPTIONS, IDD_ABOUT};
    const char* titles[] = {"Valdrin KVO Exporter", "Options", "About"};
    const DWORD flags[] = {0, 0, APPENDROLL_CLOSED};
    const HWND panel = session.Host().PanelWindow();
    for (int i = 0; i < 3; ++i) {
        const std::string name = "page " + std::to_string(i + 1);
        report.Expect(pages[i].templateId == ids[i],
                      name + " from template " + std::to_string(ids[i]));
        report.ExpectText(pages[i].title, titles[i], name + " title");
        report.Expect(pages[i].flags == flags[i] && pages[i].category == ROLLUP_CAT_STANDARD,
                      name + " flags and category 4000");
        report.Expect(GetParent(pages[i].window) == panel, name + " is a child of the panel");
    }
    CheckPageSize(report, session.Panel().OutputPage(), "Valdrin KVO Exporter", 108, 47);
    CheckPageSize(report, session.Panel().OptionsPage(), "Options", 108, 107);
    CheckPageSize(report, session.Panel().AboutPage(), "About", 108, 45);

    const RECT output = RectInParent(session.Panel().OutputPage());
    const RECT options = RectInParent(session.Panel().OptionsPage());
    const HWND aboutHeader = FindChildByText(panel, "Button", "+ About");
    report.Expect(options.top > output.bottom, "the Options page is below the output page");
    report.Expect(aboutHeader != nullptr && RectInParent(aboutHeader).top >= options.bottom,
                  "the About page's title \"+ About\" is below the Options page");
    report.Expect(!IsWindowVisible(session.Panel().AboutPage()) &&
                      IsWindowVisible(session.Panel().OptionsPage()),
                  "the About page starts rolled up, the others open");
}

void CheckControls(CheckReport& report, HostSession& session) {
    const HWND outputLabel =
        FindChildByText(session.Panel().OutputPage(), "Static", "Output Directory:");
    report.Expect(outputLabel != nullptr &&
                      SameRect(RectInParent(outputLabel),
                               DialogUnitsToPixels(session.Panel().OutputPage(), 4, 3, 81, 8)),
                  "static \"Output Directory:\" at 4, 3, 81, 8");
    for (const ExpectedControl& control : kOutputPageControls) {
        CheckControl(report, session.Panel().OutputPage(), control);
    }
    for (const ExpectedControl& control : kOptionsPageControls) {
        CheckControl(report, session.Panel().OptionsPage(), control);
    }
    const std::string aboutText = "Valdrin KVO Exporter\n\n";
    HWND about = GetWindow(session.Panel().AboutPage(), GW_CHILD);
    const std::string text = WindowText(about);
    report.Expect(ClassName(about) == "Static" &&
                      text.compare(0, aboutText.size(), aboutText) == 0 && text.size() > 12 &&
                      text.compare(text.size() - 12, 12, "Version:\t0.3") == 0,
                  "the About text: name, empty line, author, \"Version:\\t0.3\"");
    report.Expect(SameRect(RectInParent(about),
                           DialogUnitsToPixels(session.Panel().AboutPage(), 6, 6, 87, 33)),
                  "the About text at 6, 6, 87, 33");
}

void CheckSettingsShown(CheckReport& report, HostSession& session) {
    report.ExpectText(DlgItemText(session.Panel().OutputPage(), IDC_OUTPUT_DIR), kSettingsDir,
                      "the output directory from kvoexp.cfg");
    for (const SettingLine& line : kSettingLines) {
        report.Expect(session.Panel().Checked(line.id) == line.checked,
                      "box " + std::to_string(line.id) +
                          (line.checked ? " checked" : " unchecked") + " as kvoexp.cfg says");
    }
}

void CheckNormalsAndUpNormals(CheckReport& report, HostSession& session) {
    const HWND upNormals = GetDlgItem(session.Panel().OptionsPage(), IDC_UP_NORMALS);
    report.Expect(IsWindowEnabled(upNormals),
                  "Up Normals starts enabled although Normals is unchecked");
    session.Panel().Click(session.Panel().OptionsPage(), IDC_NORMALS);
    report.Expect(session.Panel().Checked(IDC_NORMALS) && IsWindowEnabled(upNormals),
                  "a click checks Normals; Up Normals stays enabled");
    session.Panel().Click(session.Panel().OptionsPage(), IDC_NORMALS);
    report.Expect(!session.Panel().Checked(IDC_NORMALS) && !IsWindowEnabled(upNormals),
                  "a second click clears Normals and disables Up Normals");
    report.Expect(session.Panel().Checked(IDC_UP_NORMALS),
                  "the disabled Up Normals keeps its check");
    session.Panel().Click(session.Panel().OptionsPage(), IDC_NORMALS);
    report.Expect(IsWindowEnabled(upNormals), "checking Normals enables Up Normals again");
}

void CheckAccelerators(CheckReport& report, HostSession& session) {
    Interface& host = session.Host();
    report.Expect(host.AcceleratorsEnabled(), "the host's accelerators start on");
    SetFocus(GetDlgItem(session.Panel().OutputPage(), IDC_OUTPUT_DIR));
    report.Expect(!host.AcceleratorsEnabled(),
                  "focus in the output-directory edit switches the accelerators off");
    SetFocus(GetDlgItem(session.Panel().OutputPage(), IDC_EXPORT));
    report.Expect(host.AcceleratorsEnabled(), "focus leaving the edit switches them on again");
}

void CheckProgressDialog(CheckReport& report, HostSession& session) {
    const HWND dialog = session.Panel().ProgressDialog();
    report.Expect(session.Host().RegisteredDialogs().size() == 3,
                  "each page registered a progress dialog with the host");
    if (!report.Expect(dialog != nullptr && !IsWindowVisible(dialog),
                       "the last progress dialog exists, hidden")) {
        return;
    }
    report.ExpectText(WindowText(dialog), "Exporting...", "progress dialog caption");
    RECT client{0, 0, 0, 0};
    GetClientRect(dialog, &client);
    const RECT expected = DialogUnitsToPixels(dialog, 0, 0, 250, 94);
    report.Expect(client.right == expected.right && client.bottom == expected.bottom,
                  "progress dialog is 250 x 94 dialog units");
    for (const ExpectedControl& control : kProgressControls) CheckControl(report, dialog, control);
}

}  // namespace

int RunPanelSession(const SessionArgs& args) {
    CheckReport report("panel");
    const std::string settingsPath = args.config + "\\kvoexp.cfg";
    if (!report.Expect(WriteSettings(settingsPath), "kvoexp.cfg written to " + settingsPath)) {
        return report.Finish();
    }
    const std::string settingsBefore = ReadWholeFile(settingsPath);
    HostSession session;
    std::string error;
    if (!report.Expect(session.Open(args.dll, args.config, error), "the panel opens " + error)) {
        return report.Finish();
    }
    CheckPages(report, session);
    CheckControls(report, session);
    CheckSettingsShown(report, session);
    CheckNormalsAndUpNormals(report, session);
    CheckAccelerators(report, session);
    CheckProgressDialog(report, session);

    const HWND shown = session.Panel().ProgressDialog();
    const std::vector<HWND> dialogs = session.Host().RegisteredDialogs();
    const HWND pages[] = {session.Panel().OutputPage(), session.Panel().OptionsPage(),
                          session.Panel().AboutPage()};
    session.ClosePanel();
    report.Expect(!IsWindow(pages[0]) && !IsWindow(pages[1]) && !IsWindow(pages[2]) &&
                      session.Host().RollupPages().empty(),
                  "EndEditParams removes and destroys the three pages");
    report.Expect(!IsWindow(shown), "closing the panel destroys the progress dialog");
    int outliving = 0;
    for (HWND dialog : dialogs) outliving += IsWindow(dialog) ? 1 : 0;
    report.Expect(dialogs.size() == 3 && outliving == 0,
                  "each page's progress dialog goes with its page (" +
                      std::to_string(dialogs.size()) + " registered, " + std::to_string(outliving) +
                      " left)");
    session.Close();
    report.Expect(ReadWholeFile(settingsPath) == settingsBefore,
                  "opening and closing the panel leaves kvoexp.cfg as it was");
    return report.Finish();
}

}  // namespace winhost
