// Reading texts through a window, and measuring them.
#include "viewer/text_sources.h"

#include "base/heap_block.h"

bool MeasureSource(TextSource& source, uint64_t offset, char* buf, uint64_t* size)
{
    for (;;) {
        long got = source.ReadAt(offset, buf, kSourceReadBlock);
        if (got < 0)
            return false;
        offset += static_cast<uint64_t>(got);
        if (got < kSourceReadBlock) {
            *size = offset;
            return true;
        }
    }
}

bool MeasureFile(const char* path, uint64_t* size)
{
    InputFile file;
    return file.Open(path) && file.Size(size);
}

const char* SourceWindow::At(uint64_t offset, uint64_t limit, size_t* count)
{
    if (offset < m_start || offset >= m_start + m_length) {
        long got = m_source != nullptr ? m_source->ReadAt(offset, m_block.Data(), m_block.Size()) : -1;
        if (got < 0)
            return nullptr;
        m_start = offset;
        m_length = static_cast<size_t>(got);
    }
    uint64_t there = m_start + m_length - offset;
    *count = static_cast<size_t>(there < limit ? there : limit);
    return m_block.Data() + (offset - m_start);
}
