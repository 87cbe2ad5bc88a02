// An IPv4 TCP connection with bounded waits, over Winsock in the program and POSIX sockets natively.
//
// Every wait (connect, each send, each receive) gives up after the time-out passes without
// progress, and polls the optional abort flag (nonzero = give up) at least every 250 ms so that
// the program can end quickly.
#pragma once
#include <stdint.h>

#include "acquisition/byte_stream.h"

enum {
    kNetworkTimeoutMs = 30000,  // the program's limit for one wait without progress
    kAbortPollMs = 250,         // longest slice of a wait between two looks at the abort flag
};

class TcpConnection : public ByteStream {
public:
    TcpConnection(const volatile long* abort, unsigned timeoutMs);
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Connects to host:port. A dotted-decimal host is used as it is; any other text is looked up
    // by name. Returns false when the host is unknown, the connection is refused, the wait times
    // out or the abort flag is raised.
    bool Open(const char* host, unsigned short port);
    long Send(const char* data, size_t len) override;
    long Recv(char* buf, size_t size) override;
    // Ends both directions after a completed exchange; the socket is closed by the destructor.
    void ShutdownBoth();

private:
    bool IsAborted() const { return m_abort != nullptr && *m_abort != 0; }
    // Waits until the socket is ready for reading or writing; false on time-out, abort or error.
    bool WaitReady(bool forWrite);
    void Close();

    uintptr_t m_socket;  // SOCKET or file descriptor; kNoSocket when closed
    const volatile long* m_abort;
    unsigned m_timeoutMs;
};
