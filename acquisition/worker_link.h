// The acquisition worker's thread as the user-interface thread sees it, and the few things both
// threads share: the quit request of a program that is ending, and whether the worker is inside
// a step that writes a site file.
#pragma once
#include <windows.h>

class WorkerLink {
public:
    WorkerLink();
    WorkerLink(const WorkerLink&) = delete;
    WorkerLink& operator=(const WorkerLink&) = delete;
    ~WorkerLink();

    // A worker exists from its start until a stop check ends it. Both happen on the
    // user-interface thread, so there is never more than one.
    bool Exists() const { return m_bAlive; }
    // Starts the worker's thread unless one exists.
    bool Start(LPTHREAD_START_ROUTINE procedure, void* parameter);
    void Retire() { m_bAlive = false; }
    // Asks the worker to give up at once (the program is ending): pauses and fetches end early.
    void RequestQuit();
    // Waits, at most timeout ms, until the worker is outside any step that writes a site file.
    bool WaitOutsideWriteStep(DWORD timeout) const;
    // Waits, at most timeout ms, for the worker to end, answering its requests meanwhile.
    bool WaitForEnd(DWORD timeout) const;

    // The wait between passes, in minutes: set on the user-interface thread at any time, read by
    // the worker before each minute of its wait.
    void SetPassMinutes(LONG minutes) { InterlockedExchange(&m_passMinutes, minutes); }
    LONG PassMinutes() const { return InterlockedCompareExchange(const_cast<LONG*>(&m_passMinutes), 0, 0); }

    // Worker side.
    bool Pause(DWORD ms) const;  // false when the program is ending
    bool BeginWriteStep();       // false when the program is ending
    void EndWriteStep();
    const volatile LONG* QuitFlag() const { return &m_bQuitting; }
    bool Quitting() const { return InterlockedCompareExchange(const_cast<LONG*>(&m_bQuitting), 0, 0) != 0; }

private:
    bool m_bAlive = false;
    HANDLE m_hThread = nullptr;
    HANDLE m_hQuit;  // set when the program is ending
    HANDLE m_hIdle;  // set while the worker is outside a write step
    volatile LONG m_bQuitting = 0;
    volatile LONG m_passMinutes = 1;
};
