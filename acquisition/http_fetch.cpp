// The fetch of one page: the request, the response read over a plain or a TLS stream, the
// redirections of secure pages followed, and the stored copy cut by the body-start rule.
#include "acquisition/http_fetch.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "acquisition/response_head.h"
#include "acquisition/tcp_connection.h"
#include "acquisition/tls_stream.h"
#include "base/cp932.h"
#include "base/decimal.h"
#include "base/text_join.h"

namespace {

// What one request of a fetch ended with.
enum HopEnd { kHopFailed, kHopStored, kHopRedirected };

// The limits one fetch keeps over all its requests: the time since it began and the body bytes
// of all responses together.
class FetchBudget {
public:
    FetchBudget(const volatile long* abort, const FetchSettings& settings)
        : m_abort(abort), m_settings(settings), m_start(net::TickMs()), m_bodyBytes(0)
    {
    }
    FetchBudget(const FetchBudget&) = delete;
    FetchBudget& operator=(const FetchBudget&) = delete;

    const volatile long* Abort() const { return m_abort; }
    unsigned TimeoutMs() const { return m_settings.timeoutMs; }
    unsigned MsLeft() const
    {
        uint32_t elapsed = net::TickMs() - m_start;
        return elapsed >= m_settings.totalMs ? 0 : m_settings.totalMs - elapsed;
    }
    unsigned long long BytesLeft() const { return m_settings.maxBodyBytes - m_bodyBytes; }
    // Counts a response's body bytes; one past the bytes left has already failed its request.
    void Spend(unsigned long long bytes) { m_bodyBytes += bytes < BytesLeft() ? bytes : BytesLeft(); }

private:
    const volatile long* m_abort;
    const FetchSettings& m_settings;
    uint32_t m_start;
    unsigned long long m_bodyBytes;
};

// A redirection the fetch follows: the head has ended with one of its codes and a Location
// (one too long to keep counts too, and fails when resolved).
bool IsFollowed(const ResponseHead& head)
{
    return head.Ended() && head.IsRedirection() && (head.Location()[0] != '\0' || head.LocationTooLong());
}

// Feeds the pieces to the head and the writer until the server closes: kHopStored when it closed
// normally within the limits and every piece was stored; kHopRedirected as soon as the head shows
// a redirection to follow.
HopEnd ReceiveResponse(ByteStream& stream, ResponseHead& head, BodyWriter& writer, unsigned long long bytesLeft,
                       bool follow)
{
    char piece[kPieceSize + 1];
    for (;;) {
        long got = stream.Recv(piece, kPieceSize);
        if (got < 0)
            return kHopFailed;
        if (got == 0)
            return kHopStored;
        head.Take(piece, static_cast<size_t>(got));
        // A head without end, a body past the limit or a server saying it failed: no page.
        if (head.TooLong() || head.BodyBytes() > bytesLeft || head.IsServerError())
            return kHopFailed;
        if (follow && IsFollowed(head))
            return kHopRedirected;
        piece[got] = '\0';
        writer.TakePiece(piece, static_cast<size_t>(got));
        if (writer.Failed())
            return kHopFailed;  // the fetched copy cannot take more (a full disk): give up at once
    }
}

// The request and its response over one stream, plain or secure.
struct Exchange {
    const char* request;
    ResponseHead& head;
    BodyWriter& writer;
    unsigned long long bytesLeft;
    bool follow;

