// The record of a site's last check, kept in its site folder (SiteFile::kCheckRecord) and
// written after each turn of the site in a pass: when it was checked, how the check ended, how
// many checks in a row have failed and when the last one succeeded. The file is a few
// "key=value" lines of ASCII, written whole through a temporary and renamed into place, so it is
// always the old record or the new one. A record that is missing, cut short, damaged or larger
// than any record reads as "not checked yet".
#pragma once
#include <stddef.h>

#include "acquisition/fetch_outcome.h"
#include "base/local_time.h"

enum class CheckOutcome : unsigned char {
    kNotChecked,  // no record
    kFirstCopy,   // the first copy of the site was kept
    kUnchanged,
    kChanged,
    kFailed,      // see failure and status
};

struct CheckRecord {
    CheckOutcome outcome = CheckOutcome::kNotChecked;
    FetchFailure failure = FetchFailure::kNone;  // why, when failed
    int status = 0;                  // the status of the last response, 0 when there was none
    unsigned long failuresInRow = 0; // 0 after a check that succeeded
    LocalTime checked;               // when the check was made
    LocalTime lastSuccess;           // when the last check that succeeded was made (maybe never)
    bool rangeMissing = false;       // the watched range's start was not found: the whole page
                                     // was compared

    bool Failed() const { return outcome == CheckOutcome::kFailed; }
};

enum { kCheckRecordMaxBytes = 512 };  // no record is longer

// The record after a check made at `now` that ended with outcome (and, when it failed, result).
CheckRecord NextCheckRecord(const CheckRecord& previous, CheckOutcome outcome, const FetchResult& result,
                            const LocalTime& now);

// The record as the file holds it, into dst (kCheckRecordMaxBytes is always enough); the length.
size_t FormatCheckRecord(const CheckRecord& record, char* dst, size_t size);
// Reads a record from the file's bytes. False (the record "not checked yet") for anything that is
// not a whole record.
bool ParseCheckRecord(const char* data, size_t len, CheckRecord* record);

// The record of the site folder at siteFolder; false when there is none to read.
bool ReadCheckRecord(const char* siteFolder, CheckRecord* record);
// Stores the record in the site folder; false (the old record kept) when it cannot be written.
bool WriteCheckRecord(const char* siteFolder, const CheckRecord& record);
