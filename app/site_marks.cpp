// Unseen changes: a site with a snapshot newer than its seen mark is drawn in bold in the site
// list, and the snapshots that were unseen when the site was listed are drawn in bold in the
// snapshot list. A site whose last check failed is drawn in dark red (bold too when it has unseen
// snapshots). Only the drawing changes; the rows' texts, order and data stay as they are.
#include <string.h>

#include "acquisition/check_record.h"
#include "acquisition/worker_requests.h"
#include "app/monitor_dlg.h"
#include "registry/data_paths.h"
#include "viewer/seen_mark.h"
#include "viewer/snapshot_files.h"

namespace {

const COLORREF kFailedTextColour = RGB(0xA0, 0x00, 0x00);

// The custom-draw answer for one stage: a bold row (one given a bold font) gets that font; rows of
// a failed site get the dark red text, unless selected (the selection's own colours keep them
// readable).
LRESULT DrawStage(NMLVCUSTOMDRAW& draw, HFONT boldFont, bool failed)
{
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT)
        return CDRF_DODEFAULT;
    LRESULT answer = CDRF_DODEFAULT;
    if (boldFont) {
        SelectObject(draw.nmcd.hdc, boldFont);
        answer = CDRF_NEWFONT;
    }
    if (failed && !(draw.nmcd.uItemState & CDIS_SELECTED)) {
        draw.clrText = kFailedTextColour;
        answer = CDRF_NEWFONT;
    }
    return answer;
}

// Whether the site folder holds a snapshot newer than its mark. A folder without a mark (a site
// from before marks were kept) counts as seen.
bool HasUnseenSnapshot(const char* siteFolder)
{
    char seen[kPathBufferSize];
    char newest[kPathBufferSize];
    return ReadSeenMark(siteFolder, seen, sizeof seen) && FindNewestSnapshot(siteFolder, nullptr, newest) &&
           IsNewerSnapshot(newest, seen);
}

}  // namespace

// One pass over the listed sites' folders at start-up: their seen marks and check records.
void CMonitorDlg::ReadSiteFolders()
{
    ListView sites = SiteList();
    for (int row = 0, count = sites.GetItemCount(); row < count; ++row) {
        long code = static_cast<long>(sites.GetItemData(row));
        char folder[kPathBufferSize];
        if (m_checks.Contains(code) || !MakeSitePrefix(folder, code))
            continue;  // a shared folder is read once
        if (HasUnseenSnapshot(folder))
            m_unseenSites.Add(code);
        CheckRecord record;
        ReadCheckRecord(folder, &record);
        KeepCheck(code, record);
    }
}

void CMonitorDlg::RedrawSiteRows(long code)
{
    ListView sites = SiteList();
    for (int row = 0, count = sites.GetItemCount(); row < count; ++row) {
        if (static_cast<long>(sites.GetItemData(row)) == code)
            sites.RedrawRow(row);
    }
}

// Listing a site's snapshots: the mark as it stood is kept for drawing the list, and the newest
// snapshot becomes the mark.
void CMonitorDlg::MarkListedSiteSeen(long code)
{
    m_strSeenBefore[0] = '\0';
    char prefix[kPathBufferSize];
    if (!MakeSitePrefix(prefix, code))
        return;
    char newest[kPathBufferSize];
    bool marked = ReadSeenMark(prefix, m_strSeenBefore, sizeof m_strSeenBefore);
    if (!SnapshotList().GetItemText(0, 0, newest, sizeof newest))
        return;
    if (!marked)
        CopyText(m_strSeenBefore, sizeof m_strSeenBefore, newest);  // nothing to show as new
    if (strcmp(newest, m_strSeenBefore) != 0)
        WriteSeenMark(prefix, newest);
    if (m_unseenSites.Contains(code)) {
        m_unseenSites.Remove(code);
        RedrawSiteRows(code);
    }
}

// A site's first snapshot is the starting point: it is seen from the start. A later one is a
// change; a folder kept before marks existed gets the snapshot before it as its mark first.
void CMonitorDlg::NoteCommittedSnapshot(const CommitNotice& notice)
{
    char prefix[kPathBufferSize];
    char seen[kPathBufferSize];
    if (!MakeSitePrefix(prefix, notice.code))
        return;
    bool marked = ReadSeenMark(prefix, seen, sizeof seen);
    if (notice.first) {
        if (!marked)
            WriteSeenMark(prefix, notice.snapshot);
        return;
    }
    char before[kPathBufferSize];
    if (!marked && FindNewestSnapshot(prefix, notice.snapshot, before))
        marked = WriteSeenMark(prefix, before);
    if (marked && m_unseenSites.Add(notice.code))
        RedrawSiteRows(notice.code);
}

bool CMonitorDlg::OnDrawSiteList(NMHDR* header, LRESULT* result)
{
    auto& draw = *reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT && m_unseenSites.Size() == 0 && m_nFailedSites == 0) {
        *result = CDRF_DODEFAULT;  // no row is drawn otherwise: the rows need not be asked about
        return true;
    }
    bool bold = false;
    bool failed = false;
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        long code = static_cast<long>(SiteList().GetItemData(static_cast<int>(draw.nmcd.dwItemSpec)));
        bold = m_unseenSites.Contains(code);
        failed = HasFailed(code);
    }
    *result = DrawStage(draw, bold ? m_boldFont.For(draw.nmcd.hdr.hwndFrom) : nullptr, failed);
    return true;
}

bool CMonitorDlg::OnDrawSnapshotList(NMHDR* header, LRESULT* result)
{
    auto& draw = *reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    bool bold = false;
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && m_strSeenBefore[0] != '\0') {
        char name[kPathBufferSize];
        SnapshotList().GetItemText(static_cast<int>(draw.nmcd.dwItemSpec), 0, name, sizeof name);
        bold = IsNewerSnapshot(name, m_strSeenBefore);
    }
    *result = DrawStage(draw, bold ? m_boldFont.For(draw.nmcd.hdr.hwndFrom) : nullptr, false);
    return true;
}
