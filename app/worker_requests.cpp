// The window's half of acquisition: the start and stop commands, and the answers to the worker's
// requests, each by a small handler of its own, bound to its request in one table.
#include "acquisition/worker.h"
#include "acquisition/worker_requests.h"
#include "app/monitor_dlg.h"
#include "base/text_join.h"

const CMonitorDlg::WorkerRequestHandler CMonitorDlg::s_workerRequests[] = {
    &CMonitorDlg::OnBeginRow,   // kWorkerBeginRow
    &CMonitorDlg::OnReadSite,   // kWorkerReadSite
    &CMonitorDlg::OnSetStatus,  // kWorkerSetStatus
    &CMonitorDlg::OnStopCheck,  // kWorkerStopCheck
    &CMonitorDlg::OnEndRow,     // kWorkerEndRow
    &CMonitorDlg::OnCommitted,  // kWorkerCommitted
    &CMonitorDlg::OnChecked,    // kWorkerChecked
};

// An ordinary run (also when a re-check pass is under way: it goes on as one).
void CMonitorDlg::OnStart()
{
    m_bFailedOnly = false;
    StartWorker();
}

void CMonitorDlg::StartWorker()
{
    m_bRunning = 1;
    if (!m_worker.Exists())
        m_workerRow.Reset();
    m_workerStart.window = m_hWnd;
    m_worker.Start(AcquisitionThread, &m_workerStart);
    UpdateRecheckItem();
}

void CMonitorDlg::OnStop()
{
    m_bRunning = 0;
}

LRESULT CMonitorDlg::OnWorkerRequest(WPARAM op, LPARAM request)
{
    static_assert(sizeof(s_workerRequests) / sizeof(s_workerRequests[0]) == kWorkerOpCount,
                  "a handler for every request");
    if (op >= kWorkerOpCount)
        return 0;
    return (this->*s_workerRequests[op])(request);
}

// The worker's next turn: the row at the position, or the first one after it that has a turn in
// this pass; a row without a turn shows nothing and takes no time.
LRESULT CMonitorDlg::OnBeginRow(LPARAM request)
{
    auto* taken = reinterpret_cast<RowRequest*>(request);
    ListView sites = SiteList();
    time_t now = time(nullptr);
    for (int count = sites.GetItemCount(); taken->row >= 0 && taken->row < count && SkipsRow(taken->row, now);)
        ++taken->row;
    if (taken->row < 0 || taken->row >= sites.GetItemCount())
        return 0;
    sites.GetItemText(taken->row, 0, taken->name, sizeof taken->name);
    sites.SetItemText(taken->row, 0, kFetchingStatus);
    m_workerRow.Begin(taken->row);
    CopyText(m_strWorkerName, sizeof m_strWorkerName, taken->name);
    m_bWorkerRenamed = false;
    return 1;
}

LRESULT CMonitorDlg::OnReadSite(LPARAM request)
{
    if (!m_workerRow.InHand())
        return 0;
    auto* site = reinterpret_cast<SiteRequest*>(request);
    ListView sites = SiteList();
    sites.GetItemText(m_workerRow.Row(), 1, site->url, sizeof site->url);
    site->code = static_cast<long>(sites.GetItemData(m_workerRow.Row()));
    site->method = m_textOnlySites.Contains(site->code) ? CompareMethod::kTextOnly : CompareMethod::kWholePage;
    SiteWatch watch;
    m_watches.Get(site->code, &watch);
    site->part = watch.part;
    return 1;
}

LRESULT CMonitorDlg::OnSetStatus(LPARAM request)
{
    if (m_workerRow.InHand())
        SiteList().SetItemText(m_workerRow.Row(), 0, reinterpret_cast<const char*>(request));
    return 1;
}

// Stop checks are decided here, on the thread that sets the flag: when acquisition is stopped the
// row in hand gets its name back and the worker retires in the same step.
LRESULT CMonitorDlg::OnStopCheck(LPARAM request)
{
    if (m_bFailedOnly && !request)
        m_bRunning = 0;  // the end of a re-check pass: the worker stops
    if (m_bRunning != 0)
        return 1;
    m_bFailedOnly = false;
    if (request)
        OnEndRow(request);
    m_worker.Retire();
    UpdateRecheckItem();
    return 0;
}

LRESULT CMonitorDlg::OnEndRow(LPARAM request)
{
    int row = m_workerRow.Row();
    bool stillThere = false;
    int next = m_workerRow.End(&stillThere);
    if (stillThere)
        SiteList().SetItemText(row, 0, NameForWorkerRow(reinterpret_cast<const char*>(request)));
    m_bWorkerRenamed = false;
    return next;
}

LRESULT CMonitorDlg::OnCommitted(LPARAM request)
{
    CommitNotice notice = *reinterpret_cast<const CommitNotice*>(request);
    CopyText(notice.name, sizeof notice.name, NameForWorkerRow(notice.name));  // renamed during the turn
    NoteCommittedSnapshot(notice);
    if (!notice.first)
        ShowChangeBalloon(notice);
    return 1;
}

LRESULT CMonitorDlg::OnChecked(LPARAM request)
{
    CheckNotice notice = *reinterpret_cast<const CheckNotice*>(request);
    CopyText(notice.name, sizeof notice.name, NameForWorkerRow(notice.name));  // renamed during the turn
    NoteCheck(notice);
    return 1;
}
