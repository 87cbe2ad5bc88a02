#include "ui/message_wait.h"

bool WaitAnsweringSentMessages(HANDLE handle, DWORD timeout)
{
    DWORD start = GetTickCount();
    DWORD count = handle ? 1 : 0;
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout)
            return false;
        DWORD r = MsgWaitForMultipleObjects(count, &handle, FALSE, timeout - elapsed, QS_SENDMESSAGE);
        if (count == 1 && r == WAIT_OBJECT_0)
            return true;
        if (r != WAIT_OBJECT_0 + count)
            return false;  // the time is up, or the wait failed
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // answers them
    }
}
