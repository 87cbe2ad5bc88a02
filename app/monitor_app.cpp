// Start-up: the socket layer, a data folder that can be written, then the main window, run
// modally for the life of the program.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include "app/monitor_dlg.h"
#include "app/single_instance.h"
#include "app/start_failure.h"
#include "resource.h"

namespace {

// The exit status of a copy that ended because another one already watches its data folder.
const int kOtherCopyRunsStatus = 3;

class CMonitorApp {
public:
    // Runs the program; answers whether a message loop of the application's own should follow.
    bool InitInstance();
    int ExitStatus() const { return m_exitStatus; }

private:
    SingleInstance m_instance;
    int m_exitStatus = 0;

    static bool StartSockets();
    static void ShowStartFailure();
};

bool CMonitorApp::StartSockets()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return false;
    if (data.wVersion != MAKEWORD(1, 1)) {
        WSACleanup();
        return false;
    }
    return true;
}

void CMonitorApp::ShowStartFailure()
{
    char text[256] = {};
    LoadStringA(GetModuleHandleA(nullptr), IDS_SOCKET_START_FAILED, text, sizeof text);
    ::ShowStartFailure(text);
}

bool CMonitorApp::InitInstance()
{
    if (!StartSockets()) {
        ShowStartFailure();
        return false;
    }
    if (!m_instance.Claim()) {
        SingleInstance::ShowRunningCopy();
        WSACleanup();
        m_exitStatus = kOtherCopyRunsStatus;
        return false;
    }
    // Data that would go nowhere: the program says so and ends before its window opens.
    if (!ConfirmDataFolderWritable()) {
        WSACleanup();
        m_exitStatus = kExitDataFolderNotWritable;
        return false;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    CMonitorDlg dialog;  // becomes the main window once created
    dialog.DoModal(nullptr);
    Dialog::SetMainWindow(nullptr);
    return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CMonitorApp app;
    app.InitInstance();
    return app.ExitStatus();
}
