// TcpConnection over POSIX sockets, for the native build (tests, fuzzers, benchmarks).
// Waits use poll(), which has no limit on descriptor numbers, in slices of at most 250 ms.
#include "acquisition/tcp_connection.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {

const uintptr_t kNoSocket = ~static_cast<uintptr_t>(0);
const long long kSliceMs = kAbortPollMs;

int Fd(uintptr_t s) { return static_cast<int>(s); }

long long NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Resolves host to an IPv4 address in network order: dotted-decimal text directly, any other
// text by name lookup.
bool ResolveHost(const char* host, in_addr_t* address)
{
    in_addr_t direct = inet_addr(host);
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

bool IsWouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

}  // namespace

TcpConnection::TcpConnection(const volatile long* abort, unsigned timeoutMs)
    : m_socket(kNoSocket), m_abort(abort), m_timeoutMs(timeoutMs)
{
}

TcpConnection::~TcpConnection() { Close(); }

void TcpConnection::Close()
{
    if (m_socket != kNoSocket) {
        close(Fd(m_socket));
        m_socket = kNoSocket;
    }
}

bool TcpConnection::WaitReady(bool forWrite)
{
    long long deadline = NowMs() + m_timeoutMs;
    for (;;) {
        if (IsAborted())
            return false;
        long long remaining = deadline - NowMs();
        if (remaining <= 0)
            return false;
        pollfd entry;
        entry.fd = Fd(m_socket);
        entry.events = forWrite ? POLLOUT : POLLIN;
        entry.revents = 0;
        long long slice = remaining < kSliceMs ? remaining : kSliceMs;
        int ready = poll(&entry, 1, static_cast<int>(slice));
        if (ready > 0)
            return true;  // readable, writable, hung up or failed: the next call tells which
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool TcpConnection::Open(const char* host, unsigned short port)
{
    Close();
    if (IsAborted())
        return false;
    in_addr_t address;
    if (!ResolveHost(host, &address))
        return false;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    m_socket = static_cast<uintptr_t>(fd);
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0)
        return false;
    sockaddr_in peer;
    memset(&peer, 0, sizeof(peer));
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    if (connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0)
        return true;
    if (errno != EINPROGRESS || !WaitReady(true))
        return false;
    int error = 0;
    socklen_t size = sizeof(error);
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

// Send and Recv try the socket first and wait only when it has nothing ready: on a busy
// connection that saves a poll() per piece, and the abort flag is still seen before every call.
long TcpConnection::Send(const char* data, size_t len)
{
    for (;;) {
        if (IsAborted())
            return -1;
        ssize_t sent = send(Fd(m_socket), data, len, MSG_NOSIGNAL);
        if (sent > 0)
            return static_cast<long>(sent);
        if ((sent < 0 && !IsWouldBlock(errno)) || !WaitReady(true))
            return -1;
    }
}

long TcpConnection::Recv(char* buf, size_t size)
{
    for (;;) {
        if (IsAborted())
            return -1;
        ssize_t got = recv(Fd(m_socket), buf, size, 0);
        if (got >= 0)
            return static_cast<long>(got);
        if (!IsWouldBlock(errno) || !WaitReady(false))
            return -1;
    }
}

void TcpConnection::ShutdownBoth()
{
    if (m_socket != kNoSocket)
        shutdown(Fd(m_socket), SHUT_RDWR);
}
