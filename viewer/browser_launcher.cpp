#include "app/monitor_dlg.h"

bool CMonitorDlg::OnClickSnapshotList(NMHDR*, LRESULT* result)
{
    *result = 0;
    return true;
}
