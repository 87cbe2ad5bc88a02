// The window's half of acquisition: the start and stop commands, and the answers to the worker's
// requests, each by a small handler of its own, bound to its request in one table.
#include "acquisition/worker.h"
#include "acquisition/worker_requests.h"
#include "app/monitor_dlg.h"
#include "base/text_join.h"

const CMonitorDlg::WorkerRequestHandler CMonitorDlg::s_workerRequests[] = {
    &CMonitorDlg::OnBeginRow,   // kWorkerBeginRow
    &CMonitorDlg::OnStopCheck,  // kWorkerStopCheck
    &CMonitorDlg::OnEndRow,     // kWorkerEndRow
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
    if (op < kWorkerOpCount)
        (this->*s_workerRequests[op])(request);
    return 0;  // the answer is in the request's record
}

// The worker's next turn: the row at the position, or the first one after it that has a turn in
// this pass; a row without a turn shows nothing and takes no time. The site the row stands for is
// read in the same step: its URL, code, comparison and watch, and the record of its last check.
LRESULT CMonitorDlg::OnBeginRow(LPARAM request)
{
    auto* taken = reinterpret_cast<RowRequest*>(request);
    ListView sites = SiteList();
    time_t now = time(nullptr);
    for (int count = sites.GetItemCount(); taken->row >= 0 && taken->row < count && SkipsRow(taken->row, now);)
        ++taken->row;
    if (taken->row < 0 || taken->row >= sites.GetItemCount())
        return taken->answer = 0;
    sites.GetItemText(taken->row, 0, taken->name, sizeof taken->name);
    sites.SetItemText(taken->row, 0, kFetchingStatus);
    m_workerRow.Begin(taken->row);
    CopyText(m_strWorkerName, sizeof m_strWorkerName, taken->name);
    m_bWorkerRenamed = false;
    ReadWorkerSite(taken->row, &taken->site);
    return taken->answer = 1;
}

void CMonitorDlg::ReadWorkerSite(int row, SiteRequest* site) const
{
    ListView sites = SiteList();
    sites.GetItemText(row, 1, site->url, sizeof site->url);
    site->code = static_cast<long>(sites.GetItemData(row));
    site->method = m_textOnlySites.Contains(site->code) ? CompareMethod::kTextOnly : CompareMethod::kWholePage;
    SiteWatch watch;
    m_watches.Get(site->code, &watch);
    site->part = watch.part;
    const CheckRecord* previous = m_checks.Get(site->code);
    site->previous = previous ? *previous : CheckRecord();
}

// Stop checks are decided here, on the thread that sets the flag: when acquisition is stopped the
// row in hand gets its name back and the worker retires in the same step; otherwise the row shows
// the status the worker goes on with.
LRESULT CMonitorDlg::OnStopCheck(LPARAM request)
{
    auto& check = *reinterpret_cast<StopCheck*>(request);
    if (m_bFailedOnly && !check.savedName)
        m_bRunning = 0;  // the end of a re-check pass: the worker stops
    if (m_bRunning != 0) {
        if (check.status && m_workerRow.InHand())
            SiteList().SetItemText(m_workerRow.Row(), 0, check.status);
        return check.answer = (check.savedName && !m_workerRow.InHand()) ? kGoOn | kRowGone : kGoOn;
    }
    m_bFailedOnly = false;
    if (check.savedName)
        EndWorkerRow(check.savedName);
    m_worker.Retire();
    UpdateRecheckItem();
    return check.answer = 0;
}

// The turn is over: the snapshot stored (a first one seen, a change in bold and in the balloon),
// the check's record kept and the row given its name back, in one step, so the row is drawn once
// for all of them.
LRESULT CMonitorDlg::OnEndRow(LPARAM request)
{
    auto& end = *reinterpret_cast<RowEnd*>(request);
    if (end.committed) {
        CommitNotice notice = *end.committed;
        CopyText(notice.name, sizeof notice.name, NameForWorkerRow(notice.name));  // renamed during the turn
        NoteCommittedSnapshot(notice);
        if (!notice.first)
            ShowChangeBalloon(notice);
    }
    if (end.check) {
        CheckNotice notice = *end.check;
        CopyText(notice.name, sizeof notice.name, NameForWorkerRow(notice.name));
        NoteCheck(notice);
    }
    return end.answer = EndWorkerRow(end.savedName);
}

int CMonitorDlg::EndWorkerRow(const char* savedName)
{
    int row = m_workerRow.Row();
    bool stillThere = false;
    int next = m_workerRow.End(&stillThere);
    if (stillThere)
        SiteList().SetItemText(row, 0, NameForWorkerRow(savedName));
    m_bWorkerRenamed = false;
    return next;
}
