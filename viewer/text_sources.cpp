// Measuring a text by reading it through to its end.
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
    HeapBlock buffer(kSourceReadBlock);
    if (!buffer || !file.Open(path))
        return false;
    FileSource source(file);
    return MeasureSource(source, 0, buffer.Data(), size);
}
