#include "ui/dialog.h"

HWND Dialog::s_hMainWindow = nullptr;

namespace {

// The style and position a dialog template gives, read from the resource itself.
struct TemplateInfo {
    DWORD style = 0;
    short x = 0;
    short y = 0;
};

TemplateInfo ReadTemplateInfo(UINT templateId)
{
    TemplateInfo info;
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    const BYTE* p = res ? static_cast<const BYTE*>(LockResource(LoadResource(module, res))) : nullptr;
    if (!p)
        return info;
    const WORD* words = reinterpret_cast<const WORD*>(p);
    bool extended = words[0] == 1 && words[1] == 0xFFFF;
    if (extended) {  // DLGTEMPLATEEX: version, signature, helpID, exStyle, style, cDlgItems, x, y
        CopyMemory(&info.style, p + 12, sizeof(DWORD));
        CopyMemory(&info.x, p + 18, sizeof(short));
        CopyMemory(&info.y, p + 20, sizeof(short));
    } else {  // DLGTEMPLATE: style, exStyle, cdit, x, y
        CopyMemory(&info.style, p, sizeof(DWORD));
        CopyMemory(&info.x, p + 10, sizeof(short));
        CopyMemory(&info.y, p + 12, sizeof(short));
    }
    return info;
}

}  // namespace

INT_PTR Dialog::DoModal(HWND owner)
{
    if (!owner && s_hMainWindow && IsWindow(s_hMainWindow))
        owner = s_hMainWindow;
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner,
                           StaticDialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Dialog::StaticDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->m_hWnd = hWnd;
        SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        return self->RunInitDialog();
    }
    if (!self)
        return FALSE;
    INT_PTR result = self->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        self->m_hWnd = nullptr;
    return result;
}

INT_PTR Dialog::RunInitDialog()
{
    RECT before;
    GetWindowRect(m_hWnd, &before);
    BOOL result = OnInitDialog();
    if (ShouldCentre(before))
        CentreOverOwner();
    KeepOnTopIfSystemModal();
    return result;
}

// A system-modal template asks for a window above all ordinary ones. Not every window system
// derives that from the template's style, so the dialog sees to it itself.
void Dialog::KeepOnTopIfSystemModal()
{
    if (!(ReadTemplateInfo(m_templateId).style & DS_SYSMODAL))
        return;
    if (!(GetWindowLongA(m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST))
        SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

BOOL Dialog::OnInitDialog()
{
    DoDataExchange(false);
    return TRUE;
}

// A modal dialog is centred over its owner when its template leaves the placement to the program:
// hidden at creation, at (0, 0), no centring or absolute-alignment style, and its initialisation
// neither showed, re-parented nor moved it. The owner is disabled for the modal run by definition.
bool Dialog::ShouldCentre(const RECT& before) const
{
    TemplateInfo info = ReadTemplateInfo(m_templateId);
    if (info.style & (WS_VISIBLE | DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN))
        return false;
    if (info.x != 0 || info.y != 0)
        return false;
    if (IsWindowVisible(m_hWnd) || (GetWindowLongA(m_hWnd, GWL_STYLE) & WS_CHILD))
        return false;
    RECT after;
    GetWindowRect(m_hWnd, &after);
    return after.left == before.left && after.top == before.top;
}

void Dialog::CentreOverOwner()
{
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT centreOn = area;
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (owner && IsWindowVisible(owner))
        GetWindowRect(owner, &centreOn);
    RECT rc;
    GetWindowRect(m_hWnd, &rc);
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    int x = (centreOn.left + centreOn.right) / 2 - width / 2;
    int y = (centreOn.top + centreOn.bottom) / 2 - height / 2;
    // Keep the whole dialog on the work area.
    if (x + width > area.right)
        x = area.right - width;
    if (x < area.left)
        x = area.left;
    if (y + height > area.bottom)
        y = area.bottom - height;
    if (y < area.top)
        y = area.top;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const MessageEntry* Dialog::FindEntry(UINT message, WPARAM wParam, LPARAM lParam) const
{
    for (const MessageEntry* e = GetMessageTable(); e && e->call; ++e) {
        if (e->message != message)
            continue;
        if (message == WM_COMMAND) {
            if (HIWORD(wParam) == e->code && LOWORD(wParam) == e->id)
                return e;
        } else if (message == WM_NOTIFY) {
            const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
            bool fromIt = e->id == kAnyControl || static_cast<int>(hdr->idFrom) == e->id;
            if (static_cast<int>(hdr->code) == e->code && fromIt)
                return e;
        } else {
            return e;
        }
    }
    return nullptr;
}

INT_PTR Dialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (const MessageEntry* entry = FindEntry(message, wParam, lParam)) {
        INT_PTR result = entry->call(*this, wParam, lParam);
        if (result)
            return result;
    }
    return DefaultHandling(message, wParam, lParam);
}

INT_PTR Dialog::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (message == WM_COMMAND && HIWORD(wParam) == 0) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}
