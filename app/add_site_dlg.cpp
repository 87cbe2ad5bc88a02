#include "app/add_site_dlg.h"

#include "resource.h"

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
        MessageBoxA(m_hWnd, "URLの設定を行ってください。", "", MB_OK);
        return;
    }
    EndDialog(IDOK);
}
