// The window's half of acquisition: the start and stop commands, and the answers to the worker's
// requests, each by a small handler of its own, bound to its request in one table.
#include "acquisition/worker.h"
#include "acquisition/worker_requests.h"
#include "app/monitor_dlg.h"

const CMonitorDlg::WorkerRequestHandler CMonitorDlg::s_workerRequests[kWorkerOpCount] = {
    &CMonitorDlg::OnBeginRow,   // kWorkerBeginRow
    &CMonitorDlg::OnReadSite,   // kWorkerReadSite
    &CMonitorDlg::OnSetStatus,  // kWorkerSetStatus
    &CMonitorDlg::OnStopCheck,  // kWorkerStopCheck
    &CMonitorDlg::OnEndRow,     // kWorkerEndRow
    &CMonitorDlg::OnCommitted,  // kWorkerCommitted
};

void CMonitorDlg::OnStart()
{
    m_bRunning = 1;
    if (!m_worker.Exists())
        m_workerRow.Reset();
    m_workerStart.window = m_hWnd;
    m_worker.Start(AcquisitionThread, &m_workerStart);
}

void CMonitorDlg::OnStop()
{
    m_bRunning = 0;
}

LRESULT CMonitorDlg::OnWorkerRequest(WPARAM op, LPARAM request)
{
    if (op >= kWorkerOpCount)
        return 0;
    return (this->*s_workerRequests[op])(request);
}

LRESULT CMonitorDlg::OnBeginRow(LPARAM request)
{
    auto* taken = reinterpret_cast<RowRequest*>(request);
    ListView sites = SiteList();
    if (taken->row < 0 || taken->row >= sites.GetItemCount())
        return 0;
    sites.GetItemText(taken->row, 0, taken->name, sizeof taken->name);
    sites.SetItemText(taken->row, 0, kFetchingStatus);
    m_workerRow.Begin(taken->row);
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
    if (m_bRunning != 0)
        return 1;
    if (request)
        OnEndRow(request);
    m_worker.Retire();
    return 0;
}

LRESULT CMonitorDlg::OnEndRow(LPARAM request)
{
    int row = m_workerRow.Row();
    bool stillThere = false;
    int next = m_workerRow.End(&stillThere);
    if (stillThere)
        SiteList().SetItemText(row, 0, reinterpret_cast<const char*>(request));
    return next;
}

LRESULT CMonitorDlg::OnCommitted(LPARAM request)
{
    const auto& notice = *reinterpret_cast<const CommitNotice*>(request);
    NoteCommittedSnapshot(notice);
    if (!notice.first)
        ShowChangeBalloon(notice);
    return 1;
}
