// Closing the main window: while acquisition runs it hides into the notification area and keeps
// polling; while it is stopped the program ends with exit status 1.
#include "app/monitor_dlg.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include "acquisition/worker_requests.h"
#include "app/check_marks.h"
#include "base/decimal.h"
#include "ui/message_wait.h"
#include "ui/resource_text.h"

namespace {

const char kTrayTip[] = "Sitewake";
const UINT kTrayIconId = 128;
// Each hide after a show runs one more message loop inside the running one; past this depth a
// close only hides, so the user-interface thread's stack cannot run out.
const int kMaxHideDepth = 200;
// How long a close waits for a worker that is still writing a site file.
const DWORD kWriteStepWaitMs = 5000;
// The shell may not be ready yet (its notification area starts late): it is asked once a
// second, for 30 s at most.
const int kIconAttempts = 30;
const DWORD kIconRetryMs = 1000;
const char kBalloonTitle[] = "Sitewake";
const UINT kBalloonTimeoutMs = 10000;

}  // namespace

int CMonitorDlg::SetTrayIcon(HICON icon, DWORD operation, const char* tip)
{
    memset(&m_nid, 0, sizeof m_nid);
    m_nid.cbSize = sizeof m_nid;
    m_nid.hWnd = m_hWnd;
    m_nid.uID = kTrayIconId;
    m_nid.uCallbackMessage = WM_TRAY_NOTIFY;
    m_nid.hIcon = icon;
    m_nid.uFlags = tip ? (NIF_MESSAGE | NIF_ICON | NIF_TIP) : (NIF_MESSAGE | NIF_ICON);
    if (tip)
        lstrcpynA(m_nid.szTip, tip, sizeof m_nid.szTip);
    // Meanwhile the worker's requests are answered, so polling goes on.
    for (int attempt = 1; !Shell_NotifyIconA(operation, reinterpret_cast<NOTIFYICONDATAA*>(&m_nid)); ++attempt) {
        if (attempt == kIconAttempts)
            return 0;
        WaitAnsweringSentMessages(nullptr, kIconRetryMs);
    }
    if (operation == NIM_ADD)
        SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    return 1;
}

void CMonitorDlg::HideToTray()
{
    if (m_bRunning == 0)
        EndProcessAfterWorker(1);
    // Already hidden with its icon: the icon stays as it is and nothing more is hidden.
    if (m_bIconShown && !IsWindowVisible(m_hWnd))
        return;
    // Without an icon the user could not get a hidden window back: it stays shown.
    if (!SetTrayIcon(m_hIcon, NIM_ADD, kTrayTip))
        return;
    m_bIconShown = true;
    ShowWindow(m_hWnd, SW_HIDE);
    UpdateWindow(m_hWnd);
    if (m_nHideDepth >= kMaxHideDepth)
        return;
    ++m_nHideDepth;
    // From here this loop takes every message of the thread, without dialog keyboard handling.
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    --m_nHideDepth;
}

bool CMonitorDlg::IsHiddenInTray() const
{
    return m_bIconShown && !IsWindowVisible(m_hWnd);
}

// A double click on the icon, or a click on its balloon, shows the window again.
void CMonitorDlg::OnTrayNotify(UINT message, LPARAM lParam)
{
    if (message != WM_TRAY_NOTIFY)
        return;
    if (lParam == WM_LBUTTONDBLCLK || lParam == NIN_BALLOONUSERCLICK)
        ShowFromTray();
    else if (lParam == NIN_BALLOONTIMEOUT || lParam == NIN_BALLOONHIDE)
        m_balloon.Clear();
}

void CMonitorDlg::ShowFromTray()
{
    ShowWindow(m_hWnd, SW_SHOW);
    Shell_NotifyIconA(NIM_DELETE, reinterpret_cast<NOTIFYICONDATAA*>(&m_nid));
    m_bIconShown = false;
    m_balloon.Clear();
}

// Shows, while the window is hidden, a balloon over the icon for a changed page.
void CMonitorDlg::ShowChangeBalloon(const CommitNotice& notice)
{
    if (!IsHiddenInTray())
        return;
    m_balloon.AddChange(notice.code, notice.name);
    ShowBalloon();
}

// The same for a site that has just failed for the third time in a row.
void CMonitorDlg::ShowFailureBalloon(const CheckNotice& notice)
{
    if (!IsHiddenInTray())
        return;
    char reason[256];
    DescribeFailure(notice.record.failure, notice.record.status, reason, sizeof reason);
    m_balloon.AddFailure(notice.code, notice.name, reason);
    ShowBalloon();
}

// The balloon needs the record's longer form, used for this call alone; the icon's own record
// stays as it is.
void CMonitorDlg::ShowBalloon()
{
    NOTIFYICONDATAA balloon = {};
    balloon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    balloon.hWnd = m_hWnd;
    balloon.uID = kTrayIconId;
    balloon.uFlags = NIF_INFO;
    balloon.uTimeout = kBalloonTimeoutMs;
    balloon.dwInfoFlags = NIIF_INFO;
    CopyText(balloon.szInfoTitle, sizeof balloon.szInfoTitle, kBalloonTitle);
    m_balloon.MakeText(balloon.szInfo, sizeof balloon.szInfo);
    Shell_NotifyIconA(NIM_MODIFY, &balloon);
}

// A stopping worker may still be fetching or storing a snapshot: it is told to give up and, if it
// is writing a site file, given a few seconds to finish before the process ends.
void CMonitorDlg::EndProcessAfterWorker(int status)
{
    m_worker.RequestQuit();
    m_worker.WaitOutsideWriteStep(kWriteStepWaitMs);
    exit(status);
}
