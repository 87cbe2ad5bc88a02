#include "acquisition/check_record.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "base/decimal.h"
#include "base/text_join.h"
#include "registry/site_folder.h"

namespace {

const char* const kOutcomeNames[] = {"", "first", "unchanged", "changed", "failed"};
const unsigned long kMostFailuresInRow = 999999999;

enum Key { kChecked, kOutcome, kFailure, kStatus, kFailures, kSucceeded, kRange, kKeyCount };
const char* const kKeys[kKeyCount] = {"checked", "outcome", "failure", "status", "failures", "succeeded", "range"};
const char kRangeMissing[] = "missing";

bool ParseOutcome(const char* value, CheckOutcome* outcome)
{
    for (size_t i = 1; i < sizeof(kOutcomeNames) / sizeof(kOutcomeNames[0]); ++i) {
        if (strcmp(value, kOutcomeNames[i]) == 0) {
            *outcome = static_cast<CheckOutcome>(i);
            return true;
        }
    }
    return false;
}

// A whole decimal number from 0 to most, digits only.
bool ParseCount(const char* value, unsigned long most, unsigned long* count)
{
    size_t len = strlen(value);
    if (len == 0 || len > 9)
        return false;
    unsigned long n = 0;
    for (size_t i = 0; i < len; ++i) {
        if (value[i] < '0' || value[i] > '9')
            return false;
        n = n * 10 + static_cast<unsigned long>(value[i] - '0');
    }
    if (n > most)
        return false;
    *count = n;
    return true;
}

// Takes one "key=value" line into the record; false for a line no record holds.
bool TakeLine(char* line, CheckRecord* record, bool seen[kKeyCount])
{
    char* equals = strchr(line, '=');
    if (!equals)
        return false;
    *equals = '\0';
    const char* value = equals + 1;
    for (int key = 0; key < kKeyCount; ++key) {
        if (strcmp(line, kKeys[key]) != 0)
            continue;
        if (seen[key])
            return false;
        seen[key] = true;
        unsigned long number = 0;
        switch (key) {
        case kChecked: return ParseLocalTime(value, &record->checked);
        case kOutcome: return ParseOutcome(value, &record->outcome);
        case kFailure: return ParseFetchFailure(value, &record->failure);
        case kStatus:
            if (!ParseCount(value, 999, &number))
                return false;
            record->status = static_cast<int>(number);
            return true;
        case kFailures: return ParseCount(value, kMostFailuresInRow, &record->failuresInRow);
        case kSucceeded: return ParseLocalTime(value, &record->lastSuccess);
        default:
            record->rangeMissing = true;
            return strcmp(value, kRangeMissing) == 0;
        }
    }
    return false;
}

// A record holds what its outcome needs: a time, and a reason when it failed.
bool IsWhole(const CheckRecord& record)
{
    if (record.outcome == CheckOutcome::kNotChecked || !record.checked.IsSet())
        return false;
    return record.Failed() == (record.failure != FetchFailure::kNone) && record.failure != FetchFailure::kAborted;
}

void AppendLine(TextBuilder& text, Key key, const char* value)
{
    text.Append(kKeys[key]).Append("=").Append(value).Append("\r\n");
}

}  // namespace

CheckRecord NextCheckRecord(const CheckRecord& previous, CheckOutcome outcome, const FetchResult& result,
                            const LocalTime& now)
{
    CheckRecord next;
    next.outcome = outcome;
    next.checked = now;
    next.status = result.status;
    next.lastSuccess = previous.lastSuccess;
    if (outcome == CheckOutcome::kFailed) {
        next.failure = result.failure == FetchFailure::kNone ? FetchFailure::kConnectFailed : result.failure;
        next.failuresInRow = previous.failuresInRow < kMostFailuresInRow ? previous.failuresInRow + 1
                                                                          : kMostFailuresInRow;
    } else {
        next.lastSuccess = now;
    }
    return next;
}

size_t FormatCheckRecord(const CheckRecord& record, char* dst, size_t size)
{
    char checked[kLocalTimeTextSize];
    char succeeded[kLocalTimeTextSize];
    FormatLocalTime(record.checked, checked, sizeof checked);
    FormatLocalTime(record.lastSuccess, succeeded, sizeof succeeded);
    TextBuilder text(dst, size);
    AppendLine(text, kChecked, checked);
    AppendLine(text, kOutcome, kOutcomeNames[static_cast<size_t>(record.outcome)]);
    if (record.Failed())
        AppendLine(text, kFailure, FetchFailureName(record.failure));
    if (record.status > 0 && record.status <= 999)
        AppendLine(text, kStatus, DecimalText(record.status));
    AppendLine(text, kFailures, DecimalText(static_cast<long>(record.failuresInRow)));
    if (succeeded[0] != '\0')
        AppendLine(text, kSucceeded, succeeded);
    if (record.rangeMissing)
        AppendLine(text, kRange, kRangeMissing);
    return text.Ok() ? text.Length() : 0;
}

bool ParseCheckRecord(const char* data, size_t len, CheckRecord* record)
{
    *record = CheckRecord();
    if (len == 0 || len > kCheckRecordMaxBytes || memchr(data, '\0', len))
        return false;
    char text[kCheckRecordMaxBytes + 1];
    memcpy(text, data, len);
    text[len] = '\0';
    CheckRecord read;
    bool seen[kKeyCount] = {};
    for (char* line = text; *line != '\0';) {
        char* end = strchr(line, '\n');
        if (!end || end == line || end[-1] != '\r')
            break;  // every line ends in CR LF, the last one too: anything else is cut short
        end[-1] = '\0';
        if (!TakeLine(line, &read, seen))
            return false;
        line = end + 1;
        if (*line == '\0' && IsWhole(read)) {
            *record = read;
            return true;
        }
    }
    return false;
}

bool ReadCheckRecord(const char* siteFolder, CheckRecord* record)
{
    *record = CheckRecord();
    char path[kPathBufferSize];
    InputFile file;
    if (!MakeSiteFilePath(path, siteFolder, SiteFile::kCheckRecord) || !file.Open(path))
        return false;
    char data[kCheckRecordMaxBytes + 1];
    long got = file.ReadFull(data, sizeof data);  // one byte more than a record: a larger file is none
    return got > 0 && ParseCheckRecord(data, static_cast<size_t>(got), record);
}

bool WriteCheckRecord(const char* siteFolder, const CheckRecord& record)
{
    char path[kPathBufferSize];
    char temp[kPathBufferSize];
    char text[kCheckRecordMaxBytes];
    size_t len = FormatCheckRecord(record, text, sizeof text);
    return len > 0 && MakeSiteFilePath(path, siteFolder, SiteFile::kCheckRecord) &&
           MakeSiteFilePath(temp, siteFolder, SiteFile::kCheckTemp) && WriteBytesAtomically(path, temp, text, len);
}
