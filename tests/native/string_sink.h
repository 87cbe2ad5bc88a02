// A sink that keeps everything it is given, for the tests and fuzzers of what writes to sinks.
#pragma once
#include <string>

#include "acquisition/http_fetch.h"

class StringSink final : public ByteSink {
public:
    bool Put(const char* data, size_t len) override
    {
        text.append(data, len);
        return true;
    }
    std::string text;
};
