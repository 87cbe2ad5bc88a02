// Screen resolution. The main window is laid out in dialog units, which follow its font, so
// Windows sizes the window and its lists for the DPI of the monitor it is on; the lists' column
// widths are pixels, scaled to the window's DPI when the lists are made (InitLists) and again
// here when the window moves to a monitor of another DPI. The bold font of unseen sites follows
// the lists' font by itself (BoldFont).
#include "app/monitor_dlg.h"

namespace {

// Each column's width as it stands (the user may have dragged it), from one DPI to another.
void ScaleColumns(const ListView& list, UINT from, UINT to)
{
    for (int column = 0, width; (width = list.GetColumnWidth(column)) > 0; ++column)
        list.SetColumnWidth(column, MulDiv(width, static_cast<int>(to), static_cast<int>(from)));
}

}  // namespace

// The window keeps its fixed size for the new DPI: it takes the rectangle Windows suggests.
// Declined afterwards, so that the dialog manager (Windows 10 1703 on) still lays the controls
// out again and gives them its font of the new size.
bool CMonitorDlg::OnDpiChanged(UINT dpi, const RECT* suggested)
{
    if (dpi == 0 || !suggested)
        return false;
    if (dpi != m_nDpi) {
        ScaleColumns(SiteList(), m_nDpi, dpi);
        ScaleColumns(SnapshotList(), m_nDpi, dpi);
        m_nDpi = dpi;
    }
    SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return false;
}
