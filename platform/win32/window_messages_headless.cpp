// Message delivery: dialog procedures, the built-in behaviour of the
// controls, the posted-message queue and the text and button helpers.
#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/win32/headless_state.h"

namespace {

using headless::detail::Find;
using headless::detail::GetState;
using headless::detail::Kind;
using headless::detail::NotifyParent;
using headless::detail::Window;

LRESULT CopyText(const std::string& text, WPARAM size, LPARAM buffer) {
    char* out = reinterpret_cast<char*>(buffer);
    if (out == nullptr || size == 0) return 0;
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

bool IsCheckBox(const Window& w) {
    const DWORD type = w.style & BS_TYPEMASK;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
}

int Clamp(long long value, int low, int high) {
    if (low > high) std::swap(low, high);
    return static_cast<int>(std::max<long long>(low, std::min<long long>(high, value)));
}

// Text that is already there is left as it is: progress labels are set once
// per face and rarely change.
void SetText(Window& w, const char* text) {
    if (text == nullptr) text = "";
    // Equal through the terminators: one pass over the usual unchanged text.
    if (std::strncmp(w.text.c_str(), text, w.text.size() + 1) != 0) w.text.assign(text);
}

// Text messages every window understands.
bool TextMessage(Window& w, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (msg) {
        case WM_SETTEXT:
            SetText(w, reinterpret_cast<const char*>(lParam));
            *result = TRUE;
            return true;
        case WM_GETTEXT:
            *result = CopyText(w.text, wParam, lParam);
            return true;
        case WM_GETTEXTLENGTH:
            *result = static_cast<LRESULT>(w.text.size());
            return true;
        default:
            return false;
    }
}

LRESULT ButtonMessage(HWND hwnd, UINT msg, WPARAM wParam) {
    Window* w = Find(hwnd);
    switch (msg) {
        case BM_GETCHECK:
            return IsCheckBox(*w) ? w->check : BST_UNCHECKED;
        case BM_SETCHECK:
            if (IsCheckBox(*w))
                w->check = static_cast<UINT>(wParam) == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
            return 0;
        case BM_CLICK:
            // A click moves the focus to the button, toggles an automatic check
            // box and tells the parent; a disabled button ignores it.
            if (!IsWindowEnabled(hwnd)) return 0;
            SetFocus(hwnd);
            if ((w = Find(hwnd)) == nullptr) return 0;
            if ((w->style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
                w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            }
            NotifyParent(hwnd, BN_CLICKED);
            return 0;
        default:
            return 0;
    }
}

// A progress bar keeps its position inside its range, as the real one does.
LRESULT ProgressMessage(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int oldPos = w.pos;
    switch (msg) {
        case PBM_SETRANGE: {
            const LRESULT old = MAKELRESULT(w.rangeLow, w.rangeHigh);
            w.rangeLow = LOWORD(lParam);
            w.rangeHigh = HIWORD(lParam);
            w.pos = Clamp(w.pos, w.rangeLow, w.rangeHigh);
            return old;
        }
        case PBM_SETRANGE32: {
            const LRESULT old = MAKELRESULT(w.rangeLow, w.rangeHigh);
            w.rangeLow = static_cast<int>(wParam);
            w.rangeHigh = static_cast<int>(lParam);
            w.pos = Clamp(w.pos, w.rangeLow, w.rangeHigh);
            return old;
        }
        case PBM_SETPOS:
            w.pos = Clamp(static_cast<int>(wParam), w.rangeLow, w.rangeHigh);
            return oldPos;
        case PBM_DELTAPOS:
            w.pos = Clamp(static_cast<long long>(w.pos) + static_cast<int>(wParam), w.rangeLow,
                          w.rangeHigh);
            return oldPos;
        case PBM_GETPOS:
            return w.pos;
        case PBM_GETRANGE:
            if (lParam != 0) {
                PBRANGE* range = reinterpret_cast<PBRANGE*>(lParam);
                range->iLow = w.rangeLow;
                range->iHigh = w.rangeHigh;
            }
            return wParam ? w.rangeLow : w.rangeHigh;
        default:
            return 0;
    }
}

// What a callback tells the folder browser is recorded for tests.
LRESULT FolderBrowserMessage(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg < WM_USER) return 0;
    auto& s = GetState();
    if (w.browseRecord >= s.folderBrowses.size()) return 0;
    headless::FolderBrowseRecord::Sent sent{msg, wParam, ""};
    const bool textParam = msg == BFFM_SETSTATUSTEXTA || (msg == BFFM_SETSELECTIONA && wParam);
    if (textParam && lParam != 0) sent.text = reinterpret_cast<const char*>(lParam);
    if (msg == BFFM_SETSELECTIONA && !wParam && lParam != 0) {
        sent.text = reinterpret_cast<const _ITEMIDLIST*>(lParam)->path;
    }
    s.folderBrowses[w.browseRecord].sent.push_back(sent);
    return 0;
}

// What a dialog does with a message its procedure left alone.
LRESULT DefaultDialogMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (w == nullptr) return 0;
    LRESULT result = 0;
    if (TextMessage(*w, msg, wParam, lParam, &result)) return result;
    if (msg == WM_CLOSE) {  // the close box works like Esc
        SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
    }
    return 0;
}

// Every message but a progress bar's new position, which is sent once per face.
__attribute__((noinline)) LRESULT Deliver(Window* w, HWND hWnd, UINT Msg, WPARAM wParam,
                                          LPARAM lParam) {
    LRESULT result = 0;
    switch (w->kind) {
        case Kind::Dialog: {
            const DLGPROC proc = w->dlgProc;
            const INT_PTR handled = proc != nullptr ? proc(hWnd, Msg, wParam, lParam) : FALSE;
            if (handled) return handled;
            return DefaultDialogMessage(hWnd, Msg, wParam, lParam);
        }
        case Kind::Edit:
            if (TextMessage(*w, Msg, wParam, lParam, &result)) {
                if (Msg == WM_SETTEXT) NotifyParent(hWnd, EN_CHANGE);
                return result;
            }
            return 0;
        case Kind::Button:
            if (TextMessage(*w, Msg, wParam, lParam, &result)) return result;
            return ButtonMessage(hWnd, Msg, wParam);
        case Kind::Progress:
            if (TextMessage(*w, Msg, wParam, lParam, &result)) return result;
            return ProgressMessage(*w, Msg, wParam, lParam);
        case Kind::FolderBrowser:
            if (TextMessage(*w, Msg, wParam, lParam, &result)) return result;
            return FolderBrowserMessage(*w, Msg, wParam, lParam);
        case Kind::Static:
        case Kind::Container:
            if (TextMessage(*w, Msg, wParam, lParam, &result)) return result;
            return 0;
    }
    return 0;
}

}  // namespace

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hWnd);
    if (w == nullptr) return 0;
    if (Msg == PBM_SETPOS && w->kind == Kind::Progress) {
        const int oldPos = w->pos;
        w->pos = Clamp(static_cast<int>(wParam), w->rangeLow, w->rangeHigh);
        return oldPos;
    }
    return Deliver(w, hWnd, Msg, wParam, lParam);
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd != nullptr && Find(hWnd) == nullptr) return FALSE;
    GetState().queue.push_back(MSG{hWnd, Msg, wParam, lParam, 0, POINT{0, 0}});
    return TRUE;
}

