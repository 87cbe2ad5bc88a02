// Which sites failed, and why: the last check of every listed site, kept from the records in the
// site folders (read at start-up) and the worker's notices, shown in a tip over the site list and
// on the first line of a site's context menu; a pass over only the sites whose last check failed.
#include "app/check_marks.h"

#include <string.h>

#include "acquisition/check_schedule.h"
#include "acquisition/worker_requests.h"
#include "app/monitor_dlg.h"
#include "base/decimal.h"
#include "base/text_join.h"
#include "ui/resource_text.h"

namespace {

const int kTipWidth = 480;  // the tip breaks longer texts into lines
const unsigned long kFailuresBeforeBalloon = 3;  // failed checks in a row that the balloon tells of

UINT OutcomeTextId(CheckOutcome outcome)
{
    switch (outcome) {
    case CheckOutcome::kFirstCopy: return IDS_CHECK_FIRST_COPY;
    case CheckOutcome::kChanged: return IDS_CHECK_CHANGED;
    default: return IDS_CHECK_UNCHANGED;
    }
}

// What the check found: the outcome (and a status other than 200 OK), or why it failed and how
// many checks in a row have.
void DescribeOutcome(const CheckRecord& record, char* dst, size_t size)
{
    char text[256];
    char status[32] = {};
    char pattern[64];
    DecimalText code(record.status);
    const char* codeText[] = {code};
    if (!record.Failed()) {
        LoadResourceText(OutcomeTextId(record.outcome), text, sizeof text);
        if (record.status != 0 && record.status != 200)
            FillText(status, LoadResourceText(IDS_CHECK_STATUS, pattern, sizeof pattern), codeText);
        const char* pieces[] = {text, status};
        JoinText(dst, size, pieces, 2);
        return;
    }
    DescribeFailure(record.failure, record.status, text, sizeof text);
    char inRow[64] = {};
    DecimalText count(static_cast<long>(record.failuresInRow));
    const char* countText[] = {count};
    if (record.failuresInRow > 1)
        FillText(inRow, LoadResourceText(IDS_CHECK_IN_ROW, pattern, sizeof pattern), countText);
    const char* pieces[] = {text, inRow};
    JoinText(dst, size, pieces, 2);
}

}  // namespace

void DescribeFailure(FetchFailure failure, int status, char* dst, size_t size)
{
    char pattern[128];
    DecimalText code(status);
    const char* texts[] = {code};
    LoadResourceText(IDS_FETCH_FAILURE + static_cast<UINT>(failure), pattern, sizeof pattern);
    FillText(dst, size, pattern, texts, 1);
}

void DescribeLastCheck(const CheckRecord* record, char* dst, size_t size)
{
    if (!record || record->outcome == CheckOutcome::kNotChecked) {
        char never[128];
        CopyText(dst, size, LoadResourceText(IDS_CHECK_NEVER, never, sizeof never));
        return;
    }
    char when[kLocalTimeTextSize];
    char what[320];
    char range[128] = {};
    char pattern[64];
    FormatLocalMinute(record->checked, when, sizeof when);
    DescribeOutcome(*record, what, sizeof what);
    if (record->rangeMissing)
        LoadResourceText(IDS_CHECK_RANGE_MISSING, range, sizeof range);
    const char* texts[] = {when, what};
    char line[448];
    FillText(line, LoadResourceText(IDS_CHECK_LAST, pattern, sizeof pattern), texts);
    const char* pieces[] = {line, range};
    JoinText(dst, size, pieces, 2);
}

// Keeps a site's record, counting the sites whose last check failed; true when the site's rows
// change colour.
bool CMonitorDlg::KeepCheck(long code, const CheckRecord& record)
{
    bool failedBefore = HasFailed(code);
    m_checks.Put(code, record);
    if (failedBefore == record.Failed())
        return false;
    m_nFailedSites = record.Failed() ? m_nFailedSites + 1 : m_nFailedSites - 1;
    return true;
}

bool CMonitorDlg::HasFailed(long code) const
{
    const CheckRecord* record = m_checks.Get(code);
    return record && record->Failed();
}

// A site's check is over: its record kept, its rows redrawn when their colour changes, and while
// the window is hidden a site that has just failed for the third time in a row goes into the
// balloon (once: the count goes on past three, and a success starts it again).
void CMonitorDlg::NoteCheck(const CheckNotice& notice)
{
    if (KeepCheck(notice.code, notice.record))
        RedrawSiteRows(notice.code);
    if (notice.record.Failed() && notice.record.failuresInRow == kFailuresBeforeBalloon)
        ShowFailureBalloon(notice);
}

