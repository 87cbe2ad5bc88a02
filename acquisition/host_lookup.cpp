#include "acquisition/host_lookup.h"

#include <stdlib.h>

#include <atomic>
#include <new>

#include "base/path_join.h"

namespace {

enum { kHostSize = 1024, kPollMs = 20 };
enum LookupState { kPending, kFound, kUnknown };

// Shared by the waiting caller and the helper thread; the last of the two to let go frees it.
struct LookupJob {
    std::atomic<int> holders{2};
    std::atomic<int> state{kPending};
    uint32_t address = 0;
    char host[kHostSize] = {};
};

void Release(LookupJob* job)
{
    if (job->holders.fetch_sub(1) == 1) {
        job->~LookupJob();
        free(job);
    }
}

void RunLookup(void* parameter)
{
    auto* job = static_cast<LookupJob*>(parameter);
    uint32_t address = 0;
    bool found = net::LookUpHostBlocking(job->host, &address);
    job->address = address;
    job->state.store(found ? kFound : kUnknown);
    Release(job);
}

bool WaitForLookup(LookupJob* job, const WaitLimits& limits, uint32_t* address, FailureNote* why)
{
    uint32_t start = net::TickMs();
    for (;;) {
        int state = job->state.load();
        if (state != kPending) {
            *address = job->address;
            if (state != kFound)
                why->Note(FetchFailure::kNameNotFound);
            return state == kFound;
        }
        unsigned slice = limits.NextSlice(start);
        if (slice == 0) {
            FetchFailure reason = limits.StopReason(start);
            why->Note(reason == FetchFailure::kNoAnswer ? FetchFailure::kNameNoAnswer : reason);
            return false;
        }
        net::SleepMs(slice < kPollMs ? slice : kPollMs);
    }
}

}  // namespace

bool ResolveHost(const char* host, const WaitLimits& limits, uint32_t* address, FailureNote* why)
{
    if (net::ParseDottedAddress(host, address))
        return true;
    void* memory = malloc(sizeof(LookupJob));
    if (!memory) {
        why->Note(FetchFailure::kConnectFailed);
        return false;
    }
    auto* job = new (memory) LookupJob;
    CopyText(job->host, sizeof job->host, host);
    if (!net::StartDetached(RunLookup, job)) {
        job->~LookupJob();
        free(job);
        why->Note(FetchFailure::kConnectFailed);
        return false;
    }
    bool found = WaitForLookup(job, limits, address, why);
    Release(job);
    return found;
}