    HopEnd Over(ByteStream& stream) const
    {
        if (!SendAll(stream, request, strlen(request)))
            return kHopFailed;
        return ReceiveResponse(stream, head, writer, bytesLeft, follow);
    }
};

// Connects to the target and runs the exchange over TCP, or over TLS for a secure target, all
// within what is left of the fetch's time.
HopEnd Connect(const Url& target, const FetchBudget& budget, const Exchange& exchange)
{
    unsigned msLeft = budget.MsLeft();
    if (msLeft == 0)
        return kHopFailed;
    TcpConnection connection(budget.Abort(), budget.TimeoutMs());
    connection.LimitTotal(msLeft);
    if (!connection.Open(target.parts.host, target.port))
        return kHopFailed;
    HopEnd end;
    if (target.secure) {
        TlsStream tls(connection);
        if (!tls.Handshake(target.parts.host))
            return kHopFailed;
        end = exchange.Over(tls);
        if (end == kHopStored)
            tls.Close();
    } else {
        end = exchange.Over(connection);
    }
    if (end == kHopStored)
        connection.ShutdownBoth();
    return end;
}

// One request of a fetch, stored into the file: *complete tells whether it is a whole page; a
// redirection to follow gives the next URL in *next.
HopEnd FetchHop(const Url& target, bool follow, OutputFile& file, FetchBudget& budget, bool* complete, Url* next)
{
    char request[kRequestBufferSize] = {};
    if (!FormatRequest(request, sizeof(request), target.parts, target.port))
        return kHopFailed;
    OutputFileSink sink(file);
    BodyWriter writer(sink);
    ResponseHead head;
    HopEnd end = Connect(target, budget, Exchange{request, head, writer, budget.BytesLeft(), follow});
    budget.Spend(head.BodyBytes());
    bool stored = writer.Finish();
    if (end == kHopRedirected)
        return ResolveLocation(target, head.Location(), next) ? kHopRedirected : kHopFailed;
    // A body shorter than its announced length was cut short, whatever the close looked like.
    *complete = end == kHopStored && writer.BodyStarted() && stored && head.BodyComplete();
    return end;
}

// Copies text to dst with every LF written as CR LF; dst has room for 2 * len bytes. Returns the
// bytes written.
size_t ConvertLineEnds(const char* text, size_t len, char* dst)
{
    char* out = dst;
    const char* end = text + len;
    while (text < end) {
        const char* lf = static_cast<const char*>(memchr(text, '\n', static_cast<size_t>(end - text)));
        const char* stop = lf != nullptr ? lf : end;
        memcpy(out, text, static_cast<size_t>(stop - text));
        out += stop - text;
        if (lf == nullptr)
            break;
        out[0] = '\r';
        out[1] = '\n';
        out += 2;
        text = lf + 1;
    }
    return static_cast<size_t>(out - dst);
}

}  // namespace

bool OutputFileSink::Put(const char* data, size_t len)
{
    return !m_file.IsOpen() || m_file.Write(data, len);
}

bool FormatRequest(char* dst, size_t size, const UrlParts& parts, unsigned short port)
{
    TextBuilder text(dst, size);
    text.Append("GET ");
    text.Append(parts.path);
    text.Append(" HTTP/1.0\r\nHost: ");
    text.Append(parts.host);
    text.Append(":");
    text.Append(DecimalText(port));
    text.Append("\r\nUser-Agent: Quorant-3.31\r\n\r\n");
    return text.Ok();
}

void BodyWriter::TakePiece(const char* piece, size_t len)
{
    const char* zero = static_cast<const char*>(memchr(piece, '\0', len));
    if (zero != nullptr)
        len = static_cast<size_t>(zero - piece);
    if (m_started) {
        StoreText(piece, len);
        return;
    }
    long headerEnd = cp932::FindText(piece, len, "\r\n\r\n", 4);
    long start = headerEnd >= 0 ? headerEnd + 2 : cp932::FindChar(piece, len, '<');
    if (start < 0)
        return;
    m_started = true;
    StoreText(piece + start, len - static_cast<size_t>(start));
}

void BodyWriter::StoreText(const char* text, size_t len)
{
    const char* end = text + len;
    while (text < end) {
        // Each run converts into the buffer in place: a byte becomes at most two.
        size_t room = sizeof(m_buffer) - m_used;
        if (room < 2)
            FlushBuffer();
        room = sizeof(m_buffer) - m_used;
        size_t take = static_cast<size_t>(end - text);
        take = take < room / 2 ? take : room / 2;
        m_used += ConvertLineEnds(text, take, m_buffer + m_used);
        text += take;
    }
}

void BodyWriter::FlushBuffer()
{
    if (m_used > 0 && !m_failed)
        m_failed = !m_sink.Put(m_buffer, m_used);
    m_used = 0;
}

bool BodyWriter::Finish()
{
    FlushBuffer();
    return !m_failed;
}

int HttpGetToFile(const char* url, const char* path, const volatile long* abort)
{
    return HttpGetToFile(url, path, abort, FetchSettings());
}

int HttpGetToFile(const char* url, const char* path, const volatile long* abort, const FetchSettings& settings)
{
    OutputFile file;
    bool fileOpen = file.Create(path);
    Url urls[2];  // the URL in hand and the one its redirection points to, in turns
    if (!ParseUrl(url, settings.port, &urls[0]))
        return 0;
    const bool follow = urls[0].secure;
    FetchBudget budget(abort, settings);
    for (int hop = 0;; ++hop) {
        bool complete = false;
        HopEnd end = FetchHop(urls[hop % 2], follow, file, budget, &complete, &urls[(hop + 1) % 2]);
        if (end != kHopRedirected)
            return (end == kHopStored && complete && fileOpen) ? 1 : 0;
        if (hop == kMaxRedirects)
            return 0;
        fileOpen = file.Create(path);  // only the last response's page is kept
    }
}
