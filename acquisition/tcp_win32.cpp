// TcpConnection over Winsock 1.1 (the program calls WSAStartup at start-up).
// Waits use select() in slices of at most 250 ms so the abort flag is seen promptly.
#include "acquisition/tcp_connection.h"

#include <winsock2.h>
#include <string.h>

namespace {

const uintptr_t kNoSocket = static_cast<uintptr_t>(INVALID_SOCKET);
const DWORD kSliceMs = kAbortPollMs;

SOCKET Sock(uintptr_t s) { return static_cast<SOCKET>(s); }

// Resolves host to an IPv4 address in network order: dotted-decimal text directly (no reverse
// lookup), any other text by name lookup.
bool ResolveHost(const char* host, unsigned long* address)
{
    unsigned long direct = inet_addr(host);
    if (direct != INADDR_NONE) {
        *address = direct;
        return true;
    }
    hostent* entry = gethostbyname(host);
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list[0] == nullptr)
        return false;
    memcpy(address, entry->h_addr_list[0], sizeof(*address));
    return true;
}

}  // namespace

TcpConnection::TcpConnection(const volatile long* abort, unsigned timeoutMs)
    : m_socket(kNoSocket), m_abort(abort), m_timeoutMs(timeoutMs)
{
}

TcpConnection::~TcpConnection() { Close(); }

void TcpConnection::Close()
{
    if (m_socket != kNoSocket) {
        closesocket(Sock(m_socket));
        m_socket = kNoSocket;
    }
}

bool TcpConnection::WaitReady(bool forWrite)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (IsAborted())
            return false;
        DWORD elapsed = GetTickCount() - start;  // unsigned difference survives the tick wrap
        if (elapsed >= m_timeoutMs)
            return false;
        DWORD remaining = m_timeoutMs - elapsed;
        DWORD slice = remaining < kSliceMs ? remaining : kSliceMs;
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(Sock(m_socket), &ready);
        FD_SET(Sock(m_socket), &failed);  // a failed connect shows here, not as writable
        timeval wait;
        wait.tv_sec = static_cast<long>(slice / 1000);
        wait.tv_usec = static_cast<long>((slice % 1000) * 1000);
        int count = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &wait);
        if (count == SOCKET_ERROR || FD_ISSET(Sock(m_socket), &failed))
            return false;
        if (count > 0)
            return true;
    }
}

bool TcpConnection::Open(const char* host, unsigned short port)
{
    Close();
    if (IsAborted())
        return false;
    unsigned long address;
    if (!ResolveHost(host, &address))
        return false;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return false;
    m_socket = static_cast<uintptr_t>(s);
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        return false;
    sockaddr_in peer;
    memset(&peer, 0, sizeof(peer));
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    if (connect(s, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0)
        return true;
    if (WSAGetLastError() != WSAEWOULDBLOCK)
        return false;
    return WaitReady(true);
}

// Send and Recv try the socket first and wait in select() only when it has nothing ready: on a
// busy connection that saves a call per piece, and the abort flag is still seen before every call.
long TcpConnection::Send(const char* data, size_t len)
{
    for (;;) {
        if (IsAborted())
            return -1;
        int sent = send(Sock(m_socket), data, static_cast<int>(len), 0);
        if (sent > 0)
            return sent;
        if ((sent == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) || !WaitReady(true))
            return -1;
    }
}

long TcpConnection::Recv(char* buf, size_t size)
{
    for (;;) {
        if (IsAborted())
            return -1;
        int got = recv(Sock(m_socket), buf, static_cast<int>(size), 0);
        if (got >= 0)
            return got;
        if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitReady(false))
            return -1;
    }
}

void TcpConnection::ShutdownBoth()
{
    if (m_socket != kNoSocket)
        shutdown(Sock(m_socket), SD_BOTH);
}
