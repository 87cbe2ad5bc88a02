#include "base/text_join.h"

#include <string.h>

TextBuilder::TextBuilder(char* dst, size_t size) : m_dst(dst), m_size(size), m_used(0), m_ok(size > 0)
{
    if (m_ok)
        m_dst[0] = '\0';
}

TextBuilder& TextBuilder::Append(const char* text)
{
    return Append(text, strlen(text));
}

TextBuilder& TextBuilder::Append(const char* text, size_t len)
{
    if (!m_ok)
        return *this;
    if (len >= m_size - m_used) {
        m_dst[0] = '\0';
        m_used = 0;
        m_ok = false;
        return *this;
    }
    memcpy(m_dst + m_used, text, len);
    m_used += len;
    m_dst[m_used] = '\0';
    return *this;
}

void TextBuilder::CutTo(size_t len)
{
    if (m_ok && len < m_used) {
        m_used = len;
        m_dst[m_used] = '\0';
    }
}

bool JoinText(char* dst, size_t size, const char* const* pieces, size_t count)
{
    TextBuilder text(dst, size);
    for (size_t i = 0; i < count; ++i)
        text.Append(pieces[i]);
    return text.Ok();
}

bool FillText(char* dst, size_t size, const char* pattern, const char* const* texts, size_t count)
{
    TextBuilder text(dst, size);
    size_t next = 0;
    const char* p = pattern;
    for (const char* mark = strstr(p, "%s"); mark != nullptr; mark = strstr(p, "%s")) {
        text.Append(p, static_cast<size_t>(mark - p));
        if (next < count)
            text.Append(texts[next++]);
        p = mark + 2;
    }
    return text.Append(p).Ok();
}

size_t CopyText(char* dst, size_t size, const char* src)
{
    if (size == 0)
        return 0;
    size_t len = strlen(src);
    if (len > size - 1)
        len = size - 1;
    memcpy(dst, src, len);
    dst[len] = '\0';
    return len;
}
