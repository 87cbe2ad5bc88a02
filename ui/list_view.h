// A thin wrapper over the report-mode list-view control: one short method per LVM_ message.
// The only place that knows LVITEMA and LVCOLUMNA.
#pragma once
#include <windows.h>
#include <commctrl.h>

class ListView {
public:
    explicit ListView(HWND hWnd = nullptr) : m_hWnd(hWnd) {}
    HWND GetSafeHwnd() const { return m_hWnd; }

    int GetItemCount() const { return static_cast<int>(SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }

    // Inserts a row at the position with its column 0 text; returns its index or -1.
    int InsertItem(int row, const char* text) const
    {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(text);
        return static_cast<int>(SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    }

    bool SetItemText(int row, int column, const char* text) const
    {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = const_cast<char*>(text);
        return SendMessageA(m_hWnd, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)) != 0;
    }

    // Copies the text cut to size - 1 bytes and terminated; returns the bytes copied.
    int GetItemText(int row, int column, char* buffer, int size) const
    {
        if (size <= 0)
            return 0;
        buffer[0] = '\0';
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = size;
        int n = static_cast<int>(SendMessageA(m_hWnd, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
        buffer[size - 1] = '\0';
        return n;
    }

    bool SetItemData(int row, LPARAM data) const
    {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        item.lParam = data;
        return SendMessageA(m_hWnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
    }

    LPARAM GetItemData(int row) const
    {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.lParam;
    }

    int GetSelectedRow() const
    {
        return static_cast<int>(SendMessageA(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }

    bool DeleteItem(int row) const { return SendMessageA(m_hWnd, LVM_DELETEITEM, row, 0) != 0; }
    bool DeleteAllItems() const { return SendMessageA(m_hWnd, LVM_DELETEALLITEMS, 0, 0) != 0; }

    void SetExtendedStyle(DWORD mask, DWORD style) const
    {
        SendMessageA(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style);
    }

    int InsertColumn(int column, const char* title, int format, int width) const
    {
        LVCOLUMNA col = {};
        col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
        col.fmt = format;
        col.cx = width;
        col.pszText = const_cast<char*>(title);
        return static_cast<int>(SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&col)));
    }

    // A column's width in pixels; 0 when there is no such column.
    int GetColumnWidth(int column) const
    {
        return static_cast<int>(SendMessageA(m_hWnd, LVM_GETCOLUMNWIDTH, column, 0));
    }
    bool SetColumnWidth(int column, int width) const
    {
        return SendMessageA(m_hWnd, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0)) != 0;
    }

    // The row under a point of the control's client area, or -1.
    int HitTest(POINT point) const
    {
        LVHITTESTINFO hit = {};
        hit.pt = point;
        return static_cast<int>(SendMessageA(m_hWnd, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    }

    // Makes the row the selected and focused one.
    void SelectRow(int row) const
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(m_hWnd, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }

    bool GetRowRect(int row, RECT* rect) const
    {
        rect->left = LVIR_BOUNDS;
        return SendMessageA(m_hWnd, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(rect)) != 0;
    }

    void RedrawRow(int row) const { SendMessageA(m_hWnd, LVM_REDRAWITEMS, row, row); }

    // Stops drawing the list while many rows change (each row put on top would otherwise scroll
    // the rows below it on the screen), and draws it whole again afterwards.
    void SetRedraw(bool redraw) const
    {
        SendMessageA(m_hWnd, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
        if (redraw)
            InvalidateRect(m_hWnd, nullptr, TRUE);
    }

private:
    HWND m_hWnd;
};
