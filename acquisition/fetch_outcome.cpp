#include "acquisition/fetch_outcome.h"

#include <string.h>

namespace {

// In the order of the enum; the names are stored in check records and never change.
const char* const kNames[] = {
    "",
    "bad-url",
    "name-not-found",
    "name-no-answer",
    "refused",
    "connect-failed",
    "no-answer",
    "reset",
    "closed-early",
    "handshake-failed",
    "cert-untrusted",
    "cert-wrong-name",
    "cert-expired",
    "cert-wrong-usage",
    "cert-chain-incomplete",
    "old-protocol",
    "too-many-redirects",
    "server-error",
    "bad-response",
    "body-short",
    "too-large",
    "too-slow",
    "write-failed",
    "site-folder",
    "aborted",
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == static_cast<size_t>(FetchFailure::kCount),
              "a name for every failure");

}  // namespace

const char* FetchFailureName(FetchFailure failure)
{
    size_t i = static_cast<size_t>(failure);
    return i < static_cast<size_t>(FetchFailure::kCount) ? kNames[i] : "";
}

bool ParseFetchFailure(const char* name, FetchFailure* failure)
{
    for (size_t i = 1; i < static_cast<size_t>(FetchFailure::kCount); ++i) {
        if (strcmp(name, kNames[i]) == 0) {
            *failure = static_cast<FetchFailure>(i);
            return true;
        }
    }
    return false;
}
