#include "acquisition/http_fetch.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "acquisition/response_head.h"
#include "acquisition/tcp_connection.h"
#include "base/ascii.h"
#include "base/cp932.h"
#include "base/decimal.h"
#include "base/path_join.h"

namespace {

const char kScheme[] = "http://";
const size_t kSchemeLength = 7;

// Appends texts into a fixed buffer; once one does not fit, the whole text is refused.
class TextBuilder {
public:
    TextBuilder(char* dst, size_t size) : m_dst(dst), m_size(size), m_used(0), m_ok(size > 0)
    {
        if (m_ok)
            m_dst[0] = '\0';
    }
    void Append(const char* text)
    {
        size_t len = strlen(text);
        if (!m_ok || len >= m_size - m_used) {
            Refuse();
            return;
        }
        memcpy(m_dst + m_used, text, len + 1);
        m_used += len;
    }
    bool Ok() const { return m_ok; }

private:
    void Refuse()
    {
        if (m_size > 0)
            m_dst[0] = '\0';
        m_ok = false;
    }
    char* m_dst;
    size_t m_size;
    size_t m_used;
    bool m_ok;
};

// Stores into the fetched-copy file; when that could not be opened the bytes are dropped.
class FileSink : public ByteSink {
public:
    explicit FileSink(OutputFile& file) : m_file(file) {}
    bool Put(const char* data, size_t len) override { return !m_file.IsOpen() || m_file.Write(data, len); }

private:
    OutputFile& m_file;
};

bool SendAll(ByteStream& stream, const char* data, size_t len)
{
    while (len > 0) {
        long sent = stream.Send(data, len);
        if (sent <= 0)
            return false;
        data += sent;
        len -= static_cast<size_t>(sent);
    }
    return true;
}

// Feeds the pieces to the head and the writer until the server closes: true when it closed
// normally within the limits and every piece was stored.
bool ReceiveResponse(ByteStream& stream, ResponseHead& head, BodyWriter& writer, const FetchSettings& settings)
{
    char piece[kPieceSize + 1];
    for (;;) {
        long got = stream.Recv(piece, kPieceSize);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        head.Take(piece, static_cast<size_t>(got));
        // A head without end, a body past the limit or a server saying it failed: no page.
        if (head.TooLong() || head.BodyBytes() > settings.maxBodyBytes || head.IsServerError())
            return false;
        piece[got] = '\0';
        writer.TakePiece(piece, static_cast<size_t>(got));
        if (writer.Failed())
            return false;  // the fetched copy cannot take more (a full disk): give up at once
    }
}

// Connects, sends the request and receives the response, all within the fetch's time limit:
// true when the server closed normally.
bool Exchange(const UrlParts& parts, const char* request, const volatile long* abort,
              const FetchSettings& settings, ResponseHead& head, BodyWriter& writer)
{
    TcpConnection connection(abort, settings.timeoutMs);
    connection.LimitTotal(settings.totalMs);
    if (!connection.Open(parts.host, settings.port))
        return false;
    if (!SendAll(connection, request, strlen(request)) || !ReceiveResponse(connection, head, writer, settings))
        return false;
    connection.ShutdownBoth();
    return true;
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

void SplitUrl(const char* url, UrlParts* parts)
{
    char copy[kUrlBufferSize] = {};
    CopyText(copy, sizeof(copy), url);
    const char* rest = StartsWithIgnoringCase(copy, strlen(copy), kScheme) ? copy + kSchemeLength : copy;
    size_t len = strlen(rest);
    long slash = cp932::FindChar(rest, len, '/');
    size_t hostLength = slash < 0 ? len : static_cast<size_t>(slash);
    memset(parts, 0, sizeof(*parts));
    memcpy(parts->host, rest, hostLength);
    CopyText(parts->path, sizeof(parts->path), hostLength < len ? rest + hostLength : "/");
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
    UrlParts parts;
    SplitUrl(url, &parts);
    char request[kRequestBufferSize] = {};
    if (!FormatRequest(request, sizeof(request), parts, settings.port))
        return 0;
    FileSink sink(file);
    BodyWriter writer(sink);
    ResponseHead head;
    bool closedNormally = Exchange(parts, request, abort, settings, head, writer);
    bool stored = writer.Finish();
    // A body shorter than its announced length was cut short, whatever the close looked like.
    return (closedNormally && writer.BodyStarted() && fileOpen && stored && head.BodyComplete()) ? 1 : 0;
}
