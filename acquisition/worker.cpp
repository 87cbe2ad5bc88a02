#include "acquisition/worker.h"

#include "acquisition/check_record.h"
#include "acquisition/file_io.h"
#include "acquisition/http_fetch.h"
#include "acquisition/site_paths.h"
#include "acquisition/snapshot_store.h"
#include "acquisition/worker_link.h"
#include "acquisition/worker_requests.h"
#include "registry/data_paths.h"
#include "registry/site_folder.h"

const char kFetchingStatus[] = "ファイルを取得";
const char kProcessingStatus[] = "データの処理";

namespace {

const DWORD kStepPauseMs = 500;
// The wait between passes goes by in minutes of this length. A test build of the program makes
// the minute shorter (tests/wine/CMakeLists.txt); the program itself is always built with this one.
#ifndef SITEWAKE_MINUTE_MS
#define SITEWAKE_MINUTE_MS 60000
#endif
const DWORD kMinuteMs = SITEWAKE_MINUTE_MS;

// The site in hand: its folder and the files of this turn. fits is false when one of the paths
// would not fit in 259 bytes.
struct SiteTurn {
    char folder[kPathBufferSize];
    SitePaths paths;
    bool fits;

    SiteTurn(long code, const char* stamp)
    {
        fits = MakeSitePrefix(folder, code) && paths.Make(folder, stamp);
    }
};

FetchResult FailedWith(FetchFailure failure)
{
    FetchResult result;
    result.failure = failure;
    return result;
}

// What the window is told as a turn ends: the check's record, and the snapshot stored if one was.
struct TurnReport {
    CheckNotice check = {};
    CommitNotice commit = {};
    bool checked = false;
    bool committed = false;
};

// The worker's passes over the site list. It reaches the window only through requests.
class Acquisition {
public:
    Acquisition(HWND window, WorkerLink& link, PageComparison& comparison)
        : m_window(window), m_link(link), m_comparison(comparison)
    {
    }
    void Run();

private:
    template <class Request> int Ask(WorkerOp op, Request& request) const
    {
        request.answer = 0;
        if (!m_link.Quitting())
            SendMessageA(m_window, WM_WORKER_REQUEST, op, reinterpret_cast<LPARAM>(&request));
        return request.answer;
    }
    // 0 when the worker is to end, else kGoOn (and kRowGone); the status goes into the row.
    int StopCheckAnswer(const char* savedName, const char* status = nullptr) const
    {
        StopCheck check = {0, savedName, status};
        return Ask(kWorkerStopCheck, check);
    }
    bool GoOn(const char* savedName, const char* status = nullptr) const
    {
        return StopCheckAnswer(savedName, status) != 0;
    }
    // Works on the row taken; false when the worker is to end. Afterwards taken.row is the next
    // row's position.
    bool WorkOnRow(RowRequest& taken);
    // Waits between two passes; false when the worker is to end.
    bool WaitForNextPass() const;
    // Fetches, compares and stores; false when the worker is to end (nothing is recorded then).
    bool CheckSite(const SiteRequest& site, const SiteTurn& turn, const char* stamp, TurnReport* report);
    bool Fetch(const SiteRequest& site, const SitePaths& paths, FetchResult* result);
    // How the comparison and the commit ended; kNotChecked when the program is ending.
    CheckOutcome CompareAndCommit(const SitePaths& paths, const SiteRequest& site, const char* stamp,
                                  TurnReport* report, FetchResult* result, bool* rangeMissing);
    // Keeps the record of the check in the site folder; the window is told as the turn ends.
    void RecordCheck(const SiteRequest& site, const char* folder, CheckOutcome outcome, const FetchResult& result,
                     bool rangeMissing, TurnReport* report);

