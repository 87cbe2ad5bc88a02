#include "app/monitor_dlg.h"

#include <string.h>

#include "acquisition/page_comparison.h"
#include "app/about_dlg.h"
#include "registry/site_list_loader.h"

namespace {

// The lists' column widths in pixels at 96 DPI.
const int kSiteNameColumnWidth = 100;
const int kSiteUrlColumnWidth = 250;
const int kSnapshotColumnWidth = 195;

}  // namespace

const MessageEntry CMonitorDlg::s_messageTable[] = {
    OnSysCommandEntry<&CMonitorDlg::OnSysCommand>(),
    OnMessageEntry<&CMonitorDlg::OnPaint>(WM_PAINT),
    OnQueryDragIconEntry<&CMonitorDlg::OnQueryDragIcon>(),
    OnNotifyEntry<&CMonitorDlg::OnClickSiteList>(NM_CLICK, IDC_SITE_LIST),
    OnNotifyEntry<&CMonitorDlg::OnClickSnapshotList>(NM_CLICK, IDC_SNAPSHOT_LIST),
    OnNotifyEntry<&CMonitorDlg::OnDrawSiteList>(NM_CUSTOMDRAW, IDC_SITE_LIST),
    OnNotifyEntry<&CMonitorDlg::OnDrawSnapshotList>(NM_CUSTOMDRAW, IDC_SNAPSHOT_LIST),
    OnNotifyAnyEntry<&CMonitorDlg::OnSiteTipText>(TTN_GETDISPINFOA),
    OnSetCursorEntry<&CMonitorDlg::OnSetCursor>(),
    OnContextMenuEntry<&CMonitorDlg::OnContextMenu>(),
    OnCommandEntry<&CMonitorDlg::OnOpenSnapshot>(ID_OPEN_SNAPSHOT),
    OnCommandEntry<&CMonitorDlg::OnShowDifferences>(ID_SHOW_DIFFERENCES),
    OnCommandEntry<&CMonitorDlg::OnOpenSnapshotFolder>(ID_OPEN_SNAPSHOT_FOLDER),
    OnCommandEntry<&CMonitorDlg::OnOpenSite>(ID_OPEN_SITE),
    OnCommandEntry<&CMonitorDlg::OnOpenSiteFolder>(ID_OPEN_SITE_FOLDER),
    OnCommandEntry<&CMonitorDlg::OnCompareWholePage>(ID_COMPARE_WHOLE_PAGE),
    OnCommandEntry<&CMonitorDlg::OnCompareTextOnly>(ID_COMPARE_TEXT_ONLY),
    OnCommandEntry<&CMonitorDlg::OnAddSite>(ID_ADD_SITE),
    OnCommandEntry<&CMonitorDlg::OnDeleteSite>(ID_DELETE_SITE),
    OnCommandEntry<&CMonitorDlg::OnImportSites>(ID_IMPORT_SITES),
    OnCommandEntry<&CMonitorDlg::OnExportSites>(ID_EXPORT_SITES),
    OnDropFilesEntry<&CMonitorDlg::OnDropFiles>(),
    OnCommandEntry<&CMonitorDlg::OnSiteSettings>(ID_SITE_SETTINGS),
    OnCommandEntry<&CMonitorDlg::OnStart>(ID_START),
    OnCommandEntry<&CMonitorDlg::OnStop>(ID_STOP),
    OnCommandEntry<&CMonitorDlg::OnRecheckFailed>(ID_RECHECK_FAILED),
    OnCommandEntry<&CMonitorDlg::OnAbout>(IDM_ABOUTBOX),
    OnSizeEntry<&CMonitorDlg::OnSize>(),
    OnDpiChangedEntry<&CMonitorDlg::OnDpiChanged>(),
    OnMessageEntry<&CMonitorDlg::HideToTray>(WM_CLOSE),
    OnCommandEntry<&CMonitorDlg::HideToTray>(IDOK),
    OnPrivateEntry<&CMonitorDlg::OnWorkerRequest>(WM_WORKER_REQUEST),
    OnCommandEntry<&CMonitorDlg::OnOptions>(ID_OPTIONS),
    OnMessageEntry<&CMonitorDlg::OnStartHidden>(WM_START_HIDDEN),
    EndOfTable(),
};

