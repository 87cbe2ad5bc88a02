#include "acquisition/worker.h"

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

// The files of the site in hand; false when one of them would not fit in 259 bytes.
bool MakeSitePaths(SitePaths& paths, long code, const char* stamp)
{
    char prefix[kPathBufferSize];
    return MakeSitePrefix(prefix, code) && paths.Make(prefix, stamp);
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
    // Waits between two passes; false when the worker is to end.
    bool WaitForNextPass() const;
    // Works on the row at the position; false when the worker is to end.
    bool WorkOnRow(const char* savedName, int& row);
    bool Fetch(const SiteRequest& site, const SitePaths& paths);
    void CompareAndCommit(const SitePaths& paths, CompareMethod method, CommitNotice notice);

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

// The row in hand already shows the fetching status. Afterwards row is the next row's position.
bool Acquisition::WorkOnRow(const char* savedName, int& row)
{
    if (!m_link.Pause(kStepPauseMs))
        return false;
    SiteRequest site = {};
    bool present = Ask(kWorkerReadSite, &site) != 0;
    char stamp[kSnapshotStampSize];
    MakeSnapshotStamp(stamp, sizeof stamp);  // the time the fetch is about to start
    SitePaths paths;
    bool fits = present && MakeSitePaths(paths, site.code, stamp);
    if (!GoOn(savedName))
        return false;
    if (fits) {
        bool fetched = Fetch(site, paths);
        if (!GoOn(savedName))
            return false;
        Ask(kWorkerSetStatus, kProcessingStatus);
        if (!m_link.Pause(kStepPauseMs))
            return false;
        // A failed fetch is no result: nothing is compared and nothing stored.
        if (fetched)
            CompareAndCommit(paths, site.method, MakeNotice(site, savedName, stamp));
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

void Acquisition::CompareAndCommit(const SitePaths& paths, CompareMethod method, CommitNotice notice)
{
    if (m_comparison.FilesDiffer(paths.newPath, paths.oldPath, method) != 1)
        return;
    if (!m_link.BeginWriteStep())
        return;
    notice.first = !FileExists(paths.oldPath);
    bool committed = CommitSnapshot(paths) == 1;
    m_link.EndWriteStep();
    if (committed)
        Ask(kWorkerCommitted, &notice);
}

}  // namespace

DWORD WINAPI AcquisitionThread(LPVOID parameter)
{
    const WorkerStart& start = *static_cast<const WorkerStart*>(parameter);
    Acquisition(start.window, *start.link, *start.comparison).Run();
    return 0;
}
