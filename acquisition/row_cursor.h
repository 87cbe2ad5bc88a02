// The row of the site list the worker is on, kept in step with the list while the user
// registers sites (a row inserted at the top moves it down) and deletes them (a deleted row
// ends that site's turn) on the user-interface thread. Window-free: the window tells it of every
// row it inserts or deletes, and asks it where the worker's row stands.
#pragma once

class RowCursor {
public:
    // The worker takes the row at the position for its turn.
    void Begin(int row)
    {
        m_row = row;
        m_gone = false;
    }
    // A row is in hand and still in the list.
    bool InHand() const { return m_row >= 0 && !m_gone; }
    // The position of the row in hand (when InHand).
    int Row() const { return m_row; }
    // Ends the turn: the position of the row the worker takes next, -1 when no turn was under
    // way. *stillThere says whether the row in hand is still in the list, to get its name back.
    int End(bool* stillThere);

    void RowInserted(int row);
    void RowDeleted(int row);
    // No worker, no row: as after construction.
    void Reset() { Begin(-1); }

private:
    int m_row = -1;       // the worker's row, or -1 between turns
    bool m_gone = false;  // that row was deleted; m_row is where the next row now stands
};
