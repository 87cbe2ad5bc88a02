// Page files through VisibleTextExtractor: a reader that keeps an extractor's output topped up
// from its file, block by block, for a side-by-side comparison or a sink. Two pages in the same
// charset are first read together block by block while their bytes are the same: only one
// extractor reads that common start (the same bytes give the same text) and the other takes over
// its state where the pages part, so a page that changed near its end costs one reading, not two.
#include "acquisition/visible_text_compare.h"

#include <string.h>

#include "acquisition/file_io.h"
#include "acquisition/files_differ.h"
#include "acquisition/page_charset.h"
#include "acquisition/visible_text.h"
#include "base/common_prefix.h"
#include "base/heap_block.h"

namespace {

enum {
    kDefaultBlock = 64 * 1024,
    kWanted = 4096,  // text gathered per side before comparing; at most kOutputSize - kReserve
};
const char kEndOfText = 0x1A;

// The readable text of one open page file, produced on demand.
class PageTextReader {
public:
    PageTextReader(InputFile& file, CharsetKind kind, char* buffer, size_t size)
        : m_file(file), m_buf(buffer), m_size(size), m_pos(0), m_end(0), m_fileDone(false), m_finished(false),
          m_extractor(kind)
    {
    }
    PageTextReader(const PageTextReader&) = delete;
    PageTextReader& operator=(const PageTextReader&) = delete;

    // Extracts until at least kWanted bytes of text wait, or the text has ended. Fewer than
    // kWanted (none at all once everything is taken) only at the end.
    void Fill();
    // Reads the start this file has in common with other's, both at their starts: this reader's
    // extractor reads it, dropping its text, and other's takes over where the files part.
    void ReadCommonStart(PageTextReader& other);
    VisibleTextExtractor& Text() { return m_extractor; }

private:
    bool Refill();
    void TakeShared(size_t count);

    InputFile& m_file;
    char* m_buf;
    size_t m_size;
    size_t m_pos;
    size_t m_end;
    bool m_fileDone;
    bool m_finished;
    VisibleTextExtractor m_extractor;
};

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
    while (m_extractor.OutputLength() < kWanted && !m_finished) {
        if (m_pos == m_end && !Refill()) {
            m_extractor.Finish();  // there is room: less than kWanted waits
            m_finished = true;
            return;
        }
        m_pos += m_extractor.Take(m_buf + m_pos, m_end - m_pos);
    }
}

void PageTextReader::TakeShared(size_t count)
{
    while (count > 0) {
        size_t taken = m_extractor.Take(m_buf + m_pos, count);
        m_pos += taken;
        count -= taken;
        m_extractor.DropOutput(m_extractor.OutputLength());
    }
}

void PageTextReader::ReadCommonStart(PageTextReader& other)
{
    for (;;) {
        Refill();
        other.Refill();
        size_t len = m_end < other.m_end ? m_end : other.m_end;
        size_t common = CommonPrefix(m_buf, other.m_buf, len);
        TakeShared(common);
        other.m_pos = common;
        if (common < m_end || common < other.m_end || len == 0) {
            other.m_extractor.TakeOverState(m_extractor);  // the same charset: never refused
            return;
        }
    }
}

// The charset declared at the start of the open file (up to any 0x1A); the file is then read
// again from its start. False when it cannot be.
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

int CompareReaders(PageTextReader& fresh, PageTextReader& old)
{
    for (;;) {
        fresh.Fill();
        old.Fill();
        VisibleTextExtractor& a = fresh.Text();
        VisibleTextExtractor& b = old.Text();
        size_t la = a.OutputLength();
        size_t lb = b.OutputLength();
        if (la == 0 || lb == 0)
            return (la == 0 && lb == 0) ? 0 : 1;  // one text ended before the other
        size_t common = la < lb ? la : lb;
        if (memcmp(a.Output(), b.Output(), common) != 0)
            return 1;
        a.DropOutput(common);
        b.DropOutput(common);
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
    PageTextReader fresh(freshFile, freshKind, bufA.Data(), blockSize);
    PageTextReader old(oldFile, oldKind, bufB.Data(), blockSize);
    if (freshKind == oldKind)
        fresh.ReadCommonStart(old);
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
    PageTextReader reader(file, kind, buffer.Data(), kDefaultBlock);
    for (;;) {
        reader.Fill();
        VisibleTextExtractor& text = reader.Text();
        if (text.OutputLength() == 0)
            return true;
        if (!sink.Put(text.Output(), text.OutputLength()))
            return false;
        text.DropOutput(text.OutputLength());
    }
}
