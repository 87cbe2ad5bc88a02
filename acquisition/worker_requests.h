// What the acquisition worker asks of the user-interface thread, as WM_WORKER_REQUEST messages
// sent to the main window (wParam the request, lParam its record). The window answers each in
// one step on its own thread, so a row's name, URL, code and settings are always read together.
// The answer goes into the record's `answer`, set to 0 before the request is sent (a request the
// window never took reads as 0), and the message's own result stays 0.
// A turn takes four requests: the row begun and its site read, a stop check after the first
// pause, a stop check with the processing status after the fetch, and the row ended with what the
// turn found (the snapshot stored, the check's record). A request answered 0 while the program is ending, or
// by a stop check that found acquisition stopped, ends the worker.
#pragma once
#include "acquisition/check_record.h"
#include "base/path_join.h"
#include "registry/site_registry.h"
#include "registry/site_settings.h"
#include "resource.h"

enum WorkerOp {
    kWorkerBeginRow,   // RowRequest: take the row at a position (or the first after it that has a
                       // turn), save its name, show the fetching status and read its site; 0 when
                       // no row stands there (the pass is over)
    kWorkerStopCheck,  // StopCheck: 0 to end, with the saved name put back; otherwise kGoOn, with
                       // kRowGone when the row in hand was deleted meanwhile
    kWorkerEndRow,     // RowEnd: the snapshot stored and the check's record noted (when there were
                       // any), the saved name back; the answer is the next row's position
    kWorkerOpCount
};

enum StopCheckAnswer { kGoOn = 1, kRowGone = 2 };

// What the worker works on in a turn, read when the row is taken.
struct SiteRequest {
    char url[kSiteUrlSize];
    long code;
    CompareMethod method;
    ComparedPart part;      // the part of its pages that counts
    CheckRecord previous;   // the record of its last check, as the window keeps it
};

struct RowRequest {
    int answer;
    int row;
    char name[kSiteNameSize];
    SiteRequest site;
};

struct StopCheck {
    int answer;
    const char* savedName;  // null between passes
    const char* status;     // shown in the row in hand when acquisition goes on; null for none
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

struct RowEnd {
    int answer;
    const char* savedName;
    const CheckNotice* check;       // null when the site was not checked (its row was deleted first)
    const CommitNotice* committed;  // null when no snapshot was stored
};
