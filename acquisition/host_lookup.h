// Name lookup with a limit: the platform's resolver may wait a minute for a name server that
// never answers and cannot be interrupted, so it runs on a helper thread of its own and the
// caller stops waiting for it when its limits say so. A lookup given up on finishes by itself
// and frees what it holds.
#pragma once
#include <stdint.h>

#include "acquisition/wait_limits.h"

// Resolves host to an IPv4 address in network order: a dotted-decimal text directly, any other
// text by name lookup. False when the host is unknown or the limits ended the wait first; why
// goes to *why.
bool ResolveHost(const char* host, const WaitLimits& limits, uint32_t* address, FailureNote* why);
