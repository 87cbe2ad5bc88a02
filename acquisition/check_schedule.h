// When a site is due for a check in a pass: when its interval has passed since its last check.
#pragma once
#include <time.h>

#include "acquisition/check_record.h"

// Whether the site is checked in a pass at `now`: always for a site checked every pass (interval
// 0), one without a record of a check, and one whose record's time cannot be read; otherwise once
// intervalMinutes have passed since the record's check, or at once when the clock now stands
// before it (set back since).
bool IsCheckDue(const CheckRecord* record, unsigned long intervalMinutes, time_t now);
