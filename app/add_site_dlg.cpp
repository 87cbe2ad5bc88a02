#include "app/add_site_dlg.h"

#include "resource.h"
#include "ui/resource_text.h"

namespace {
const MessageEntry kAddSiteTable[] = {EndOfTable()};
}

CAddSiteDlg::CAddSiteDlg() : Dialog(IDD_ADD_SITE) {}

const MessageEntry* CAddSiteDlg::GetMessageTable() const
{
    return kAddSiteTable;
}

void CAddSiteDlg::OnOK()
{
    m_url.Read(GetDlgItem(IDC_URL));
    m_name.Read(GetDlgItem(IDC_SITE_NAME));
    if (m_url.empty()) {
        char text[128];
        MessageBoxA(m_hWnd, LoadResourceText(IDS_EMPTY_URL, text, sizeof text), "", MB_OK);
        return;
    }
    EndDialog(IDOK);
}
