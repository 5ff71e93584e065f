// The utility panel: its three rollup pages, their dialog procedure, the
// option check boxes, the output-directory check and the folder browser.
#include "plugin/kvo_exporter_panel.h"

#include <cstring>

#include "plugin/kvo_exporter.h"
#include "plugin/module_objects.h"
#include "plugin/resource.h"

namespace {

// True while an export started from the panel is on the stack, even after it
// was cancelled (by closing the panel) and is still unwinding; a second run
// must not start inside it and take over its prepared nodes.
bool exportOnStack = false;

// The option check boxes in the order the pages set them.
struct OptionBox {
    int id;
    bool ExportOptions::*flag;
};
constexpr OptionBox kOptionBoxes[] = {
    {IDC_LOCALIZE, &ExportOptions::localize},
    {IDC_OPTIMIZE, &ExportOptions::optimize},
    {IDC_NORMALS, &ExportOptions::exportNormals},
    {IDC_UP_NORMALS, &ExportOptions::upNormals},
    {IDC_VERTEX_COLORS, &ExportOptions::exportVertexColors},
    {IDC_GENERATE_SHADER, &ExportOptions::generateShader},
    {IDC_GENERATE_GEOMETRY, &ExportOptions::generateGeometry},
    {IDC_GENERATE_LOG, &ExportOptions::generateLog},
};

}  // namespace

void KVOExporter::BeginEditParams(Interface* host, IUtil* util) {
    iu = util;
    ip = host;
    hOutputPage = host->AddRollupPage(hInstance, MAKEINTRESOURCE(IDD_OUTPUT), PanelDlgProc,
                                      "Valdrin KVO Exporter", 0, 0, ROLLUP_CAT_STANDARD);
    hOptionsPage = host->AddRollupPage(hInstance, MAKEINTRESOURCE(IDD_OPTIONS), PanelDlgProc,
                                       "Options", 0, 0, ROLLUP_CAT_STANDARD);
    hAboutPage = host->AddRollupPage(hInstance, MAKEINTRESOURCE(IDD_ABOUT), PanelDlgProc, "About",
                                     0, APPENDROLL_CLOSED, ROLLUP_CAT_STANDARD);
}

void KVOExporter::EndEditParams(Interface* host, IUtil* /*util*/) {
    // Closing the panel cancels a run in progress: it stops at its next poll
    // and, with `ip` cleared and the dialog destroyed, touches neither again.
    running = false;
    iu = nullptr;
    ip = nullptr;
    host->DeleteRollupPage(hOutputPage);
    hOutputPage = nullptr;
    host->DeleteRollupPage(hOptionsPage);
    hOptionsPage = nullptr;
    host->DeleteRollupPage(hAboutPage);
    hAboutPage = nullptr;
}

void KVOExporter::SelectionSetChanged(Interface* /*host*/, IUtil* /*util*/) {}

// The object is static and lives as long as the module.
void KVOExporter::DeleteThis() {}

void KVOExporter::SetStartupParam(CStr /*param*/) {}

INT_PTR CALLBACK KVOExporter::PanelDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    KVOExporter& exporter = theKVOExporter;
    switch (message) {
        case WM_INITDIALOG:
            exporter.InitPage(page);
            return TRUE;
        case WM_DESTROY:
            exporter.DestroyProgressDialog();
            exporter.DestroyPageProgressDialog(page);
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            switch (id) {
                case IDC_EXPORT:
                    // Export pressed while a run is in progress does nothing.
                    if (!exporter.running && !exportOnStack) {
                        exportOnStack = true;
                        exporter.DoExport(page);
                        exportOnStack = false;
                    }
                    break;
                case IDC_OUTPUT_DIR:
                    // Typed keys reach the edit, not the host's shortcuts, while it has the
                    // focus.
                    if (exporter.ip != nullptr) {
                        if (GetFocus() == GetDlgItem(page, IDC_OUTPUT_DIR)) {
                            exporter.ip->DisableAccelerators();
                        } else {
                            exporter.ip->EnableAccelerators();
                        }
                    }
                    break;
                case IDC_BROWSE:
                    exporter.BrowseOutputDir(page);
                    break;
                default:
                    break;
            }
            if (HIWORD(wParam) == 0) exporter.OptionClicked(page, id);
            return TRUE;
        }
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            // Dragging an empty part of a page scrolls the command panel.
            if (exporter.ip != nullptr)
                exporter.ip->RollupMouseMessage(page, message, wParam, lParam);
            return TRUE;
        default:
            return FALSE;
    }
}

void KVOExporter::InitPage(HWND page) {
    ReadSettings();
    SetDlgItemTextA(page, IDC_OUTPUT_DIR, outputDir);
    CreateProgressDialog(page);
    objectCount = 0;
    objectsDone = 0;
    for (const OptionBox& box : kOptionBoxes) {
        CheckDlgButton(page, box.id, options.*box.flag ? BST_CHECKED : BST_UNCHECKED);
    }
    if (ip != nullptr) ip->SetCancel(FALSE);
}

void KVOExporter::OptionClicked(HWND page, int id) {
    const bool checked = IsDlgButtonChecked(page, id) == BST_CHECKED;
    for (const OptionBox& box : kOptionBoxes) {
        if (box.id != id) continue;
        options.*box.flag = checked;
        // Up Normals only applies to exported normals; its flag is kept when
        // disabled.
        if (id == IDC_NORMALS) EnableWindow(GetDlgItem(page, IDC_UP_NORMALS), checked);
        return;
    }
}

bool KVOExporter::CheckOutputDir(HWND page) {
    if (GetDlgItemTextA(page, IDC_OUTPUT_DIR, outputDir, kOutputDirSize) == 0) return false;
    if (outputDir[0] == '\0') return false;
    const DWORD attributes = GetFileAttributesA(outputDir);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void KVOExporter::BrowseOutputDir(HWND page) {
    BrowseForFolder(page, outputDir, "Select KVO output folder...");
    SetDlgItemTextA(page, IDC_OUTPUT_DIR, outputDir);
}

bool BrowseForFolder(HWND owner, char* path, const char* title) {
    IMalloc* shellMalloc = nullptr;
    if (FAILED(SHGetMalloc(&shellMalloc)) || shellMalloc == nullptr) return false;

    BROWSEINFOA info;
    std::memset(&info, 0, sizeof info);
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // the whole shell namespace
    info.pszDisplayName = nullptr;
    info.lpszTitle = title;
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(path);

    bool chosen = false;
    LPITEMIDLIST items = SHBrowseForFolderA(&info);
    if (items != nullptr) {
        char folder[MAX_PATH];
        if (SHGetPathFromIDListA(items, folder)) {
            folder[MAX_PATH - 1] = '\0';
            std::memcpy(path, folder, std::strlen(folder) + 1);
            chosen = true;
        }
        shellMalloc->Free(items);
    }
    shellMalloc->Release();
    return chosen;
}

int CALLBACK BrowseCallback(HWND browser, UINT event, LPARAM eventParam, LPARAM data) {
    switch (event) {
        case BFFM_INITIALIZED:
            SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
            break;
        case BFFM_SELCHANGED: {
            char folder[MAX_PATH];
            if (SHGetPathFromIDListA(reinterpret_cast<LPITEMIDLIST>(eventParam), folder)) {
                SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(folder));
            }
            break;
        }
        default:
            break;
    }
    return 0;
}
