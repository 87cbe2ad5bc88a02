#include "acquisition/tcp_connection.h"

#include "acquisition/host_lookup.h"

TcpConnection::TcpConnection(const volatile long* abort, unsigned timeoutMs)
    : m_socket(net::kNoSocket), m_limits(abort, timeoutMs)
{
}

TcpConnection::~TcpConnection() { Close(); }

void TcpConnection::Close()
{
    if (m_socket != net::kNoSocket) {
        net::CloseSocket(m_socket);
        m_socket = net::kNoSocket;
    }
}

bool TcpConnection::Fail(FetchFailure failure)
{
    m_failure.Note(failure);
    return false;
}

long TcpConnection::FailIo(FetchFailure failure)
{
    m_failure.Note(failure);
    return -1;
}

bool TcpConnection::WaitReady(bool forWrite)
{
    uint32_t start = net::TickMs();
    for (;;) {
        unsigned slice = m_limits.NextSlice(start);
        if (slice == 0)
            return Fail(m_limits.StopReason(start));
        net::WaitResult r = net::WaitSocket(m_socket, forWrite, slice);
        if (r == net::kReady)
            return true;
        if (r == net::kWaitFailed)
            return false;  // the caller says what failed
    }
}

bool TcpConnection::Open(const char* host, unsigned short port)
{
    Close();
    if (m_limits.Aborted())
        return Fail(FetchFailure::kAborted);
    uint32_t address;
    if (!ResolveHost(host, m_limits, &address, &m_failure))
        return false;
    m_socket = net::OpenTcpSocket();
    if (m_socket == net::kNoSocket)
        return Fail(FetchFailure::kConnectFailed);
    net::ConnectStart start = net::StartConnect(m_socket, address, port);
    if (start == net::kConnecting)
        start = WaitReady(true) ? net::ConnectResult(m_socket) : net::kConnectFailed;
    if (start == net::kConnectRefused)
        return Fail(FetchFailure::kRefused);
    return start == net::kConnected || Fail(FetchFailure::kConnectFailed);
}

// Send and Recv try the socket first and wait only when it has nothing ready: on a busy
// connection that saves a wait per piece, and the abort flag is still seen before every call.
long TcpConnection::Send(const char* data, size_t len)
{
    for (;;) {
        if (m_limits.Aborted())
            return FailIo(FetchFailure::kAborted);
        long sent = net::SendSome(m_socket, data, len);
        if (sent > 0)
            return sent;
        if (sent != net::kWouldBlock)
            return FailIo(FetchFailure::kReset);
        if (!WaitReady(true))
            return FailIo(FetchFailure::kReset);
    }
}

long TcpConnection::Recv(char* buf, size_t size)
{
    for (;;) {
        if (m_limits.Aborted())
            return FailIo(FetchFailure::kAborted);
        long got = net::RecvSome(m_socket, buf, size);
        if (got >= 0)
            return got;
        if (got != net::kWouldBlock)
            return FailIo(FetchFailure::kReset);
        if (!WaitReady(false))
            return FailIo(FetchFailure::kReset);
    }
}

void TcpConnection::ShutdownBoth()
{
    if (m_socket != net::kNoSocket)
        net::ShutdownBoth(m_socket);
}