namespace {

// The search of a queue that holds messages; kept out of line, so that a poll
// of the usual empty queue costs no more than a test.
__attribute__((noinline)) BOOL PeekQueued(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin,
                                          UINT wMsgFilterMax, UINT wRemoveMsg) {
    auto& queue = GetState().queue;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (hWnd != nullptr && !headless::detail::IsInside(hWnd, it->hwnd)) continue;
        if ((wMsgFilterMin != 0 || wMsgFilterMax != 0) &&
            (it->message < wMsgFilterMin || it->message > wMsgFilterMax)) {
            continue;
        }
        if (lpMsg != nullptr) *lpMsg = *it;
        if (wRemoveMsg & PM_REMOVE) queue.erase(it);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (GetState().queue.empty()) return FALSE;
    return PeekQueued(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

BOOL TranslateMessage(const MSG* /*lpMsg*/) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* lpMsg) {
    if (lpMsg == nullptr) return 0;
    return SendMessageA(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

// Messages for a dialog or its controls: Esc becomes IDCANCEL, Enter the
// default button (IDOK without one); everything else is delivered.
BOOL IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
    if (lpMsg == nullptr || Find(hDlg) == nullptr) return FALSE;
    if (!headless::detail::IsInside(hDlg, lpMsg->hwnd)) return FALSE;
    if (lpMsg->message == WM_KEYDOWN &&
        (lpMsg->wParam == VK_ESCAPE || lpMsg->wParam == VK_RETURN)) {
        int id = IDCANCEL;
        if (lpMsg->wParam == VK_RETURN) {
            id = IDOK;
            for (HWND child : Find(hDlg)->children) {
                Window* c = Find(child);
                if (c != nullptr && c->kind == Kind::Button &&
                    (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                    id = c->id;
                    break;
                }
            }
        }
        SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hDlg, id)));
        return TRUE;
    }
    DispatchMessageA(lpMsg);
    return TRUE;
}

// Dialogs (their procedure sees WM_SETTEXT first) and edits (they notify
// their parent) get the message; other windows take the text directly.
BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    Window* w = Find(hWnd);
    if (w == nullptr) return FALSE;
    if (w->kind == Kind::Dialog || w->kind == Kind::Edit) {
        SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString));
    } else {
        SetText(*w, lpString);
    }
    return TRUE;
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    if (lpString == nullptr || nMaxCount <= 0) return 0;
    lpString[0] = '\0';
    if (Find(hWnd) == nullptr) return 0;
    return static_cast<int>(SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                         reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextLengthA(HWND hWnd) {
    return static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    return SetWindowTextA(GetDlgItem(hDlg, nIDDlgItem), lpString);
}

UINT GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    return static_cast<UINT>(GetWindowTextA(GetDlgItem(hDlg, nIDDlgItem), lpString, cchMax));
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND button = GetDlgItem(hDlg, nIDButton);
    if (button == nullptr) return FALSE;
    SendMessageA(button, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    return static_cast<UINT>(SendMessageA(GetDlgItem(hDlg, nIDButton), BM_GETCHECK, 0, 0));
}
