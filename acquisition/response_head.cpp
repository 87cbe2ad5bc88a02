#include "acquisition/response_head.h"

#include <string.h>

#include "base/ascii.h"
#include "base/path_join.h"

namespace {

const char kHttp[] = "HTTP/";
const size_t kHttpLength = 5;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The value of "name: value" when the line holds that field, with blanks around it dropped.
const char* FieldValue(char* line, size_t len, const char* name)
{
    size_t n = strlen(name);
    if (len <= n || line[n] != ':' || !StartsWithIgnoringCase(line, len, name))
        return nullptr;
    char* value = line + n + 1;
    while (IsBlank(*value))
        ++value;
    char* end = line + len;
    while (end > value && IsBlank(end[-1]))
        *--end = '\0';
    return value;
}

// A decimal number made of digits only; false for anything else or more than 18 digits.
bool ParseLength(const char* text, uint64_t* value)
{
    size_t digits = 0;
    uint64_t v = 0;
    for (; text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        if (digits == 18)
            return false;
        v = v * 10 + static_cast<uint64_t>(text[digits] - '0');
    }
    if (digits == 0 || text[digits] != '\0')
        return false;
    *value = v;
    return true;
}

}  // namespace

bool ResponseHead::IsRedirection() const
{
    return m_status == 301 || m_status == 302 || m_status == 303 || m_status == 307 || m_status == 308;
}

void ResponseHead::Take(const char* data, size_t len)
{
    size_t i = 0;
    for (; i < len && m_state != kBody; ++i) {
        ++m_headBytes;
        if (m_state == kStart)
            TakeStart(data[i]);
        else
            TakeHeaderByte(data[i]);
    }
    if (m_state == kBody)
        m_bodyBytes += len - i;
}

// Until five bytes have shown "HTTP/" the response may still turn out to have no head.
void ResponseHead::TakeStart(char c)
{
    size_t at = m_headBytes - 1;
    if (c != kHttp[at]) {
        m_state = kBody;
        m_bodyBytes = m_headBytes;  // everything so far was body
        return;
    }
    m_line[m_lineLen++] = c;
    if (m_lineLen == kHttpLength)
        m_state = kHeaderLines;
}

void ResponseHead::TakeHeaderByte(char c)
{
    if (c == '\n') {
        EndLine();
        return;
    }
    if (m_lineLen < kLineSize - 1)
        m_line[m_lineLen++] = c;
    else
        m_lineCut = true;
}

void ResponseHead::EndLine()
{
    if (m_lineLen > 0 && m_line[m_lineLen - 1] == '\r' && !m_lineCut)
        --m_lineLen;
    m_line[m_lineLen] = '\0';
    if (!m_statusLineDone)
        ReadStatusLine();
    else if (m_lineLen == 0 && !m_lineCut)
        m_state = kBody;
    else
        ReadField();
    m_lineLen = 0;
    m_lineCut = false;
}

// "HTTP/1.0 200 OK": the version, a blank, three digits.
void ResponseHead::ReadStatusLine()
{
    m_statusLineDone = true;
    const char* p = m_line + kHttpLength;
    while (*p && !IsBlank(*p))
        ++p;
    while (IsBlank(*p))
        ++p;
    bool digits = p[0] >= '1' && p[0] <= '9' && p[1] >= '0' && p[1] <= '9' && p[2] >= '0' && p[2] <= '9';
    if (digits && (p[3] == '\0' || IsBlank(p[3])))
        m_status = (p[0] - '0') * 100 + (p[1] - '0') * 10 + (p[2] - '0');
}

void ResponseHead::ReadField()
{
    if (m_lineCut) {
        // Too long to judge: only a Location is worth noting, as one that cannot be used.
        if (!m_locationSeen && StartsWithIgnoringCase(m_line, m_lineLen, "location:"))
            m_locationSeen = m_locationTooLong = true;
        return;
    }
    if (const char* length = FieldValue(m_line, m_lineLen, "content-length")) {
        uint64_t value;
        if (!m_hasLength && ParseLength(length, &value)) {
            m_hasLength = true;
            m_length = value;
        }
    } else if (const char* location = FieldValue(m_line, m_lineLen, "location")) {
        if (!m_locationSeen) {
            m_locationSeen = true;
            m_locationTooLong = strlen(location) >= sizeof m_location;
            if (!m_locationTooLong)
                CopyText(m_location, sizeof m_location, location);
        }
    }
}
