// The limits every network wait of a fetch keeps: the time-out of one wait without progress, the
// time left of the whole fetch, and the abort flag, looked at in slices of at most 250 ms.
#pragma once
#include <stdint.h>

#include "acquisition/fetch_outcome.h"
#include "acquisition/socket_ops.h"

enum {
    kNetworkTimeoutMs = 30000,  // the program's limit for one wait without progress
    kAbortPollMs = 250,         // longest slice of a wait between two looks at the abort flag
};

class WaitLimits {
public:
    WaitLimits(const volatile long* abort, unsigned timeoutMs)
        : m_abort(abort), m_timeoutMs(timeoutMs), m_start(net::TickMs()), m_totalMs(0xFFFFFFFFu)
    {
    }

    // From now on, all waits together end totalMs from now.
    void LimitTotal(unsigned totalMs)
    {
        m_start = net::TickMs();
        m_totalMs = totalMs;
    }
    bool Aborted() const { return m_abort != nullptr && *m_abort != 0; }
    // The next slice of a wait that began at waitStart: 0 when the wait is to give up.
    unsigned NextSlice(uint32_t waitStart) const
    {
        if (Aborted())
            return 0;
        uint32_t now = net::TickMs();
        unsigned left = Left(now - waitStart, m_timeoutMs);
        unsigned total = Left(now - m_start, m_totalMs);
        left = total < left ? total : left;
        return left < kAbortPollMs ? left : kAbortPollMs;
    }
    // Why a wait that began at waitStart gave up once NextSlice said 0: the program ending, the
    // whole time allowed used up, or no progress within the time-out.
    FetchFailure StopReason(uint32_t waitStart) const
    {
        (void)waitStart;
        if (Aborted())
            return FetchFailure::kAborted;
        return Left(net::TickMs() - m_start, m_totalMs) == 0 ? FetchFailure::kTooSlow : FetchFailure::kNoAnswer;
    }
    const volatile long* AbortFlag() const { return m_abort; }

private:
    static unsigned Left(uint32_t elapsed, unsigned limit) { return elapsed >= limit ? 0 : limit - elapsed; }

    const volatile long* m_abort;
    unsigned m_timeoutMs;
    uint32_t m_start;
    unsigned m_totalMs;
};
