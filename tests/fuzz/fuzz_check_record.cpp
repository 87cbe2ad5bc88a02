// Fuzzes the reading of check records: any bytes read as a record or as none, never past the
// input; a record that is read is written back to the same text and reads back the same.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "acquisition/check_record.h"

namespace {

bool SameTime(const LocalTime& a, const LocalTime& b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
           a.second == b.second;
}

bool Same(const CheckRecord& a, const CheckRecord& b)
{
    return a.outcome == b.outcome && a.failure == b.failure && a.status == b.status &&
           a.failuresInRow == b.failuresInRow && SameTime(a.checked, b.checked) &&
           SameTime(a.lastSuccess, b.lastSuccess) && a.rangeMissing == b.rangeMissing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckRecord record;
    if (!ParseCheckRecord(reinterpret_cast<const char*>(data), size, &record)) {
        if (record.outcome != CheckOutcome::kNotChecked)
            abort();
        return 0;
    }
    char text[kCheckRecordMaxBytes];
    size_t len = FormatCheckRecord(record, text, sizeof text);
    if (len == 0 || len >= sizeof text)
        abort();
    CheckRecord again;
    if (!ParseCheckRecord(text, len, &again) || !Same(record, again))
        abort();
    return 0;
}
