// The socket layer over POSIX sockets, for the native build (tests, fuzzers, benchmarks).
#include "acquisition/socket_ops.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace net {

const Socket kNoSocket = ~static_cast<Socket>(0);

namespace {

int Fd(Socket s) { return static_cast<int>(s); }

bool IsWouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

int PendingError(Socket s)
{
    int error = 0;
    socklen_t size = sizeof(error);
    if (getsockopt(Fd(s), SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return errno;
    return error;
}

// Whether an end of stream came from a reset: a pending error, or a send of no bytes (nothing
// goes on the wire) that fails, which it does not on a connection the peer merely closed.
bool EndedByReset(Socket s)
{
    if (PendingError(s) != 0)
        return true;
    char none = 0;
    return send(Fd(s), &none, 0, MSG_NOSIGNAL) < 0 && !IsWouldBlock(errno);
}

struct DetachedCall {
    void (*fn)(void*);
    void* arg;
};

void* RunDetached(void* parameter)
{
    DetachedCall call = *static_cast<DetachedCall*>(parameter);
    free(parameter);
    call.fn(call.arg);
    return nullptr;
}

}  // namespace

Socket OpenTcpSocket()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return kNoSocket;
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
        close(fd);
        return kNoSocket;
    }
    return static_cast<Socket>(fd);
}

void CloseSocket(Socket s) { close(Fd(s)); }

ConnectStart StartConnect(Socket s, uint32_t address, unsigned short port)
{
    sockaddr_in peer;
    memset(&peer, 0, sizeof(peer));
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    if (connect(Fd(s), reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0)
        return kConnected;
    if (errno == EINPROGRESS)
        return kConnecting;
    return errno == ECONNREFUSED ? kConnectRefused : kConnectFailed;
}

ConnectStart ConnectResult(Socket s)
{
    int error = PendingError(s);
    if (error == 0)
        return kConnected;
    return error == ECONNREFUSED ? kConnectRefused : kConnectFailed;
}

long SendSome(Socket s, const char* data, size_t len)
{
    ssize_t sent = send(Fd(s), data, len, MSG_NOSIGNAL);
    if (sent > 0)
        return static_cast<long>(sent);
    return (sent < 0 && IsWouldBlock(errno)) ? kWouldBlock : -1;
}

long RecvSome(Socket s, char* buf, size_t size)
{
    ssize_t got = recv(Fd(s), buf, size, 0);
    if (got > 0)
        return static_cast<long>(got);
    if (got == 0)
        return EndedByReset(s) ? -1 : 0;
    return IsWouldBlock(errno) ? kWouldBlock : -1;
}

WaitResult WaitSocket(Socket s, bool forWrite, unsigned ms)
{
    pollfd entry;
    entry.fd = Fd(s);
    entry.events = forWrite ? POLLOUT : POLLIN;
    entry.revents = 0;
    int ready = poll(&entry, 1, static_cast<int>(ms));
    if (ready > 0)
        return kReady;  // readable, writable, hung up or failed: the next call tells which
    return (ready < 0 && errno != EINTR) ? kWaitFailed : kNotYet;
}

void ShutdownBoth(Socket s) { shutdown(Fd(s), SHUT_RDWR); }

bool ParseDottedAddress(const char* host, uint32_t* address)
{
    in_addr_t direct = inet_addr(host);
    if (direct == INADDR_NONE)
        return false;
    *address = direct;
    return true;
}

bool LookUpHostBlocking(const char* host, uint32_t* address)
{
    addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

uint32_t TickMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

void SleepMs(unsigned ms)
{
    timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

bool StartDetached(void (*fn)(void*), void* arg)
{
    auto* call = static_cast<DetachedCall*>(malloc(sizeof(DetachedCall)));
    if (!call)
        return false;
    call->fn = fn;
    call->arg = arg;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    bool started = pthread_create(&thread, &attr, RunDetached, call) == 0;
    pthread_attr_destroy(&attr);
    if (!started)
        free(call);
    return started;
}

}  // namespace net
