// Comparison in two phases. Identical bytes decode to identical texts, so the files are first
// compared as raw blocks at memcmp speed: byte-identical files (or files identical up to a 0x1A
// that ends both texts) are equal without decoding anything. At the first differing byte the text
// comparison starts over from just after the last LF before it, a point where both files begin a
// fresh piece; from there each file is decoded piece by piece with memchr scans and the pieces
// compared with memcmp, falling back to the code-page-932 comparison only when memcmp differs.
#include "acquisition/files_differ.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "acquisition/file_io.h"
#include "base/common_prefix.h"
#include "base/cp932.h"
#include "base/heap_block.h"

namespace {

enum {
    kDefaultBlock = 64 * 1024,
    kLineSize = 1024,  // a piece holds at most kLineSize - 1 bytes and a terminating zero
};
const char kEndOfText = 0x1A;

// Offset of the last LF in s[0, len), or -1.
long FindLastLf(const char* s, size_t len)
{
#ifdef __GLIBC__
    const void* lf = memrchr(s, '\n', len);
    return lf != nullptr ? static_cast<long>(static_cast<const char*>(lf) - s) : -1;
#else
    while (len > 0) {
        if (s[--len] == '\n')
            return static_cast<long>(len);
    }
    return -1;
#endif
}

enum RawOutcome { kRawEqual, kRawDiffer };

// Compares the raw files block by block. On a difference, *restart is the offset just after the
// last LF before the first differing byte (0 when there is none).
RawOutcome CompareRaw(InputFile& a, InputFile& b, char* bufA, char* bufB, size_t block, uint64_t* restart)
{
    uint64_t offset = 0;
    uint64_t lastLfOffset = 0;  // the last LF seen in the identical prefix, when haveLf
    bool haveLf = false;
    *restart = 0;
    for (;;) {
        long na = a.ReadFull(bufA, block);
        long nb = b.ReadFull(bufB, block);
        if (na < 0 || nb < 0)
            return kRawDiffer;  // the text comparison reads what it can from the start
        size_t common = static_cast<size_t>(na < nb ? na : nb);
        size_t same = CommonPrefix(bufA, bufB, common);
        if (memchr(bufA, kEndOfText, same) != nullptr)
            return kRawEqual;  // both texts end at the same point, identical up to it
        long lastLf = FindLastLf(bufA, same);
        if (lastLf >= 0) {
            lastLfOffset = offset + static_cast<uint64_t>(lastLf);
            haveLf = true;
        }
        if (same < common || na != nb) {
            *restart = haveLf ? lastLfOffset + 1 : 0;
            return kRawDiffer;
        }
        if (static_cast<size_t>(na) < block)
            return kRawEqual;  // both ended together
        offset += static_cast<uint64_t>(na);
    }
}

// Reads a file in text mode, piece by piece the way fgets does.
class TextReader {
public:
    TextReader(InputFile& file, char* buffer, size_t size)
        : m_file(file), m_buf(buffer), m_size(size), m_pos(0), m_end(0), m_fileDone(false)
    {
    }
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    // Reads the next piece into line (kLineSize bytes): up to and including the next LF, at most
    // kLineSize - 1 bytes. Returns its length, or -1 when the text has ended.
    long ReadPiece(char* line);

private:
    bool Refill();
    // Decodes the CR at m_pos: CR LF becomes LF (true: the piece is complete), else a CR.
    bool TakeCarriageReturn(char* line, size_t* len);

