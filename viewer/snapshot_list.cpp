#include "app/monitor_dlg.h"

bool CMonitorDlg::OnClickSiteList(NMHDR*, LRESULT* result)
{
    *result = 0;
    return true;
}
