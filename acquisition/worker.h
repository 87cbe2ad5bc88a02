// The acquisition worker: one background thread that polls every row of the site list in turn.
// It reaches the list only through requests to the main window (worker_requests.h), which the
// user-interface thread answers one at a time, so it always finds the row of the site it is on,
// whatever rows are registered or deleted meanwhile.
#pragma once
#include <windows.h>

#include "registry/site_settings.h"

class WorkerLink;

// The status texts a row shows while the worker is on it.
extern const char kFetchingStatus[];    // "ファイルを取得"
extern const char kProcessingStatus[];  // "データの処理"

// What the worker asks about each fetched copy: 1 when it differs from the reference copy (on the
// pages' readable text alone for a site compared that way, on the part that counts where the
// site's watch sets one; *rangeMissing: the fetched copy lacks the range's start text).
class PageComparison {
public:
    virtual int FilesDiffer(const char* newPath, const char* oldPath, CompareMethod method, const ComparedPart& part,
                            bool* rangeMissing) = 0;

protected:
    PageComparison() = default;
    ~PageComparison() = default;
};

// What the worker is started with: the window that answers its requests (worker_requests.h), the
// link both threads share, and what decides whether a fetched copy changed. All three outlive the
// worker.
struct WorkerStart {
    HWND window;
    WorkerLink* link;
    PageComparison* comparison;
};

// The thread procedure; its parameter is a WorkerStart.
DWORD WINAPI AcquisitionThread(LPVOID parameter);
