#pragma once
#include <windows.h>

// The first form of the notification-icon record (88 bytes), understood by every shell.
struct NotifyIconDataV1 {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};
static_assert(sizeof(NotifyIconDataV1) == 88, "the first form of the record is 88 bytes");