    HWND m_window;
    WorkerLink& m_link;
    PageComparison& m_comparison;
};

void Acquisition::Run()
{
    for (;;) {
        RowRequest taken = {};
        // A row that is not there any more ends the pass; so does the program ending.
        while (Ask(kWorkerBeginRow, taken) != 0) {
            if (!WorkOnRow(taken))
                return;
        }
        if (!WaitForNextPass())
            return;
    }
}

// Minute by minute, asking before each one whether to go on: a stop during a long wait ends the
// worker within a minute. A stop during the last minute is heard by the next pass's first row,
// so a wait of one minute goes exactly as it did before the wait could be longer. The program
// ending cuts any minute short.
bool Acquisition::WaitForNextPass() const
{
    LONG minute = 0;
    do {
        if (!GoOn(nullptr) || !m_link.Pause(kMinuteMs))
            return false;
    } while (++minute < m_link.PassMinutes());
    return true;
}

// The row in hand already shows the fetching status, and its site was read with it.
bool Acquisition::WorkOnRow(RowRequest& taken)
{
    const SiteRequest& site = taken.site;
    if (!m_link.Pause(kStepPauseMs))
        return false;
    char stamp[kSnapshotStampSize];
    MakeSnapshotStamp(stamp, sizeof stamp);  // the time the fetch is about to start
    SiteTurn turn(site.code, stamp);
    int answer = StopCheckAnswer(taken.name);
    if (answer == 0)
        return false;
    bool present = !(answer & kRowGone);
    TurnReport report;
    CopyText(report.check.name, sizeof report.check.name, taken.name);
    CopyText(report.commit.name, sizeof report.commit.name, taken.name);
    if (present && turn.fits) {
        if (!CheckSite(site, turn, stamp, &report))
            return false;
    } else if (present) {
        RecordCheck(site, turn.folder, CheckOutcome::kFailed, FailedWith(FetchFailure::kSiteFolder), false, &report);
    }
    RowEnd end = {0, taken.name, report.checked ? &report.check : nullptr, report.committed ? &report.commit : nullptr};
    taken.row = Ask(kWorkerEndRow, end);
    return m_link.Pause(kStepPauseMs);
}

bool Acquisition::CheckSite(const SiteRequest& site, const SiteTurn& turn, const char* stamp, TurnReport* report)
{
    FetchResult result;
    bool fetched = Fetch(site, turn.paths, &result);
    if (!GoOn(report->check.name, kProcessingStatus) || !m_link.Pause(kStepPauseMs))
        return false;
    // A failed fetch is no result: nothing is compared and nothing stored.
    CheckOutcome outcome = CheckOutcome::kFailed;
    bool rangeMissing = false;
    if (fetched)
        outcome = CompareAndCommit(turn.paths, site, stamp, report, &result, &rangeMissing);
    if (outcome == CheckOutcome::kNotChecked || result.failure == FetchFailure::kAborted)
        return false;
    RecordCheck(site, turn.folder, outcome, result, rangeMissing, report);
    return true;
}

bool Acquisition::Fetch(const SiteRequest& site, const SitePaths& paths, FetchResult* result)
{
    if (!m_link.BeginWriteStep()) {
        *result = FailedWith(FetchFailure::kAborted);
        return false;
    }
    int fetched = HttpGetToFile(site.url, paths.newPath, m_link.QuitFlag(), FetchSettings(), result);
    m_link.EndWriteStep();
    return fetched == 1;
}

// Without a reference copy the fetched copy is the site's first: stored without a comparison,
// unless the part that counts has a start text to look for.
CheckOutcome Acquisition::CompareAndCommit(const SitePaths& paths, const SiteRequest& site, const char* stamp,
                                           TurnReport* report, FetchResult* result, bool* rangeMissing)
{
    bool first = !PathExists(paths.oldPath);
    if ((!first || !site.part.WholePage()) &&
        m_comparison.FilesDiffer(paths.newPath, paths.oldPath, site.method, site.part, rangeMissing) != 1)
        return CheckOutcome::kUnchanged;
    if (!m_link.BeginWriteStep())
        return CheckOutcome::kNotChecked;
    bool committed = CommitSnapshot(paths) == 1;
    m_link.EndWriteStep();
    if (!committed) {
        result->failure = FetchFailure::kWriteFailed;  // the change is found again next time
        return CheckOutcome::kFailed;
    }
    report->commit.code = site.code;
    report->commit.first = first;
    MakeSnapshotName(report->commit.snapshot, stamp);
    report->committed = true;
    return first ? CheckOutcome::kFirstCopy : CheckOutcome::kChanged;
}

void Acquisition::RecordCheck(const SiteRequest& site, const char* folder, CheckOutcome outcome,
                              const FetchResult& result, bool rangeMissing, TurnReport* report)
{
    CheckNotice& notice = report->check;
    notice.code = site.code;
    LocalTime now;
    NowLocal(&now);
    notice.record = NextCheckRecord(site.previous, outcome, result, now);
    notice.record.rangeMissing = rangeMissing;
    WriteCheckRecord(folder, notice.record);
    report->checked = true;
}

}  // namespace

DWORD WINAPI AcquisitionThread(LPVOID parameter)
{
    const WorkerStart& start = *static_cast<const WorkerStart*>(parameter);
    Acquisition(start.window, *start.link, *start.comparison).Run();
    return 0;
}
