// The socket layer over Winsock 1.1 (the program calls WSAStartup at start-up).
#include "acquisition/socket_ops.h"

#include <winsock2.h>
#include <windows.h>
#include <string.h>

namespace net {

const Socket kNoSocket = static_cast<Socket>(INVALID_SOCKET);

namespace {

SOCKET Sock(Socket s) { return static_cast<SOCKET>(s); }

int PendingError(Socket s)
{
    int error = 0;
    int size = sizeof(error);
    if (getsockopt(Sock(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return WSAGetLastError();
    return error;
}

// Wine reports a connection ended by a reset as a normal end of stream, with no pending error;
// a send of no bytes tells the two apart: it fails on a reset connection and is harmless (nothing
// goes on the wire) on one the peer merely closed.
bool EndedByReset(Socket s)
{
    if (PendingError(s) != 0)
        return true;
    char none = 0;
    return send(Sock(s), &none, 0, 0) == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK;
}

struct DetachedCall {
    void (*fn)(void*);
    void* arg;
};

DWORD WINAPI RunDetached(LPVOID parameter)
{
    DetachedCall call = *static_cast<DetachedCall*>(parameter);
    HeapFree(GetProcessHeap(), 0, parameter);
    call.fn(call.arg);
    return 0;
}

}  // namespace

Socket OpenTcpSocket()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        closesocket(s);
        return kNoSocket;
    }
    return static_cast<Socket>(s);
}

void CloseSocket(Socket s) { closesocket(Sock(s)); }

ConnectStart StartConnect(Socket s, uint32_t address, unsigned short port)
{
    sockaddr_in peer;
    memset(&peer, 0, sizeof(peer));
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    if (connect(Sock(s), reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0)
        return kConnected;
    int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK)
        return kConnecting;
    return error == WSAECONNREFUSED ? kConnectRefused : kConnectFailed;
}

ConnectStart ConnectResult(Socket s)
{
    int error = PendingError(s);
    if (error == 0)
        return kConnected;
    return error == WSAECONNREFUSED ? kConnectRefused : kConnectFailed;
}

long SendSome(Socket s, const char* data, size_t len)
{
    int sent = send(Sock(s), data, static_cast<int>(len), 0);
    if (sent > 0)
        return sent;
    return (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) ? kWouldBlock : -1;
}

long RecvSome(Socket s, char* buf, size_t size)
{
    int got = recv(Sock(s), buf, static_cast<int>(size), 0);
    if (got > 0)
        return got;
    if (got == 0)
        return EndedByReset(s) ? -1 : 0;
    return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : -1;
}

WaitResult WaitSocket(Socket s, bool forWrite, unsigned ms)
{
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(Sock(s), &ready);
    FD_SET(Sock(s), &failed);  // a failed connect shows here, not as writable
    timeval wait;
    wait.tv_sec = static_cast<long>(ms / 1000);
    wait.tv_usec = static_cast<long>((ms % 1000) * 1000);
    int count = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &wait);
    if (count == SOCKET_ERROR)
        return kWaitFailed;
    if (FD_ISSET(Sock(s), &failed))
        return forWrite ? kReady : kWaitFailed;
    return count > 0 ? kReady : kNotYet;
}

void ShutdownBoth(Socket s) { shutdown(Sock(s), SD_BOTH); }

bool ParseDottedAddress(const char* host, uint32_t* address)
{
    unsigned long direct = inet_addr(host);
    if (direct == INADDR_NONE)
        return false;
    *address = direct;
    return true;
}

bool LookUpHostBlocking(const char* host, uint32_t* address)
{
    hostent* entry = gethostbyname(host);  // Winsock keeps the entry per thread
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list[0] == nullptr)
        return false;
    memcpy(address, entry->h_addr_list[0], sizeof(*address));
    return true;
}

uint32_t TickMs() { return GetTickCount(); }

void SleepMs(unsigned ms) { Sleep(ms); }

bool StartDetached(void (*fn)(void*), void* arg)
{
    auto* call = static_cast<DetachedCall*>(HeapAlloc(GetProcessHeap(), 0, sizeof(DetachedCall)));
    if (!call)
        return false;
    call->fn = fn;
    call->arg = arg;
    HANDLE thread = CreateThread(nullptr, 64 * 1024, RunDetached, call, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) {
        HeapFree(GetProcessHeap(), 0, call);
        return false;
    }
    CloseHandle(thread);
    return true;
}

}  // namespace net
