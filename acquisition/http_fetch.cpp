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

// The limits one fetch keeps over all its requests (the time since it began and the body bytes
// of all responses together), and why it failed.
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
    unsigned short Port() const { return m_settings.port; }
    // Counts a response's body bytes; one past the bytes left has already failed its request.
    void Spend(unsigned long long bytes) { m_bodyBytes += bytes < BytesLeft() ? bytes : BytesLeft(); }
    void Note(FetchFailure failure) { m_why.Note(failure); }
    FetchFailure Failure() const { return m_why.Failure(); }

private:
    const volatile long* m_abort;
    const FetchSettings& m_settings;
    uint32_t m_start;
    unsigned long long m_bodyBytes;
    FailureNote m_why;
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
// The response says the page is no page: a head without end, a body past the limit or a server
// saying it failed. kNone while it is none of these.
FetchFailure JudgeResponse(const ResponseHead& head, unsigned long long bytesLeft)
{
    if (head.TooLong())
        return FetchFailure::kBadResponse;
    if (head.BodyBytes() > bytesLeft)
        return FetchFailure::kTooLarge;
    return head.IsServerError() ? FetchFailure::kServerError : FetchFailure::kNone;
}

// Feeds the pieces to the head and the writer until the server closes: kHopStored when it closed
// normally within the limits and every piece was stored; kHopRedirected as soon as the head shows
// a redirection to follow. A failure of the response itself is noted in why; a failure of the
// stream is the stream's own to tell.
HopEnd ReceiveResponse(ByteStream& stream, ResponseHead& head, BodyWriter& writer, unsigned long long bytesLeft,
                       bool follow, FailureNote& why)
{
    char piece[kPieceSize + 1];
    for (;;) {
        long got = stream.Recv(piece, kPieceSize);
        if (got < 0)
            return kHopFailed;
        if (got == 0)
            return kHopStored;
        head.Take(piece, static_cast<size_t>(got));
        FetchFailure failure = JudgeResponse(head, bytesLeft);
        if (failure != FetchFailure::kNone) {
            why.Note(failure);
            return kHopFailed;
        }
        if (follow && IsFollowed(head))
            return kHopRedirected;
        piece[got] = '\0';
        writer.TakePiece(piece, static_cast<size_t>(got));
        if (writer.Failed()) {
            why.Note(FetchFailure::kWriteFailed);  // a full disk: give up at once
            return kHopFailed;
        }
    }
}

// The request and its response over one stream, plain or secure.
struct Exchange {
    const char* request;
    ResponseHead& head;
    BodyWriter& writer;
    unsigned long long bytesLeft;
    bool follow;
    FailureNote& why;

    HopEnd Over(ByteStream& stream) const
    {
        if (!SendAll(stream, request, strlen(request)))
            return kHopFailed;
        return ReceiveResponse(stream, head, writer, bytesLeft, follow, why);
    }
};

