// Start-up: the socket layer, then the main window, run modally for the life of the program.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include "app/monitor_dlg.h"
#include "app/single_instance.h"
#include "base/cp932.h"
#include "resource.h"

namespace {

// The exit status of a copy that ended because another one already watches its data folder.
const int kOtherCopyRunsStatus = 2;

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

// The caption of boxes without one of their own: the program's file name without its extension.
void GetAppTitle(char* title, size_t size)
{
    char module[MAX_PATH] = {};
    DWORD len = GetModuleFileNameA(nullptr, module, sizeof module - 1);
    module[len] = '\0';
    long slash = cp932::FindLastChar(module, len, '\\');
    const char* name = module + slash + 1;
    size_t nameLen = len - static_cast<size_t>(slash + 1);
    long dot = cp932::FindLastChar(name, nameLen, '.');
    if (dot >= 0)
        nameLen = static_cast<size_t>(dot);
    if (nameLen >= size)
        nameLen = size - 1;
    memcpy(title, name, nameLen);
    title[nameLen] = '\0';
}

void CMonitorApp::ShowStartFailure()
{
    char text[256] = {};
    char title[MAX_PATH];
    LoadStringA(GetModuleHandleA(nullptr), IDS_SOCKET_START_FAILED, text, sizeof text);
    GetAppTitle(title, sizeof title);
    MessageBoxA(nullptr, text, title, MB_OK | MB_ICONEXCLAMATION);
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
