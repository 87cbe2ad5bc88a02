// Platform-neutral parts of the file layer: reading a block fully and the replace-by-rename copy.
#include "acquisition/file_io.h"

#include "base/heap_block.h"

namespace {

enum { kCopyBlock = 64 * 1024 };

bool CopyContents(InputFile& in, OutputFile& out)
{
    HeapBlock buffer(kCopyBlock);
    if (!buffer)
        return false;
    for (;;) {
        long got = in.Read(buffer.Data(), kCopyBlock);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!out.Write(buffer.Data(), static_cast<size_t>(got)))
            return false;
    }
}

}  // namespace

long InputFile::ReadFull(void* buf, size_t size)
{
    char* p = static_cast<char*>(buf);
    size_t total = 0;
    while (total < size) {
        long got = Read(p + total, size - total);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return static_cast<long>(total);
}

bool WriteBytesAtomically(const char* dest, const char* temp, const void* data, size_t len)
{
    OutputFile file;
    bool written = file.Create(temp) && file.Write(data, len) && file.FlushToDisk();
    file.Close();
    if (written && RenameOver(temp, dest))
        return true;
    RemoveFile(temp);
    return false;
}

bool ReplaceFileAtomically(const char* src, const char* dest, const char* temp)
{
    return ReplaceFilesAtomically(src, &dest, 1, temp) == 1;
}

size_t ReplaceFilesAtomically(const char* src, const char* const* dests, size_t count, const char* temp)
{
    InputFile in;
    if (!in.Open(src))
        return 0;
    for (size_t i = 0; i < count; ++i) {
        OutputFile out;
        bool written = (i == 0 || in.SeekTo(0)) && out.Create(temp) && CopyContents(in, out) && out.FlushToDisk();
        out.Close();
        if (!written || !RenameOver(temp, dests[i])) {
            RemoveFile(temp);
            return i;
        }
    }
    return count;
}
