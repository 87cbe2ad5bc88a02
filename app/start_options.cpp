// The options as the main window acts on them: the options dialog, acquisition started at once
// at start-up (and the window then kept hidden in the notification area), the wait between
// passes, and a later copy's request to show the window.
#include "app/monitor_dlg.h"
#include "app/options_dlg.h"
#include "app/single_instance.h"
#include "registry/data_paths.h"
#include "registry/registry_file.h"

namespace {

// The options as stored; the defaults when the registry file's path would not fit.
ProgramOptions LoadProgramOptions()
{
    char path[kPathBufferSize];
    return MakeRegistryPath(path) ? ReadProgramOptions(path) : ProgramOptions();
}

}  // namespace

// Runs once the site list is loaded. The window is shown by the dialog manager only after
// initialisation; when it is to stay hidden, every attempt to show it is turned down until the
// posted WM_START_HIDDEN hides it the way a close while acquisition runs does.
void CMonitorDlg::ApplyStartOptions()
{
    m_uShowRequest = RegisterShowRequest();
    ProgramOptions options = LoadProgramOptions();
    m_worker.SetPassMinutes(options.passMinutes);
    if (!options.startChecking)
        return;
    OnStart();
    if (options.startHidden) {
        m_bKeepHiddenAtStart = true;
        PostMessageA(m_hWnd, WM_START_HIDDEN, 0, 0);
    }
}

void CMonitorDlg::OnStartHidden()
{
    m_bKeepHiddenAtStart = false;
    HideToTray();
    // No icon could be added, so the window was not hidden: it is shown as on any start.
    if (!IsWindowVisible(m_hWnd) && !m_bIconShown)
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
}

void CMonitorDlg::KeepHiddenAtStart(UINT message, LPARAM lParam)
{
    if (message == WM_WINDOWPOSCHANGING && m_bKeepHiddenAtStart)
        reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
}

// A later copy of the program was started: the window comes back from the notification area as
// a double click on the icon brings it, and to the front (with the dialog it has open, if any).
bool CMonitorDlg::OnShowRequest(UINT message)
{
    if (m_uShowRequest == 0 || message != m_uShowRequest)
        return false;
    if (IsHiddenInTray())
        ShowFromTray();
    SetForegroundWindow(GetLastActivePopup(m_hWnd));
    return true;
}

void CMonitorDlg::OnOptions()
{
    COptionsDlg dialog(LoadProgramOptions());
    dialog.DoModal();
    // Options stored before the logon value failed and the dialog was cancelled count as well.
    m_worker.SetPassMinutes(dialog.Options().passMinutes);
}
