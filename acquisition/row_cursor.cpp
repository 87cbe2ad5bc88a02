#include "acquisition/row_cursor.h"

int RowCursor::End(bool* stillThere)
{
    *stillThere = InHand();
    if (m_row < 0)
        return -1;
    int next = m_gone ? m_row : m_row + 1;
    Reset();
    return next;
}

void RowCursor::RowInserted(int row)
{
    if (m_row >= 0 && row <= m_row)
        ++m_row;
}

void RowCursor::RowDeleted(int row)
{
    if (m_row < 0)
        return;
    if (row == m_row && !m_gone)
        m_gone = true;  // the next row now stands where it was
    else if (row < m_row)
        --m_row;
}
