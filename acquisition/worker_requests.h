// What the acquisition worker asks of the user-interface thread, as WM_WORKER_REQUEST messages
// sent to the main window (wParam the request, lParam its record). The window answers each in
// one step on its own thread, so a row's name, URL and code are always read together. A request
// answered 0 while the program is ending, or by a stop check that found acquisition stopped,
// ends the worker.
#pragma once
#include "acquisition/check_record.h"
#include "base/path_join.h"
#include "registry/site_registry.h"
#include "registry/site_settings.h"
#include "resource.h"

enum WorkerOp {
    kWorkerBeginRow,   // RowRequest: take the row at a position, save its name, show the status;
                       // 0 when no row stands there (the pass is over)
    kWorkerReadSite,   // SiteRequest: the URL, code and comparison of the row in hand; 0 when it
                       // was deleted
    kWorkerSetStatus,  // const char*: a status text for the row in hand
    kWorkerStopCheck,  // const char* or null: 1 to go on; 0 to end, with the saved name put back
    kWorkerEndRow,     // const char*: the saved name back; the result is the next row's position
    kWorkerCommitted,  // const CommitNotice*: a snapshot was stored for the row in hand
    kWorkerChecked,    // const CheckNotice*: the check of the row in hand is over (its record)
    kWorkerOpCount
};

struct RowRequest {
    int row;
    char name[kSiteNameSize];
};

struct SiteRequest {
    char url[kSiteUrlSize];
    long code;
    CompareMethod method;
    ComparedPart part;  // the part of its pages that counts
};

struct CommitNotice {
    long code;
    char name[kSiteNameSize];          // the site's name, as the row showed it
    char snapshot[kPathBufferSize];    // the snapshot's file name in the site folder
    bool first;                        // the site's first snapshot: there was no reference copy
};

struct CheckNotice {
    long code;
    char name[kSiteNameSize];  // the site's name, as the row showed it
    CheckRecord record;        // as written to the site folder
};
