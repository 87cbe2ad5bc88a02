// The acquisition worker: one background thread that polls every row of the site list in turn.
// It reaches the list only by sending the main window requests, which the user-interface thread
// answers one at a time, so a row's name, URL and code are always read together and the worker
// always finds the row of the site it is on, whatever rows are registered or deleted meanwhile.
#pragma once
#include <windows.h>

class CMonitorDlg;

enum { WM_WORKER_REQUEST = WM_APP + 1 };

// What the worker asks of the user-interface thread. A request answered 0 while the program is
// ending, or by a stop check that found acquisition stopped, ends the worker.
enum WorkerOp {
    kWorkerBeginRow,   // RowRequest: take the row at a position, save its name, show the status;
                       // 0 when no row stands there (the pass is over)
    kWorkerReadSite,   // SiteRequest: the URL and code of the row in hand; 0 when it was deleted
    kWorkerSetStatus,  // const char*: a status text for the row in hand
    kWorkerStopCheck,  // const char* or null: 1 to go on; 0 to end, with the saved name put back
    kWorkerEndRow,     // const char*: the saved name back; the result is the next row's position
};

struct RowRequest {
    int row;
    char name[100];
};

struct SiteRequest {
    char url[260];
    long code;
};

// The worker as the user-interface thread sees it, and the few things both threads share.
class WorkerLink {
public:
    WorkerLink();
    WorkerLink(const WorkerLink&) = delete;
    WorkerLink& operator=(const WorkerLink&) = delete;
    ~WorkerLink();

    // A worker exists from its start until a stop check ends it. Both happen on the
    // user-interface thread, so there is never more than one.
    bool Exists() const { return m_bAlive; }
    bool Start(CMonitorDlg* dialog);  // starts a worker for the dialog unless one exists
    void Retire() { m_bAlive = false; }
    // Asks the worker to give up at once (the program is ending): pauses and fetches end early.
    void RequestQuit();
    // Waits, at most timeout ms, until the worker is outside any step that writes a site file.
    bool WaitOutsideWriteStep(DWORD timeout) const;
    // Waits, at most timeout ms, for the worker to end, answering its requests meanwhile.
    bool WaitForEnd(DWORD timeout) const;

    // The row the worker is on, kept in step with the list by the user-interface thread.
    void RowInserted(int row);
    void RowDeleted(int row);
    int m_nRow = -1;          // the worker's row, or -1 between rows
    bool m_bRowGone = false;  // that row was deleted; m_nRow is where the next row now stands

    // Worker side.
    bool Pause(DWORD ms) const;  // false when the program is ending
    bool BeginWriteStep();       // false when the program is ending
    void EndWriteStep();
    const volatile LONG* QuitFlag() const { return &m_bQuitting; }
    bool Quitting() const { return InterlockedCompareExchange(const_cast<LONG*>(&m_bQuitting), 0, 0) != 0; }

private:
    bool m_bAlive = false;
    HANDLE m_hThread = nullptr;
    HANDLE m_hQuit;   // set when the program is ending
    HANDLE m_hIdle;   // set while the worker is outside a write step
    volatile LONG m_bQuitting = 0;
};

DWORD WINAPI AcquisitionThread(LPVOID parameter);
