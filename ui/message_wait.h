// Waiting on the user-interface thread without holding up the worker: messages other threads
// send to the thread's windows (the worker's requests) are answered meanwhile; posted messages
// and input stay queued.
#pragma once
#include <windows.h>

// Waits until the handle is signalled (true) or timeout ms have passed (false). With no handle
// it simply waits out the time.
bool WaitAnsweringSentMessages(HANDLE handle, DWORD timeout);