CMonitorDlg::CMonitorDlg()
    : Dialog(IDD_MAIN), m_bRunning(0), m_strSiteCode(), m_nid(),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM))),
      m_workerStart{nullptr, &m_worker, this}
{
}

CMonitorDlg::~CMonitorDlg() = default;

const MessageEntry* CMonitorDlg::GetMessageTable() const
{
    return s_messageTable;
}

INT_PTR CMonitorDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    OnTrayNotify(message, lParam);
    KeepHiddenAtStart(message, lParam);
    if (OnShowRequest(message))
        return TRUE;
    return Dialog::WindowProc(message, wParam, lParam);
}

BOOL CMonitorDlg::OnInitDialog()
{
    m_hSiteList = GetDlgItem(IDC_SITE_LIST);
    m_hSnapshotList = GetDlgItem(IDC_SNAPSHOT_LIST);
    Dialog::OnInitDialog();
    SetMainWindow(m_hWnd);
    AddAboutMenuItem();
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    InitLists();
    LoadSiteList(SiteList(), m_textOnlySites, m_watches);
    ReadSiteFolders();
    DragAcceptFiles(m_hWnd, TRUE);  // site lists and shortcuts dropped on the window are imported
    ApplyStartOptions();
    return TRUE;
}

void CMonitorDlg::AddAboutMenuItem()
{
    HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    if (!systemMenu)
        return;
    char text[128] = {};
    LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUT_MENU_TEXT, text, sizeof text);
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

void CMonitorDlg::InitLists()
{
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_TWOCLICKACTIVATE;
    m_nDpi = GetWindowDpi(m_hWnd);
    ListView sites = SiteList();
    sites.SetExtendedStyle(0, extended);
    sites.InsertColumn(0, "サイト名", LVCFMT_LEFT, ScaleToDpi(kSiteNameColumnWidth, m_nDpi));
    sites.InsertColumn(1, "URL", LVCFMT_LEFT, ScaleToDpi(kSiteUrlColumnWidth, m_nDpi));
    ListView snapshots = SnapshotList();
    snapshots.InsertColumn(0, "", LVCFMT_LEFT, ScaleToDpi(kSnapshotColumnWidth, m_nDpi));
    snapshots.SetExtendedStyle(0, extended);
}

bool CMonitorDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    OnAbout();
    return true;
}

void CMonitorDlg::OnAbout()
{
    CAboutDlg about;
    about.DoModal();
}

bool CMonitorDlg::OnPaint()
{
    if (!IsIconic(m_hWnd))
        return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int cx = GetSystemMetrics(SM_CXICON);
    int cy = GetSystemMetrics(SM_CYICON);
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int x = (rc.right - rc.left - cx + 1) / 2;
    int y = (rc.bottom - rc.top - cy + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &ps);
    return true;
}

HICON CMonitorDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

bool CMonitorDlg::OnSize(UINT, int, int)
{
    return false;  // the default handling; no control moves
}

int CMonitorDlg::FilesDiffer(const char* newPath, const char* oldPath, CompareMethod method, const ComparedPart& part,
                             bool* rangeMissing)
{
    return ComparePageFiles(newPath, oldPath, method, part, rangeMissing);
}

// Escape ends the program, also while the worker runs: the worker is told to give up first and
// waited for, so that it never uses the window once it is gone and never leaves a site file
// half-written.
void CMonitorDlg::OnCancel()
{
    InterlockedExchange(&m_bRunning, 0);
    m_worker.RequestQuit();
    if (!m_worker.WaitForEnd(10000)) {
        // Still busy (a long copy, or a name lookup that cannot be cut short): give a write a
        // few more seconds, then end here and now. Copies go through a temporary file, so
        // nothing stored under its own name is left half-written.
        m_worker.WaitOutsideWriteStep(5000);
        ExitProcess(0);
    }
    Dialog::OnCancel();
}