// The tip over the site list: a tool covering the whole list, its text asked for when shown. It
// is made when the mouse first comes over the list: a popup owned by the window made while the
// window is being initialised costs it its place above ordinary windows (seen under Wine). The
// list's mouse messages reach it through OnSetCursor rather than by subclassing the list: a
// subclassed control looks its subclass up on every message it gets, which under Wine is a trip
// to the window server each time.
void CMonitorDlg::CreateSiteTip()
{
    m_hSiteTip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (!m_hSiteTip)
        return;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(SiteList().GetSafeHwnd());
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(m_hSiteTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(m_hSiteTip, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
}

// The site row under the mouse, or -1.
int CMonitorDlg::SiteRowUnderMouse() const
{
    ListView sites = SiteList();
    POINT at;
    if (!GetCursorPos(&at) || !ScreenToClient(sites.GetSafeHwnd(), &at))
        return -1;
    return sites.HitTest(at);
}

// The mouse moved over the site list: the tip hears of it, and on another row it goes and comes
// back with that row's text.
bool CMonitorDlg::OnSetCursor(HWND window, UINT, UINT mouseMessage)
{
    if (!m_hSiteTip && window == SiteList().GetSafeHwnd())
        CreateSiteTip();
    if (m_hSiteTip && window == SiteList().GetSafeHwnd()) {
        RelayToSiteTip(window, mouseMessage);
        int row = SiteRowUnderMouse();
        if (row != m_nTipRow) {
            m_nTipRow = row;
            SendMessageA(m_hSiteTip, TTM_POP, 0, 0);
        }
    }
    return false;  // the cursor is set as ever
}

// Hands the tip a mouse message of the list, as the list would have had it.
void CMonitorDlg::RelayToSiteTip(HWND list, UINT mouseMessage)
{
    if (mouseMessage < WM_MOUSEFIRST || mouseMessage > WM_MOUSELAST)
        return;
    MSG relayed = {};
    relayed.hwnd = list;
    relayed.message = mouseMessage;
    relayed.time = static_cast<DWORD>(GetMessageTime());
    GetCursorPos(&relayed.pt);
    POINT client = relayed.pt;
    ScreenToClient(list, &client);
    relayed.lParam = MAKELPARAM(client.x, client.y);
    SendMessageA(m_hSiteTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

bool CMonitorDlg::OnSiteTipText(NMHDR* header, LRESULT* result)
{
    auto& info = *reinterpret_cast<NMTTDISPINFOA*>(header);
    *result = 0;
    if (header->hwndFrom != m_hSiteTip)
        return false;
    int row = SiteRowUnderMouse();
    m_strTip[0] = '\0';
    if (row >= 0)
        DescribeLastCheck(m_checks.Get(static_cast<long>(SiteList().GetItemData(row))), m_strTip, sizeof m_strTip);
    info.lpszText = m_strTip;
    info.hinst = nullptr;
    return true;
}

// One pass over the sites whose last check failed, then the worker stops. Without a worker only:
// the command is greyed while one exists.
void CMonitorDlg::OnRecheckFailed()
{
    if (m_worker.Exists())
        return;
    if (!AnyListedSiteFailed()) {
        char text[128];
        MessageBoxA(m_hWnd, LoadResourceText(IDS_NO_FAILED_SITES, text, sizeof text), "Sitewake",
                    MB_OK | MB_ICONINFORMATION);
        return;
    }
    m_bFailedOnly = true;
    StartWorker();
}

bool CMonitorDlg::AnyListedSiteFailed() const
{
    ListView sites = SiteList();
    for (int row = 0, count = sites.GetItemCount(); row < count; ++row) {
        if (HasFailed(static_cast<long>(sites.GetItemData(row))))
            return true;
    }
    return false;
}

// The command is there while no worker is (the specified items of the menu never change).
void CMonitorDlg::UpdateRecheckItem()
{
    EnableMenuItem(GetMenu(m_hWnd), ID_RECHECK_FAILED, MF_BYCOMMAND | (m_worker.Exists() ? MF_GRAYED : MF_ENABLED));
}

// In a re-check pass only the sites whose last check failed get a turn, whatever their interval;
// in an ordinary pass, the sites whose interval has passed since their last check.
bool CMonitorDlg::SkipsRow(int row, time_t now) const
{
    long code = static_cast<long>(SiteList().GetItemData(row));
    if (m_bFailedOnly)
        return !HasFailed(code);
    return !IsCheckDue(m_checks.Get(code), m_watches.Interval(code), now);
}
