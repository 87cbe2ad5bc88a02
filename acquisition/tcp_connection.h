// An IPv4 TCP connection with bounded waits, the same on every platform over the socket layer
// (socket_ops.h).
//
// Every wait (the name lookup, connect, each send, each receive) gives up after the time-out
// passes without progress or when the whole time allowed for the connection is used up, and
// looks at the optional abort flag (nonzero = give up) at least every 250 ms so that the
// program can end quickly.
#pragma once
#include <stdint.h>

#include "acquisition/byte_stream.h"
#include "acquisition/socket_ops.h"
#include "acquisition/wait_limits.h"

class TcpConnection : public ByteStream {
public:
    TcpConnection(const volatile long* abort, unsigned timeoutMs);
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // From now on, everything this connection does ends within totalMs.
    void LimitTotal(unsigned totalMs) { m_limits.LimitTotal(totalMs); }
    const WaitLimits& Limits() const { return m_limits; }

    // Connects to host:port. A dotted-decimal host is used as it is; any other text is looked up
    // by name. Returns false when the host is unknown, the connection is refused, a wait runs out
    // or the abort flag is raised.
    bool Open(const char* host, unsigned short port);
    // Why the connection failed: the first failure of Open, Send or Recv.
    FetchFailure Failure() const { return m_failure.Failure(); }
    // Notes a failure found above the connection (its first one is kept).
    void NoteFailure(FetchFailure failure) { m_failure.Note(failure); }
    long Send(const char* data, size_t len) override;
    long Recv(char* buf, size_t size) override;
    // Ends both directions after a completed exchange; the socket is closed by the destructor.
    void ShutdownBoth();

private:
    // Waits until the socket is ready for reading or writing; false when a limit ran out or the
    // abort flag was raised (noted as the failure), or the wait failed (the caller notes why).
    bool WaitReady(bool forWrite);
    bool Fail(FetchFailure failure);    // notes why and gives false
    long FailIo(FetchFailure failure);  // notes why and gives -1
    void Close();

    net::Socket m_socket;
    WaitLimits m_limits;
    FailureNote m_failure;
};
