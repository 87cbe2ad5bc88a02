// Page files through their readable text (PageTextReader), side by side for a comparison or
// into a sink.
#include "acquisition/visible_text_compare.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "acquisition/files_differ.h"
#include "acquisition/page_text_reader.h"
#include "base/heap_block.h"

namespace {

enum { kDefaultBlock = 64 * 1024 };

int CompareReaders(PageTextReader& fresh, PageTextReader& old)
{
    for (;;) {
        fresh.Fill();
        old.Fill();
        size_t la = fresh.Length();
        size_t lb = old.Length();
        if (la == 0 || lb == 0)
            return (la == 0 && lb == 0) ? 0 : 1;  // one text ended before the other
        size_t common = la < lb ? la : lb;
        if (memcmp(fresh.Data(), old.Data(), common) != 0)
            return 1;
        fresh.Drop(common);
        old.Drop(common);
    }
}

}  // namespace

int CompareVisibleTextInBlocks(const char* newPath, const char* oldPath, size_t blockSize)
{
    InputFile freshFile;
    InputFile oldFile;
    int opened = OpenComparedFiles(newPath, oldPath, freshFile, oldFile);
    if (opened != kBothOpened)
        return opened;
    blockSize = blockSize < 1 ? 1 : blockSize;
    HeapBlock bufA(blockSize);
    HeapBlock bufB(blockSize);
    if (!bufA || !bufB)
        return 1;  // cannot tell: report a change rather than miss one
    CharsetKind freshKind, oldKind;
    if (!SniffOpenFile(freshFile, &freshKind) || !SniffOpenFile(oldFile, &oldKind))
        return 1;
    PageTextReader fresh(freshFile, true, freshKind, bufA.Data(), blockSize);
    PageTextReader old(oldFile, true, oldKind, bufB.Data(), blockSize);
    if (freshKind == oldKind)
        fresh.ReadCommonStart(old, nullptr);
    return CompareReaders(fresh, old);
}

int CompareVisibleText(const char* newPath, const char* oldPath)
{
    return CompareVisibleTextInBlocks(newPath, oldPath, kDefaultBlock);
}

bool ExtractVisibleTextFile(const char* path, ByteSink& sink)
{
    InputFile file;
    if (!file.Open(path))
        return false;
    HeapBlock buffer(kDefaultBlock);
    CharsetKind kind;
    if (!buffer || !SniffOpenFile(file, &kind))
        return false;
    PageTextReader reader(file, true, kind, buffer.Data(), kDefaultBlock);
    for (;;) {
        reader.Fill();
        if (reader.Length() == 0)
            return true;
        if (!sink.Put(reader.Data(), reader.Length()))
            return false;
        reader.Drop(reader.Length());
    }
}
