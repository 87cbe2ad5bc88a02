// One running copy of the program per data folder, so that two copies never write the same
// site folders. The first copy holds a named mutex made from its data folder's path; a later
// copy of the same folder finds it taken, asks the running copy to show its window (through a
// registered message whose name is made from the same path, so only that copy answers it, even
// while it is hidden in the notification area) and ends.
#pragma once
#include <windows.h>

class SingleInstance {
public:
    SingleInstance() = default;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    // True when no other copy watches this data folder: this one then does, for as long as the
    // object lives.
    bool Claim();
    // Asks the copy that watches this data folder to show its window.
    static void ShowRunningCopy();

private:
    HANDLE m_hMutex = nullptr;
};

// The message by which a later copy asks the running one to show its window (nonzero).
UINT RegisterShowRequest();
