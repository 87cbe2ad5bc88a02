// The text a page file is compared on, produced from the open file block by block: the stored
// page's own bytes (the whole page), or its readable text (see VisibleTextExtractor). Either way
// the text ends at the file's first byte 0x1A, at its end, or at a read error. Two pages in the
// same charset can be read together block by block while their bytes are the same: only one
// reader reads that common start (the same bytes give the same text) and the other takes over
// where the pages part, so a page that changed near its end costs one reading, not two.
#pragma once
#include <stddef.h>

#include "acquisition/charset.h"
#include "acquisition/visible_text.h"

class ByteSink;
class InputFile;

class PageTextReader {
public:
    enum { kWanted = 4096 };  // readable text gathered at a time; at most kOutputSize - kReserve

    // extract: the page's readable text, read in the charset kind; otherwise its bytes as stored.
    // The reader reads the file through buffer (size bytes, at least 1).
    PageTextReader(InputFile& file, bool extract, CharsetKind kind, char* buffer, size_t size);
    PageTextReader(const PageTextReader&) = delete;
    PageTextReader& operator=(const PageTextReader&) = delete;

    // Makes text wait: at least kWanted bytes of readable text, or the rest of a block of the
    // stored page. Nothing waits only once the text has ended.
    void Fill();
    const char* Data() const { return m_extract ? m_extractor.Output() : m_buf + m_pos; }
    size_t Length() const { return m_extract ? m_extractor.OutputLength() : m_end - m_pos; }
    // Removes the first count bytes of the waiting text (at most Length()).
    void Drop(size_t count);

    // Reads the start this file has in common with other's, both at their starts and read the
    // same way: this reader reads it, handing its text to common when given (nothing waits
    // afterwards), and other takes over where the files part.
    void ReadCommonStart(PageTextReader& other, ByteSink* common);
    // Back to the start of the file, as made. False when the file cannot go back.
    bool Rewind();

private:
    bool Refill();
    void TakeShared(size_t count, ByteSink* common);

    InputFile& m_file;
    bool m_extract;
    CharsetKind m_kind;
    char* m_buf;
    size_t m_size;
    size_t m_pos;
    size_t m_end;
    bool m_fileDone;
    bool m_finished;
    VisibleTextExtractor m_extractor;
};

// The charset declared at the start of the open file (up to any 0x1A); the file is then read
// again from its start. False when it cannot be.
bool SniffOpenFile(InputFile& file, CharsetKind* kind);
