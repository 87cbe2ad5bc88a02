// The lists' context menus: a right click on a row (which selects it first), or the keyboard's
// context-menu key / Shift+F10 on the selected row. Their commands go through the message table
// like the main menu's.
#include <windowsx.h>
#include <string.h>

#include "app/check_marks.h"
#include "app/monitor_dlg.h"
#include "base/ascii.h"
#include "base/path_join.h"
#include "base/text_join.h"
#include "registry/data_paths.h"
#include "registry/site_registry.h"
#include "ui/resource_text.h"
#include "viewer/browser_launcher.h"

namespace {

enum { kSnapshotPopup = 0, kSitePopup = 1 };

// The context menus' resource, destroyed when it goes.
class ContextMenus {
public:
    ContextMenus() : m_menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_CONTEXT_MENU))) {}
    ContextMenus(const ContextMenus&) = delete;
    ContextMenus& operator=(const ContextMenus&) = delete;
    ~ContextMenus()
    {
        if (m_menu)
            DestroyMenu(m_menu);
    }
    HMENU Popup(int index) const { return m_menu ? GetSubMenu(m_menu, index) : nullptr; }

private:
    HMENU m_menu;
};

// The row a context menu is for, and where the menu goes: the row under a right click (selected
// first), or for the keyboard (position -1, -1) the selected row, the menu at its lower left.
int PickContextRow(const ListView& list, LPARAM position, POINT* at)
{
    if (position == static_cast<LPARAM>(-1)) {
        int row = list.GetSelectedRow();
        RECT rect;
        if (row < 0 || !list.GetRowRect(row, &rect))
            return -1;
        at->x = rect.left > 0 ? rect.left : 0;
        at->y = rect.bottom;
        ClientToScreen(list.GetSafeHwnd(), at);
        return row;
    }
    at->x = GET_X_LPARAM(position);
    at->y = GET_Y_LPARAM(position);
    POINT client = *at;
    ScreenToClient(list.GetSafeHwnd(), &client);
    int row = list.HitTest(client);
    if (row >= 0)
        list.SelectRow(row);
    return row;
}

// A site's URL for the browser: one written without a scheme is an http:// one.
bool MakeBrowserUrl(char (&url)[kWebAddressSize], const char* siteUrl)
{
    const char* scheme = strstr(siteUrl, "://");
    const char* slash = strchr(siteUrl, '/');
    bool hasScheme = scheme && (!slash || scheme < slash);
    const char* pieces[] = {hasScheme ? "" : "http://", siteUrl};
    return JoinText(url, pieces);
}

// The site's last check as the menu's first line, greyed: the same text as the tip, within reach of
// the keyboard.
void AddLastCheckLine(HMENU popup, const CheckRecord* record)
{
    char text[512];
    DescribeLastCheck(record, text, sizeof text);
    InsertMenuA(popup, 0, MF_BYPOSITION | MF_STRING | MF_GRAYED, ID_LAST_CHECK, text);
    InsertMenuA(popup, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

}  // namespace

bool CMonitorDlg::OnContextMenu(HWND control, LPARAM position)
{
    bool onSites = control == SiteList().GetSafeHwnd();
    if (!onSites && control != SnapshotList().GetSafeHwnd())
        return false;
    POINT at;
    int row = PickContextRow(ListView(control), position, &at);
    ContextMenus menus;
    HMENU popup = menus.Popup(onSites ? kSitePopup : kSnapshotPopup);
    if (row < 0 || !popup)
        return true;
    if (onSites) {
        long code = SelectedSiteCode();
        UINT checked = m_textOnlySites.Contains(code) ? ID_COMPARE_TEXT_ONLY : ID_COMPARE_WHOLE_PAGE;
        CheckMenuRadioItem(popup, ID_COMPARE_WHOLE_PAGE, ID_COMPARE_TEXT_ONLY, checked, MF_BYCOMMAND);
        AddLastCheckLine(popup, m_checks.Get(code));
    } else {
        EnableMenuItem(popup, ID_SHOW_DIFFERENCES, MF_BYCOMMAND | (HasSnapshotBefore(row) ? MF_ENABLED : MF_GRAYED));
    }
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
    return true;
}

long CMonitorDlg::SelectedSiteCode() const
{
    ListView sites = SiteList();
    int row = sites.GetSelectedRow();
    return row < 0 ? -1 : static_cast<long>(sites.GetItemData(row));
}

void CMonitorDlg::OnOpenSite()
{
    ListView sites = SiteList();
    int row = sites.GetSelectedRow();
    if (row < 0)
        return;
    char siteUrl[kSiteUrlSize];
    char url[kWebAddressSize];
    sites.GetItemText(row, 1, siteUrl, sizeof siteUrl);
    if (siteUrl[0] == '\0') {
        char text[128];
        MessageBoxA(m_hWnd, LoadResourceText(IDS_NO_SITE_URL, text, sizeof text), "Sitewake", MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (MakeBrowserUrl(url, siteUrl))  // a listed URL with its scheme always fits
        OpenWebAddress(url);
}

void CMonitorDlg::OnOpenSiteFolder()
{
    long code = SelectedSiteCode();
    char folder[kPathBufferSize];
    if (code >= 0 && MakeSitePrefix(folder, code))
        OpenFolder(folder);
}
