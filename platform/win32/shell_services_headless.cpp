// Message boxes, module handles and strings, file attributes, the common
// controls and the shell's folder browser with its allocator.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "platform/win32/headless_state.h"

namespace {

using headless::detail::FolderAnswer;
using headless::detail::GetState;

// The module handle GetModuleHandleA(NULL) gives: the host program's image.
HMODULE MainModule() {
    return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
}

// The shell allocator: frees item lists of the folder browser and memory it
// handed out itself.
class ShellAllocator : public IMalloc {
public:
    void* Alloc(SIZE_T cb) override { return std::malloc(cb); }
    void Free(void* pv) override {
        if (pv == nullptr) return;
        auto& lists = GetState().itemLists;
        auto it = lists.find(static_cast<const _ITEMIDLIST*>(pv));
        if (it != lists.end()) {
            lists.erase(it);
            delete static_cast<_ITEMIDLIST*>(pv);
            return;
        }
        std::free(pv);
    }
    ULONG AddRef() override { return static_cast<ULONG>(++GetState().outstandingAllocators); }
    ULONG Release() override {
        int& count = GetState().outstandingAllocators;
        if (count > 0) --count;
        return static_cast<ULONG>(count);
    }
};

ShellAllocator& Allocator() {
    static ShellAllocator* allocator = new ShellAllocator;  // lives as long as the process
    return *allocator;
}

void CopyBounded(const std::string& text, char* out, size_t size) {
    if (out == nullptr || size == 0) return;
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    auto& s = GetState();
    headless::MessageBoxRecord record{hWnd, lpText != nullptr ? lpText : "",
                                      lpCaption != nullptr ? lpCaption : "Error", uType};
    s.messageBoxes.push_back(record);
    if (s.messageBoxHook) s.messageBoxHook(record);
    return IDOK;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr) return MainModule();
    for (const auto& entry : GetState().modules) {
        if (!entry.second.name.empty() &&
            strcasecmp(entry.second.name.c_str(), lpModuleName) == 0) {
            return entry.first;
        }
    }
    return nullptr;
}

int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (lpBuffer == nullptr || cchBufferMax <= 0) return 0;
    lpBuffer[0] = '\0';
    const headless::ResourceTable* resources =
        headless::ModuleResources(hInstance != nullptr ? hInstance : MainModule());
    if (resources == nullptr) return 0;
    auto found = resources->strings.find(static_cast<int>(uID));
    if (found == resources->strings.end()) return 0;
    CopyBounded(found->second, lpBuffer, static_cast<size_t>(cchBufferMax));
    return static_cast<int>(std::strlen(lpBuffer));
}

// Answers from the file system: directories and files; missing is invalid.
DWORD GetFileAttributesA(LPCSTR lpFileName) {
    if (lpFileName == nullptr || lpFileName[0] == '\0') return INVALID_FILE_ATTRIBUTES;
    struct stat info {};
    if (stat(lpFileName, &info) != 0) return INVALID_FILE_ATTRIBUTES;
    if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return FILE_ATTRIBUTE_NORMAL;
}

void InitCommonControls() {
    ++GetState().commonControlsInits;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    if (picce == nullptr || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    ++GetState().commonControlsInits;
    return TRUE;
}

HRESULT SHGetMalloc(LPMALLOC* ppMalloc) {
    if (ppMalloc == nullptr) return E_FAIL;
    *ppMalloc = nullptr;
    if (!GetState().allocatorAvailable) return E_FAIL;
    Allocator().AddRef();
    *ppMalloc = &Allocator();
    return S_OK;
}

// Runs the scripted browser: BFFM_INITIALIZED, then for a chosen item
// BFFM_SELCHANGED; returns a new item list or null when cancelled.
PIDLIST_ABSOLUTE SHBrowseForFolderA(LPBROWSEINFOA lpbi) {
    if (lpbi == nullptr) return nullptr;
    auto& s = GetState();
    headless::FolderBrowseRecord record{lpbi->hwndOwner,
                                        lpbi->lpszTitle != nullptr ? lpbi->lpszTitle : "",
                                        lpbi->ulFlags,
                                        lpbi->lpfn != nullptr,
                                        {},
                                        false};
    s.folderBrowses.push_back(record);
    const size_t index = s.folderBrowses.size() - 1;
    std::pair<FolderAnswer, std::string> answer{FolderAnswer::Cancel, ""};
    if (!s.folderAnswers.empty()) {
        answer = s.folderAnswers.front();
        s.folderAnswers.pop_front();
    }
    auto window = std::make_unique<headless::detail::Window>();
    window->kind = headless::detail::Kind::FolderBrowser;
    window->className = "#32770";
    window->text = record.title;
    window->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    window->owner = headless::detail::Find(lpbi->hwndOwner) != nullptr ? lpbi->hwndOwner : nullptr;
    window->browseRecord = index;
    const HWND browser = headless::detail::AddWindow(std::move(window));
    if (lpbi->lpfn != nullptr) lpbi->lpfn(browser, BFFM_INITIALIZED, 0, lpbi->lParam);
    _ITEMIDLIST* result = nullptr;
    if (answer.first != FolderAnswer::Cancel) {
        _ITEMIDLIST selected{answer.second, answer.first == FolderAnswer::Choose};
        if (lpbi->lpfn != nullptr) {
            lpbi->lpfn(browser, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(&selected), lpbi->lParam);
        }
        result = new _ITEMIDLIST(selected);
        GetState().itemLists.insert(result);
        GetState().folderBrowses[index].chosen = true;
        if (lpbi->pszDisplayName != nullptr) {
            const size_t slash = selected.path.find_last_of("/\\");
            const std::string name =
                slash == std::string::npos ? selected.path : selected.path.substr(slash + 1);
            CopyBounded(name, lpbi->pszDisplayName, MAX_PATH);
        }
    }
    DestroyWindow(browser);
    return result;
}

BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE pidl, LPSTR pszPath) {
    if (pszPath == nullptr) return FALSE;
    pszPath[0] = '\0';
    if (pidl == nullptr || !pidl->hasPath || pidl->path.size() >= MAX_PATH) return FALSE;
    CopyBounded(pidl->path, pszPath, MAX_PATH);
    return TRUE;
}
