// Fetching a page over HTTP/1.0, plain or over TLS, into its "fetched copy" file.
#pragma once
#include <stddef.h>

#include "acquisition/byte_stream.h"
#include "acquisition/fetch_outcome.h"
#include "acquisition/url.h"

enum {
    kRequestBufferSize = 512,  // the whole request text
    kPieceSize = 3000,         // bytes asked for per receive
    kMaxRedirects = 5,         // redirections a secure page's fetch follows
};

// Fetches url with an HTTP/1.0 GET and stores the response from the start of its body in path as
// a text-mode file (every LF stored as CR LF). "https://" (any letter case) fetches over TLS on
// port 443, anything else (an optional "http://") over plain HTTP on port 80; a ":port" after the
// host overrides the port. The file is created or emptied before anything goes on the network.
// A secure page's redirection (301, 302, 303, 307, 308 with a Location) is followed, up to
// kMaxRedirects times, the file emptied before each further request; a plain page's is stored
// like any page. Returns 1 when the body start was found and the server closed the connection
// normally after the whole body, else 0: also for a URL or Location that cannot be fetched, a
// certificate that fails its check, a server error (5xx), a body shorter than its Content-Length,
// a fetch past its time or size limit, too many redirections, and a fetched copy that cannot be
// written. On failure the file keeps whatever was stored. A nonzero *abort makes every wait give
// up within 250 ms.
int HttpGetToFile(const char* url, const char* path, const volatile long* abort = nullptr);

// Knobs the program leaves at their defaults: tests shorten the limits, benchmarks pick a port.
struct FetchSettings {
    unsigned timeoutMs = 30000;          // one wait without progress
    unsigned totalMs = 120000;           // the whole fetch, from the name lookup to the close
    unsigned long long maxBodyBytes = 64ull * 1024 * 1024;  // all responses of the fetch together
    unsigned short port = kHttpPort;     // plain HTTP URLs that name no port
};
int HttpGetToFile(const char* url, const char* path, const volatile long* abort, const FetchSettings& settings);
// The same, saying how the fetch ended: fetched, with the final response's status, or why not.
int HttpGetToFile(const char* url, const char* path, const volatile long* abort, const FetchSettings& settings,
                  FetchResult* result);

// Builds the request text into dst. False (dst empty) when it would not fit.
bool FormatRequest(char* dst, size_t size, const UrlParts& parts, unsigned short port);

// Where the fetch's stored bytes go: the fetched-copy file, or memory in tests and fuzzers.
class ByteSink {
public:
    // Takes every byte or returns false.
    virtual bool Put(const char* data, size_t len) = 0;

protected:
    ByteSink() = default;
    ~ByteSink() = default;
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;
};

class OutputFile;

// Bytes written through to a file; a file that could not be opened takes them and drops them (a
// fetch into a missing site folder still runs in full).
class OutputFileSink : public ByteSink {
public:
    explicit OutputFileSink(OutputFile& file) : m_file(file) {}
    bool Put(const char* data, size_t len) override;

private:
    OutputFile& m_file;
};

// Turns received pieces into the stored bytes. Each piece counts up to its first zero byte. Until
// the body has started a piece is searched on its own for the header end "\r\n\r\n" (stored from
// its second CR LF on) and else for the first "<" (stored from there); a piece with neither is
// dropped. Afterwards pieces are stored whole. Stored text goes out in text mode (LF as CR LF)
// through a buffer of kStoreBufferSize bytes.
class BodyWriter {
public:
    enum { kStoreBufferSize = 64 * 1024 };
    explicit BodyWriter(ByteSink& sink) : m_sink(sink), m_used(0), m_started(false), m_failed(false) {}
    BodyWriter(const BodyWriter&) = delete;
    BodyWriter& operator=(const BodyWriter&) = delete;

    void TakePiece(const char* piece, size_t len);
    bool BodyStarted() const { return m_started; }
    // The sink refused bytes: nothing more will be stored.
    bool Failed() const { return m_failed; }
    // Hands the buffered bytes to the sink. False when the sink refused any bytes.
    bool Finish();

private:
    void StoreText(const char* text, size_t len);
    void FlushBuffer();

    ByteSink& m_sink;
    char m_buffer[kStoreBufferSize];
    size_t m_used;
    bool m_started;
    bool m_failed;
};
