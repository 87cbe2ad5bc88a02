// What a fetch needs to know of a response's head: the status, the body length it announces
// and the target of a redirection. Fed the raw bytes in the order they arrive, in pieces of any
// size; the head ends at its first empty line (CR LF or LF line ends). A response that does not
// begin with "HTTP/" has no head: all of it is body. The stored page is cut by its own rule
// (BodyWriter); this only judges the response.
#pragma once
#include <stddef.h>
#include <stdint.h>

class ResponseHead {
public:
    enum {
        kMaxHeadBytes = 64 * 1024,  // a head that has not ended by then is not a response
        kLineSize = 2048,           // a header line is judged by its first bytes
        kLocationSize = 1024,
    };

    ResponseHead() = default;
    ResponseHead(const ResponseHead&) = delete;
    ResponseHead& operator=(const ResponseHead&) = delete;

    void Take(const char* data, size_t len);

    bool Ended() const { return m_state == kBody; }
    // More than kMaxHeadBytes arrived without the head's end.
    bool TooLong() const { return m_state == kHeaderLines && m_headBytes > kMaxHeadBytes; }
    // The status code of the status line, or 0 when there is none (yet).
    int Status() const { return m_status; }
    // The server says it failed (5xx): the page is no page.
    bool IsServerError() const { return m_status >= 500 && m_status <= 599; }
    bool IsRedirection() const;
    // The value of the first Location field; "" when none. A value longer than
    // kLocationSize - 1 bytes is kept as "" with LocationTooLong() true: never used cut short.
    const char* Location() const { return m_location; }
    bool LocationTooLong() const { return m_locationTooLong; }
    // Bytes after the head's end (all bytes when the response has no head).
    uint64_t BodyBytes() const { return m_bodyBytes; }
    // False when a Content-Length was announced and fewer body bytes than that arrived.
    bool BodyComplete() const { return !m_hasLength || m_bodyBytes >= m_length; }

private:
    enum State { kStart, kHeaderLines, kBody };

    void TakeStart(char c);
    void TakeHeaderByte(char c);
    void EndLine();
    void ReadStatusLine();
    void ReadField();

    State m_state = kStart;
    size_t m_headBytes = 0;
    char m_line[kLineSize] = {};
    size_t m_lineLen = 0;  // bytes of the current line kept (at most kLineSize - 1)
    bool m_lineCut = false;  // the line was longer than the buffer
    bool m_statusLineDone = false;
    int m_status = 0;
    bool m_hasLength = false;
    uint64_t m_length = 0;
    char m_location[kLocationSize] = {};
    bool m_locationSeen = false;
    bool m_locationTooLong = false;
    uint64_t m_bodyBytes = 0;
};
