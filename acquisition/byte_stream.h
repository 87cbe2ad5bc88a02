// A two-way byte stream under the HTTP exchange: a plain TCP connection or a TLS stream over one,
// without the exchange knowing which.
#pragma once
#include <stddef.h>

class ByteStream {
public:
    // Sends up to len bytes. Returns the number sent (at least 1), or -1 on failure, time-out or
    // abort. The caller loops until everything is out.
    virtual long Send(const char* data, size_t len) = 0;
    // Receives up to size bytes. Returns the number received (at least 1), 0 when the peer closed
    // the stream normally, or -1 on failure, time-out or abort.
    virtual long Recv(char* buf, size_t size) = 0;

protected:
    ByteStream() = default;
    ~ByteStream() = default;  // never deleted through this interface
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;
};

// Sends all len bytes: false when the stream fails first.
inline bool SendAll(ByteStream& stream, const char* data, size_t len)
{
    while (len > 0) {
        long sent = stream.Send(data, len);
        if (sent <= 0)
            return false;
        data += sent;
        len -= static_cast<size_t>(sent);
    }
    return true;
}