// Connects and runs the exchange over TCP, or over TLS for a secure target.
HopEnd RunExchange(const Url& target, TcpConnection& connection, const Exchange& exchange)
{
    if (!connection.Open(target.parts.host, target.port))
        return kHopFailed;
    HopEnd end;
    if (target.secure) {
        TlsStream tls(connection);
        if (!tls.Handshake(target.parts.host)) {
            connection.NoteFailure(FetchFailure::kHandshakeFailed);
            return kHopFailed;
        }
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

// Connects to the target and runs the exchange, within what is left of the fetch's time; a
// failure of the connection or the secure session is noted as the fetch's.
HopEnd Connect(const Url& target, FetchBudget& budget, const Exchange& exchange)
{
    unsigned msLeft = budget.MsLeft();
    if (msLeft == 0) {
        budget.Note(FetchFailure::kTooSlow);
        return kHopFailed;
    }
    TcpConnection connection(budget.Abort(), budget.TimeoutMs());
    connection.LimitTotal(msLeft);
    HopEnd end = RunExchange(target, connection, exchange);
    if (end == kHopFailed)
        budget.Note(connection.Failure());
    return end;
}

// One request of a fetch, stored into the file: *complete tells whether it is a whole page; a
// redirection to follow gives the next URL in *next.
// Why a response the server closed normally is no whole page, or kNone when it is one. A body
// shorter than its announced length was cut short, whatever the close looked like.
FetchFailure JudgeStoredPage(const BodyWriter& writer, bool stored, const ResponseHead& head)
{
    if (!writer.BodyStarted())
        return FetchFailure::kClosedEarly;
    if (!stored)
        return FetchFailure::kWriteFailed;
    return head.BodyComplete() ? FetchFailure::kNone : FetchFailure::kBodyShort;
}

HopEnd FetchHop(const Url& target, bool follow, OutputFile& file, FetchBudget& budget, int* status, Url* next)
{
    char request[kRequestBufferSize] = {};
    if (!FormatRequest(request, sizeof(request), target.parts, target.port)) {
        budget.Note(FetchFailure::kBadUrl);
        return kHopFailed;
    }
    OutputFileSink sink(file);
    BodyWriter writer(sink);
    ResponseHead head;
    FailureNote why;
    HopEnd end = Connect(target, budget, Exchange{request, head, writer, budget.BytesLeft(), follow, why});
    budget.Note(why.Failure());
    budget.Spend(head.BodyBytes());
    *status = head.Status();
    bool stored = writer.Finish();
    if (end == kHopRedirected) {
        if (ResolveLocation(target, head.Location(), next))
            return kHopRedirected;
        budget.Note(FetchFailure::kBadUrl);
        return kHopFailed;
    }
    if (end == kHopStored) {
        FetchFailure failure = JudgeStoredPage(writer, stored, head);
        budget.Note(failure);
        return failure == FetchFailure::kNone ? kHopStored : kHopFailed;
    }
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

namespace {

// Fetches url into path, following a secure page's redirections; kHopStored for a whole page
// stored, kHopFailed (the reason noted in the budget) otherwise.
HopEnd FetchAll(const char* url, const char* path, FetchBudget& budget, int* status)
{
    OutputFile file;
    bool fileOpen = file.Create(path);
    Url urls[2];  // the URL in hand and the one its redirection points to, in turns
    if (!ParseUrl(url, budget.Port(), &urls[0])) {
        budget.Note(FetchFailure::kBadUrl);
        return kHopFailed;
    }
    const bool follow = urls[0].secure;
    for (int hop = 0;; ++hop) {
        HopEnd end = FetchHop(urls[hop % 2], follow, file, budget, status, &urls[(hop + 1) % 2]);
        if (end != kHopRedirected) {
            if (end == kHopStored && !fileOpen) {
                budget.Note(FetchFailure::kSiteFolder);  // the fetched copy could not be made
                return kHopFailed;
            }
            return end;
        }
        if (hop == kMaxRedirects) {
            budget.Note(FetchFailure::kTooManyRedirects);
            return kHopFailed;
        }
        fileOpen = file.Create(path);  // only the last response's page is kept
    }
}

}  // namespace

int HttpGetToFile(const char* url, const char* path, const volatile long* abort)
{
    return HttpGetToFile(url, path, abort, FetchSettings());
}

int HttpGetToFile(const char* url, const char* path, const volatile long* abort, const FetchSettings& settings)
{
    FetchResult ignored;
    return HttpGetToFile(url, path, abort, settings, &ignored);
}

int HttpGetToFile(const char* url, const char* path, const volatile long* abort, const FetchSettings& settings,
                  FetchResult* result)
{
    *result = FetchResult();
    FetchBudget budget(abort, settings);
    HopEnd end = FetchAll(url, path, budget, &result->status);
    result->failure = budget.Failure();
    if (end != kHopStored && result->failure == FetchFailure::kNone)
        result->failure = FetchFailure::kConnectFailed;  // a failure nothing named: say no more
    return end == kHopStored ? 1 : 0;
}
