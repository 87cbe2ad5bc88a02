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
const DWORD kPassPauseMs = 60000;

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

// What the window is told once a snapshot of the site is stored.
CommitNotice MakeNotice(const SiteRequest& site, const char* savedName, const char* stamp)
{
    CommitNotice notice = {};
    notice.code = site.code;
    CopyText(notice.name, sizeof notice.name, savedName);
    MakeSnapshotName(notice.snapshot, stamp);
    return notice;
}

bool FileExists(const char* path)
{
    InputFile file;
    return file.Open(path);
}

// The worker's passes over the site list. It reaches the window only through requests.
class Acquisition {
public:
    Acquisition(HWND window, WorkerLink& link, PageComparison& comparison)
        : m_window(window), m_link(link), m_comparison(comparison)
    {
    }
    void Run();

private:
    LRESULT Ask(WorkerOp op, const void* request) const
    {
        if (m_link.Quitting())
            return 0;
        return SendMessageA(m_window, WM_WORKER_REQUEST, op, reinterpret_cast<LPARAM>(request));
    }
    bool GoOn(const char* savedName) const { return Ask(kWorkerStopCheck, savedName) != 0; }
    // Works on the row at the position; false when the worker is to end.
    bool WorkOnRow(const char* savedName, int& row);
    // Fetches, compares and stores; false when the worker is to end (nothing is recorded then).
    bool CheckSite(const char* savedName, const SiteRequest& site, const SiteTurn& turn, const char* stamp);
    bool Fetch(const SiteRequest& site, const SitePaths& paths, FetchResult* result);
    // How the comparison and the commit ended; kNotChecked when the program is ending.
    CheckOutcome CompareAndCommit(const SitePaths& paths, const SiteRequest& site, CommitNotice notice,
                                  FetchResult* result, bool* rangeMissing);
    // Keeps the record of the check in the site folder and tells the window.
    void RecordCheck(const char* savedName, long code, const char* folder, CheckOutcome outcome,
                     const FetchResult& result, bool rangeMissing = false);

    HWND m_window;
    WorkerLink& m_link;
    PageComparison& m_comparison;
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
    char stamp[kSnapshotStampSize];
    MakeSnapshotStamp(stamp, sizeof stamp);  // the time the fetch is about to start
    SiteTurn turn(site.code, stamp);
    if (!GoOn(savedName))
        return false;
    if (present && turn.fits) {
        if (!CheckSite(savedName, site, turn, stamp))
            return false;
    } else if (present) {
        RecordCheck(savedName, site.code, turn.folder, CheckOutcome::kFailed, FailedWith(FetchFailure::kSiteFolder));
    }
    row = static_cast<int>(Ask(kWorkerEndRow, savedName));
    return m_link.Pause(kStepPauseMs);
}

bool Acquisition::CheckSite(const char* savedName, const SiteRequest& site, const SiteTurn& turn, const char* stamp)
{
    FetchResult result;
    bool fetched = Fetch(site, turn.paths, &result);
    if (!GoOn(savedName))
        return false;
    Ask(kWorkerSetStatus, kProcessingStatus);
    if (!m_link.Pause(kStepPauseMs))
        return false;
    // A failed fetch is no result: nothing is compared and nothing stored.
    CheckOutcome outcome = CheckOutcome::kFailed;
    bool rangeMissing = false;
    if (fetched)
        outcome = CompareAndCommit(turn.paths, site, MakeNotice(site, savedName, stamp), &result, &rangeMissing);
    if (outcome == CheckOutcome::kNotChecked || result.failure == FetchFailure::kAborted)
        return false;
    RecordCheck(savedName, site.code, turn.folder, outcome, result, rangeMissing);
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

CheckOutcome Acquisition::CompareAndCommit(const SitePaths& paths, const SiteRequest& site, CommitNotice notice,
                                           FetchResult* result, bool* rangeMissing)
{
    if (m_comparison.FilesDiffer(paths.newPath, paths.oldPath, site.method, site.part, rangeMissing) != 1)
        return CheckOutcome::kUnchanged;
    if (!m_link.BeginWriteStep())
        return CheckOutcome::kNotChecked;
    notice.first = !FileExists(paths.oldPath);
    bool committed = CommitSnapshot(paths) == 1;
    m_link.EndWriteStep();
    if (!committed) {
        result->failure = FetchFailure::kWriteFailed;  // the change is found again next time
        return CheckOutcome::kFailed;
    }
    Ask(kWorkerCommitted, &notice);
    return notice.first ? CheckOutcome::kFirstCopy : CheckOutcome::kChanged;
}

void Acquisition::RecordCheck(const char* savedName, long code, const char* folder, CheckOutcome outcome,
                              const FetchResult& result, bool rangeMissing)
{
    CheckNotice notice = {};
    notice.code = code;
    CopyText(notice.name, sizeof notice.name, savedName);
    LocalTime now;
    NowLocal(&now);
    CheckRecord previous;
    ReadCheckRecord(folder, &previous);
    notice.record = NextCheckRecord(previous, outcome, result, now);
    notice.record.rangeMissing = rangeMissing;
    WriteCheckRecord(folder, notice.record);
    Ask(kWorkerChecked, &notice);
}

}  // namespace

DWORD WINAPI AcquisitionThread(LPVOID parameter)
{
    const WorkerStart& start = *static_cast<const WorkerStart*>(parameter);
    Acquisition(start.window, *start.link, *start.comparison).Run();
    return 0;
}
