#include "acquisition/worker.h"

#include "acquisition/http_fetch.h"
#include "acquisition/site_paths.h"
#include "acquisition/snapshot_stamp.h"
#include "acquisition/snapshot_store.h"
#include "app/message_wait.h"
#include "app/monitor_dlg.h"
#include "registry/data_paths.h"

namespace {

const char kFetchingText[] = "ファイルを取得";
const char kProcessingText[] = "データの処理";
const DWORD kStepPauseMs = 500;
const DWORD kPassPauseMs = 60000;

// The files of the site in hand; false when one of them would not fit in 259 bytes.
bool MakeSitePaths(SitePaths& paths, long code, const char* stamp)
{
    char prefix[kPathBufferSize];
    return MakeSitePrefix(prefix, code) && paths.Make(prefix, stamp);
}

// The worker's passes over the site list. It reaches the window only through requests.
class Acquisition {
public:
    explicit Acquisition(CMonitorDlg& dialog) : m_dlg(dialog), m_link(dialog.m_worker) {}
    void Run();

private:
    LRESULT Ask(WorkerOp op, const void* request) const
    {
        if (m_link.Quitting())
            return 0;
        return SendMessageA(m_dlg.GetSafeHwnd(), WM_WORKER_REQUEST, op, reinterpret_cast<LPARAM>(request));
    }
    bool GoOn(const char* savedName) const { return Ask(kWorkerStopCheck, savedName) != 0; }
    // Works on the row at the position; false when the worker is to end.
    bool WorkOnRow(const char* savedName, int& row);
    bool Fetch(const SiteRequest& site, const SitePaths& paths);
    void CompareAndCommit(const SitePaths& paths);

    CMonitorDlg& m_dlg;
    WorkerLink& m_link;
};

void Acquisition::Run()
{
    for (;;) {
        RowRequest taken = {};
        // A row that is not there any more ends the pass; so does the program ending.
        while (Ask(kWorkerBeginRow, &taken) != 0) {
            if (!WorkOnRow(taken.name, taken.row))
                return;
        }
        if (!GoOn(nullptr) || !m_link.Pause(kPassPauseMs))
            return;
    }
}

// The row in hand already shows the fetching status. Afterwards row is the next row's position.
bool Acquisition::WorkOnRow(const char* savedName, int& row)
{
    if (!m_link.Pause(kStepPauseMs))
        return false;
    SiteRequest site = {};
    bool present = Ask(kWorkerReadSite, &site) != 0;
    char stamp[100];
    MakeSnapshotStamp(stamp, sizeof stamp);  // the time the fetch is about to start
    SitePaths paths;
    bool fits = present && MakeSitePaths(paths, site.code, stamp);
    if (!GoOn(savedName))
        return false;
    if (fits) {
        bool fetched = Fetch(site, paths);
        if (!GoOn(savedName))
            return false;
        Ask(kWorkerSetStatus, kProcessingText);
        if (!m_link.Pause(kStepPauseMs))
            return false;
        // A failed fetch is no result: nothing is compared and nothing stored.
        if (fetched)
            CompareAndCommit(paths);
    }
    row = static_cast<int>(Ask(kWorkerEndRow, savedName));
    return m_link.Pause(kStepPauseMs);
}

bool Acquisition::Fetch(const SiteRequest& site, const SitePaths& paths)
{
    if (!m_link.BeginWriteStep())
        return false;
    int fetched = HttpGetToFile(site.url, paths.newPath, m_link.QuitFlag());
    m_link.EndWriteStep();
    return fetched == 1;
}

void Acquisition::CompareAndCommit(const SitePaths& paths)
{
    if (m_dlg.FilesDiffer(paths.newPath, paths.oldPath) != 1)
        return;
    if (!m_link.BeginWriteStep())
        return;
    CommitSnapshot(paths);
    m_link.EndWriteStep();
}

}  // namespace

DWORD WINAPI AcquisitionThread(LPVOID parameter)
{
    Acquisition(*static_cast<CMonitorDlg*>(parameter)).Run();
    return 0;
}

// ---- The worker as the user-interface thread sees it ----

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

bool WorkerLink::Start(CMonitorDlg* dialog)
{
    if (m_bAlive)
        return true;
    HANDLE thread = CreateThread(nullptr, 0, AcquisitionThread, dialog, 0, nullptr);
    if (!thread)
        return false;
    if (m_hThread)
        CloseHandle(m_hThread);
    m_hThread = thread;
    m_bAlive = true;
    m_nRow = -1;
    m_bRowGone = false;
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

void WorkerLink::RowInserted(int row)
{
    if (m_nRow >= 0 && row <= m_nRow)
        ++m_nRow;
}

void WorkerLink::RowDeleted(int row)
{
    if (m_nRow < 0)
        return;
    if (row == m_nRow && !m_bRowGone)
        m_bRowGone = true;  // the next row now stands where it was
    else if (row < m_nRow)
        --m_nRow;
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

// ---- Commands and requests on the main window ----

void CMonitorDlg::OnStart()
{
    m_bRunning = 1;
    m_worker.Start(this);
}

void CMonitorDlg::OnStop()
{
    m_bRunning = 0;
}

LRESULT CMonitorDlg::OnWorkerRequest(WPARAM op, LPARAM request)
{
    ListView sites = SiteList();
    WorkerLink& w = m_worker;
    bool inHand = w.m_nRow >= 0 && !w.m_bRowGone;
    switch (op) {
    case kWorkerBeginRow: {
        auto* taken = reinterpret_cast<RowRequest*>(request);
        if (taken->row < 0 || taken->row >= sites.GetItemCount())
            return 0;
        sites.GetItemText(taken->row, 0, taken->name, sizeof taken->name);
        sites.SetItemText(taken->row, 0, kFetchingText);
        w.m_nRow = taken->row;
        w.m_bRowGone = false;
        return 1;
    }
    case kWorkerReadSite: {
        if (!inHand)
            return 0;
        auto* site = reinterpret_cast<SiteRequest*>(request);
        sites.GetItemText(w.m_nRow, 1, site->url, sizeof site->url);
        site->code = static_cast<long>(sites.GetItemData(w.m_nRow));
        return 1;
    }
    case kWorkerSetStatus:
        if (inHand)
            sites.SetItemText(w.m_nRow, 0, reinterpret_cast<const char*>(request));
        return 1;
    case kWorkerStopCheck:
        if (m_bRunning != 0)
            return 1;
        if (request)
            OnWorkerRequest(kWorkerEndRow, request);
        w.Retire();
        return 0;
    case kWorkerEndRow: {
        if (w.m_nRow < 0)
            return 0;
        int next = w.m_nRow;
        if (!w.m_bRowGone) {
            sites.SetItemText(w.m_nRow, 0, reinterpret_cast<const char*>(request));
            ++next;
        }
        w.m_nRow = -1;
        w.m_bRowGone = false;
        return next;
    }
    }
    return 0;
}
