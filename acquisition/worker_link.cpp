#include "acquisition/worker_link.h"

#include "ui/message_wait.h"

WorkerLink::WorkerLink()
    : m_hQuit(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_hIdle(CreateEventA(nullptr, TRUE, TRUE, nullptr))
{
}

WorkerLink::~WorkerLink()
{
    if (m_hThread)
        CloseHandle(m_hThread);
    CloseHandle(m_hQuit);
    CloseHandle(m_hIdle);
}

bool WorkerLink::Start(LPTHREAD_START_ROUTINE procedure, void* parameter)
{
    if (m_bAlive)
        return true;
    HANDLE thread = CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
    if (!thread)
        return false;
    if (m_hThread)
        CloseHandle(m_hThread);
    m_hThread = thread;
    m_bAlive = true;
    return true;
}

void WorkerLink::RequestQuit()
{
    InterlockedExchange(&m_bQuitting, 1);
    SetEvent(m_hQuit);
}

bool WorkerLink::WaitOutsideWriteStep(DWORD timeout) const
{
    return WaitForSingleObject(m_hIdle, timeout) == WAIT_OBJECT_0;
}

bool WorkerLink::WaitForEnd(DWORD timeout) const
{
    return !m_hThread || WaitAnsweringSentMessages(m_hThread, timeout);
}

bool WorkerLink::Pause(DWORD ms) const
{
    return WaitForSingleObject(m_hQuit, ms) == WAIT_TIMEOUT;
}

bool WorkerLink::BeginWriteStep()
{
    ResetEvent(m_hIdle);
    if (Quitting()) {
        SetEvent(m_hIdle);
        return false;
    }
    return true;
}

void WorkerLink::EndWriteStep()
{
    SetEvent(m_hIdle);
}
