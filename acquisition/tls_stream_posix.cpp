// The native build has no TLS of its own (the program uses the platform's): every handshake
// fails, so a secure page is a failed fetch there.
#include "acquisition/tls_stream.h"

struct TlsStream::Session {};

TlsStream::~TlsStream() {}

bool TlsStream::Handshake(const char*) { return false; }

long TlsStream::Send(const char*, size_t) { return -1; }

long TlsStream::Recv(char*, size_t) { return -1; }

void TlsStream::Close() {}
