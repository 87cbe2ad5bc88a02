// The thin platform layer under the TCP connection: Winsock in the program, POSIX sockets
// natively. Every socket is non-blocking; the waiting, time limits and the abort flag are the
// connection's own business (tcp_connection.cpp), the same on both platforms.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace net {

typedef uintptr_t Socket;
extern const Socket kNoSocket;

enum { kWouldBlock = -2 };
enum ConnectStart { kConnected, kConnecting, kConnectRefused, kConnectFailed };
enum WaitResult { kWaitFailed = -1, kNotYet = 0, kReady = 1 };

// A new non-blocking IPv4 TCP socket, or kNoSocket.
Socket OpenTcpSocket();
void CloseSocket(Socket s);
// Starts connecting to an IPv4 address (network byte order) and port.
ConnectStart StartConnect(Socket s, uint32_t address, unsigned short port);
// After a connecting socket became ready: kConnected, kConnectRefused or kConnectFailed.
ConnectStart ConnectResult(Socket s);
// Sends some of the bytes: the count sent, kWouldBlock, or -1 on failure.
long SendSome(Socket s, const char* data, size_t len);
// Receives some bytes: the count, 0 when the peer closed the connection normally, kWouldBlock,
// or -1 on failure. A connection ended by a reset is a failure, also where the platform reports
// the reset only as a pending socket error behind an end of stream.
long RecvSome(Socket s, char* buf, size_t size);
// Waits at most ms for the socket to be readable (or writable); a connect that failed counts as
// ready, so that ConnectResult can tell.
WaitResult WaitSocket(Socket s, bool forWrite, unsigned ms);
void ShutdownBoth(Socket s);

// The address a dotted-decimal text spells; false for any other text.
bool ParseDottedAddress(const char* host, uint32_t* address);
// Looks a host name up; blocks as long as the platform's resolver takes.
bool LookUpHostBlocking(const char* host, uint32_t* address);

// Milliseconds of a steady clock that wraps at 2^32: only differences of two readings (taken
// within 49 days) mean anything.
uint32_t TickMs();
void SleepMs(unsigned ms);
// Runs fn(arg) on a thread of its own that nobody waits for; false when none could start.
bool StartDetached(void (*fn)(void*), void* arg);

}  // namespace net
