#include "acquisition/page_text_reader.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "acquisition/http_fetch.h"
#include "acquisition/page_charset.h"
#include "base/common_prefix.h"

namespace {

const char kEndOfText = 0x1A;

}  // namespace

PageTextReader::PageTextReader(InputFile& file, bool extract, CharsetKind kind, char* buffer, size_t size)
    : m_file(file), m_extract(extract), m_kind(kind), m_buf(buffer), m_size(size), m_pos(0), m_end(0),
      m_fileDone(false), m_finished(false), m_extractor(kind)
{
}

// Reads the next block; the text ends at the first 0x1A, at the end of the file or at a read
// error. False when nothing is left.
bool PageTextReader::Refill()
{
    m_pos = 0;
    m_end = 0;
    if (m_fileDone)
        return false;
    long got = m_file.ReadFull(m_buf, m_size);  // whole blocks keep two files in step
    if (got <= 0) {
        m_fileDone = true;
        return false;
    }
    const char* mark = static_cast<const char*>(memchr(m_buf, kEndOfText, static_cast<size_t>(got)));
    if (mark != nullptr) {
        got = mark - m_buf;
        m_fileDone = true;
    }
    m_end = static_cast<size_t>(got);
    return m_end > 0;
}

void PageTextReader::Fill()
{
    if (!m_extract) {
        if (m_pos == m_end && !m_finished)
            m_finished = !Refill();
        return;
    }
    while (m_extractor.OutputLength() < kWanted && !m_finished) {
        if (m_pos == m_end && !Refill()) {
            m_extractor.Finish();  // there is room: less than kWanted waits
            m_finished = true;
            return;
        }
        m_pos += m_extractor.Take(m_buf + m_pos, m_end - m_pos);
    }
}

void PageTextReader::Drop(size_t count)
{
    if (m_extract)
        m_extractor.DropOutput(count);
    else
        m_pos += count < m_end - m_pos ? count : m_end - m_pos;
}

void PageTextReader::TakeShared(size_t count, ByteSink* common)
{
    if (!m_extract) {
        if (common)
            common->Put(m_buf + m_pos, count);
        m_pos += count;
        return;
    }
    while (count > 0) {
        size_t taken = m_extractor.Take(m_buf + m_pos, count);
        m_pos += taken;
        count -= taken;
        if (common)
            common->Put(m_extractor.Output(), m_extractor.OutputLength());
        m_extractor.DropOutput(m_extractor.OutputLength());
    }
}

void PageTextReader::ReadCommonStart(PageTextReader& other, ByteSink* common)
{
    for (;;) {
        Refill();
        other.Refill();
        size_t len = m_end < other.m_end ? m_end : other.m_end;
        size_t same = CommonPrefix(m_buf, other.m_buf, len);
        TakeShared(same, common);
        other.m_pos = same;
        if (same < m_end || same < other.m_end || len == 0) {
            other.m_extractor.TakeOverState(m_extractor);  // the same charset: never refused
            return;
        }
    }
}

bool PageTextReader::Rewind()
{
    if (!m_file.SeekTo(0))
        return false;
    m_pos = 0;
    m_end = 0;
    m_fileDone = false;
    m_finished = false;
    m_extractor.Reset();
    return true;
}

bool SniffOpenFile(InputFile& file, CharsetKind* kind)
{
    char head[kCharsetSniffBytes];
    long got = file.ReadFull(head, sizeof(head));
    size_t len = got > 0 ? static_cast<size_t>(got) : 0;
    const char* mark = static_cast<const char*>(memchr(head, kEndOfText, len));
    PageCharset charset;
    SniffPageCharset(head, mark != nullptr ? static_cast<size_t>(mark - head) : len, &charset);
    *kind = charset.kind;
    return file.SeekTo(0);
}
