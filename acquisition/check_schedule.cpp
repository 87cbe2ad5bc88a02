#include "acquisition/check_schedule.h"

bool IsCheckDue(const CheckRecord* record, unsigned long intervalMinutes, time_t now)
{
    time_t checked;
    if (intervalMinutes == 0 || !record || record->outcome == CheckOutcome::kNotChecked ||
        !record->checked.IsSet() || !ToCalendarTime(record->checked, &checked))
        return true;
    if (now < checked)
        return true;
    return static_cast<unsigned long long>(now - checked) >= intervalMinutes * 60ull;
}
