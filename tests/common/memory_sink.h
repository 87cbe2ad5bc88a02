// A byte sink that keeps everything it is given in memory, for the tests and fuzzers of code that
// writes to a ByteSink: the bytes, the size of each piece handed over, and a switch that makes it
// refuse bytes as a full disk would.
#pragma once
#include <stddef.h>

#include <string>
#include <vector>

#include "acquisition/http_fetch.h"

class MemorySink final : public ByteSink {
public:
    bool Put(const char* data, size_t len) override
    {
        if (refuse)
            return false;
        bytes.append(data, len);
        pieces.push_back(len);
        largestPut = len > largestPut ? len : largestPut;
        return true;
    }

    std::string bytes;
    std::vector<size_t> pieces;  // the length of each Put, in order
    size_t largestPut = 0;
    bool refuse = false;
};
