// A TLS client session over a TCP connection, under the same ByteStream interface as the
// connection itself, so that the HTTP exchange does not know which of the two it talks to.
//
// In the program it is the platform's own TLS (Schannel through SSPI): TLS 1.2, and TLS 1.3
// where the platform offers it, nothing older; the server name sent with the handshake (SNI); the
// server's certificate checked by this program against the system's trusted roots and the host
// name. Natively there is no TLS: the handshake fails. Every wait is one of the connection's, so
// its time limits and abort flag hold here too.
#pragma once
#include <stddef.h>

#include "acquisition/byte_stream.h"
#include "acquisition/tcp_connection.h"

class TlsStream : public ByteStream {
public:
    // The connection must be open and outlive the stream.
    explicit TlsStream(TcpConnection& connection) : m_connection(connection), m_host(nullptr), m_session(nullptr) {}
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // Negotiates the session with host as the server name and checks the server's certificate
    // for host (a chain to a trusted root, valid now, for server use, naming host). False on any
    // failure; nothing can be sent or received then. host must outlive the stream.
    bool Handshake(const char* host);
    // Encrypts and sends up to len bytes as one record: the count taken, or -1.
    long Send(const char* data, size_t len) override;
    // Decrypted bytes: at least 1, 0 once the server ended the session (close_notify) or closed
    // the connection between two records, -1 on failure, a connection that ended inside a record,
    // a time-out or abort.
    long Recv(char* buf, size_t size) override;
    // Tells the server that the session ends (close_notify), after a completed exchange.
    void Close();

private:
    struct Session;  // the platform's state, owned by the stream
    void DropSession();

    TcpConnection& m_connection;
    const char* m_host;
    Session* m_session;
};
