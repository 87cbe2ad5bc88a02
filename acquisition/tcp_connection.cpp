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

bool TcpConnection::WaitReady(bool forWrite)
{
    uint32_t start = net::TickMs();
    for (;;) {
        unsigned slice = m_limits.NextSlice(start);
        if (slice == 0)
            return false;
        net::WaitResult r = net::WaitSocket(m_socket, forWrite, slice);
        if (r != net::kNotYet)
            return r == net::kReady;
    }
}

bool TcpConnection::Open(const char* host, unsigned short port)
{
    Close();
    if (m_limits.Aborted())
        return false;
    uint32_t address;
    if (!ResolveHost(host, m_limits, &address))
        return false;
    m_socket = net::OpenTcpSocket();
    if (m_socket == net::kNoSocket)
        return false;
    switch (net::StartConnect(m_socket, address, port)) {
    case net::kConnected:
        return true;
    case net::kConnecting:
        return WaitReady(true) && net::ConnectSucceeded(m_socket);
    default:
        return false;
    }
}

// Send and Recv try the socket first and wait only when it has nothing ready: on a busy
// connection that saves a wait per piece, and the abort flag is still seen before every call.
long TcpConnection::Send(const char* data, size_t len)
{
    for (;;) {
        if (m_limits.Aborted())
            return -1;
        long sent = net::SendSome(m_socket, data, len);
        if (sent != net::kWouldBlock)
            return sent > 0 ? sent : -1;
        if (!WaitReady(true))
            return -1;
    }
}

long TcpConnection::Recv(char* buf, size_t size)
{
    for (;;) {
        if (m_limits.Aborted())
            return -1;
        long got = net::RecvSome(m_socket, buf, size);
        if (got != net::kWouldBlock)
            return got;
        if (!WaitReady(false))
            return -1;
    }
}

void TcpConnection::ShutdownBoth()
{
    if (m_socket != net::kNoSocket)
        net::ShutdownBoth(m_socket);
}