    InputFile& m_file;
    char* m_buf;
    size_t m_size;
    size_t m_pos;
    size_t m_end;
    bool m_fileDone;
};

// Keeps the unread bytes (at most a pending CR) and reads more behind them; the text ends at the
// first 0x1A. False when nothing is left to decode.
bool TextReader::Refill()
{
    size_t keep = m_end - m_pos;
    memmove(m_buf, m_buf + m_pos, keep);
    m_pos = 0;
    m_end = keep;
    if (m_fileDone)
        return m_end > 0;
    long got = m_file.Read(m_buf + keep, m_size - keep);
    if (got <= 0) {
        m_fileDone = true;  // a read error ends the text like the end of the file
        return m_end > 0;
    }
    const char* mark = static_cast<const char*>(memchr(m_buf + keep, kEndOfText, static_cast<size_t>(got)));
    if (mark != nullptr) {
        got = mark - (m_buf + keep);
        m_fileDone = true;
    }
    m_end += static_cast<size_t>(got);
    return m_end > 0;
}

bool TextReader::TakeCarriageReturn(char* line, size_t* len)
{
    if (m_pos + 1 == m_end)
        Refill();  // the CR stays at m_pos; learn what follows it
    if (m_pos + 1 < m_end && m_buf[m_pos + 1] == '\n') {
        line[(*len)++] = '\n';
        m_pos += 2;
        return true;
    }
    line[(*len)++] = '\r';
    m_pos += 1;
    return false;
}

long TextReader::ReadPiece(char* line)
{
    size_t len = 0;
    while (len < kLineSize - 1) {
        if (m_pos == m_end && !Refill())
            break;
        const char* src = m_buf + m_pos;
        size_t avail = m_end - m_pos;
        size_t room = kLineSize - 1 - len;
        size_t window = avail < room ? avail : room;
        const char* lf = static_cast<const char*>(memchr(src, '\n', window));
        if (lf != nullptr) {
            size_t run = static_cast<size_t>(lf - src);
            size_t kept = (run > 0 && src[run - 1] == '\r') ? run - 1 : run;
            memcpy(line + len, src, kept);
            len += kept;
            line[len++] = '\n';
            m_pos += run + 1;
            break;
        }
        // A CR ending the window may pair with an LF behind it: decode it on its own.
        size_t plain = src[window - 1] == '\r' ? window - 1 : window;
        memcpy(line + len, src, plain);
        len += plain;
        m_pos += plain;
        if (plain < window && TakeCarriageReturn(line, &len))
            break;
    }
    line[len] = '\0';
    return len > 0 ? static_cast<long>(len) : -1;
}

bool PiecesEqual(const char* a, size_t alen, const char* b, size_t blen)
{
    if (alen == blen && memcmp(a, b, alen) == 0)
        return true;
    // As zero-terminated texts: nothing from a zero byte on counts.
    const char* za = static_cast<const char*>(memchr(a, '\0', alen));
    const char* zb = static_cast<const char*>(memchr(b, '\0', blen));
    if (za != nullptr)
        alen = static_cast<size_t>(za - a);
    if (zb != nullptr)
        blen = static_cast<size_t>(zb - b);
    return cp932::Compare(a, alen, b, blen) == 0;
}

int CompareTexts(TextReader& a, TextReader& b)
{
    char lineA[kLineSize];
    char lineB[kLineSize];
    for (;;) {
        long la = a.ReadPiece(lineA);
        long lb = b.ReadPiece(lineB);
        if (la < 0 || lb < 0)
            return (la < 0 && lb < 0) ? 0 : 1;  // one file with more pieces differs too
        if (!PiecesEqual(lineA, static_cast<size_t>(la), lineB, static_cast<size_t>(lb)))
            return 1;
    }
}

int CompareOpenFiles(InputFile& fresh, InputFile& old, size_t block)
{
    HeapBlock bufA(block);
    HeapBlock bufB(block);
    if (bufA.Data() == nullptr || bufB.Data() == nullptr)
        return 1;  // cannot tell: report a change rather than miss one
    uint64_t restart = 0;
    if (CompareRaw(fresh, old, bufA.Data(), bufB.Data(), block, &restart) == kRawEqual)
        return 0;
    if (!fresh.SeekTo(restart) || !old.SeekTo(restart))
        return 1;
    TextReader a(fresh, bufA.Data(), block);
    TextReader b(old, bufB.Data(), block);
    return CompareTexts(a, b);
}

}  // namespace

int OpenComparedFiles(const char* newPath, const char* oldPath, InputFile& fresh, InputFile& old)
{
    if (!fresh.Open(newPath))
        return 0;
    if (!old.Open(oldPath))
        return 1;
    return kBothOpened;
}

int CompareTextFilesInBlocks(const char* newPath, const char* oldPath, size_t blockSize)
{
    InputFile fresh;
    InputFile old;
    int opened = OpenComparedFiles(newPath, oldPath, fresh, old);
    if (opened != kBothOpened)
        return opened;
    return CompareOpenFiles(fresh, old, blockSize < 2 ? 2 : blockSize);
}

int CompareTextFiles(const char* newPath, const char* oldPath)
{
    return CompareTextFilesInBlocks(newPath, oldPath, kDefaultBlock);
}
