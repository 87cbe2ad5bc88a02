// Which part of a page's compared text counts (a site's ComparedPart): its range, and the lines
// that hold none of its ignored texts. The text (the stored page, or its readable text) is read
// as a stream in pieces of any size, with a window of fixed size, so memory stays the same
// whatever the size of the page or the length of its lines.
//
// The text is taken as lines ending at LF (a CR before the LF belongs to the line end). The
// range starts at the first occurrence of the start text (itself counted) and ends where the
// end text next occurs after it (not counted), or at the end of the text; with no start text it
// starts at the beginning. A text is only ever found where a character of code page 932 begins:
// each line is walked from its start, a lead byte (0x81-0x9F, 0xE0-0xFC) taking the next byte as
// its trail. A line of the range that holds an ignored text wholly inside the range is left out.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "registry/site_settings.h"

// Where the lines of the range go.
class KeptLineSink {
public:
    // More bytes of the current line of the range.
    virtual void LineText(const char* data, size_t len) = 0;
    // The line is over: counts is false when it holds an ignored text (the bytes given for it are
    // to be forgotten).
    virtual void EndLine(bool counts) = 0;

protected:
    KeptLineSink() = default;
    ~KeptLineSink() = default;
};

// The filter's state is plain data: a copy goes on from where the original stands (two pages
// read together while their bytes are the same share one filter up to where they part). It
// refers to the texts of the ComparedPart it was made from, which must outlive it.
class PartFilter {
public:
    enum {
        kWindowSize = 16 * 1024,  // bytes of a line looked at together
        kMaxIgnoredTexts = kIgnoreTextsSize / 2,  // one byte each and LF between them
    };

    // useRange false: the range is left aside (the whole text counts) and only ignored lines are
    // left out, as for a page whose start text was not found.
    PartFilter(const ComparedPart& part, bool useRange);

    // Reads text from data[0, len), stopping once a line is over. Returns the bytes read: at
    // least one when len > 0; all of them once the filter is done.
    size_t Take(const char* data, size_t len, KeptLineSink& sink);
    // The text has ended; a last line without LF is over too. The filter is done.
    void Finish(KeptLineSink& sink);
    // Nothing that follows counts: the range has ended, or the text has.
    bool Done() const { return m_phase == kDone; }
    // The range's start text was found, or there is none to find.
    bool StartFound() const { return m_startFound; }

private:
    enum Phase : unsigned char { kSeekStart, kInside, kDone };
    enum Walked : unsigned char { kWalked, kWaiting, kEndFound };
    enum Found : unsigned char { kNothing, kWait, kStart, kEnd };
    struct Text {
        unsigned short at;   // offset in the ignored texts
        unsigned short len;
    };

    void AddIgnoredTexts(const char* texts);
    void AddPair(const char* text, size_t len);
    bool MayBegin(size_t i) const;
    unsigned char Mask(size_t i) const;
    bool StartsCharacter(size_t anchor, size_t i) const;
    Walked WalkWindow(bool lineOver);
    size_t SkipPlainBytes(const unsigned char* bytes, size_t i, unsigned char mask) const;
    Found LookAt(size_t i, bool lineOver);
    void LookForIgnored(size_t i, size_t avail, bool lineOver, bool* wait);
    void StartRangeAt(size_t i);
    void Spill(KeptLineSink& sink);
    void EndLine(bool byLineFeed, KeptLineSink& sink);
    void EndLineAt(size_t end, bool atEndText, KeptLineSink& sink);
    void Shift(size_t count);
    void ResetLine();

    const char* m_from;
    size_t m_fromLen;
    const char* m_to;
    size_t m_toLen;
    const char* m_ignored;             // the ignored texts, LF between them
    Text m_texts[kMaxIgnoredTexts];    // sorted by their first byte
    unsigned short m_byFirst[257];     // m_texts[m_byFirst[c], m_byFirst[c + 1]) start with byte c
    unsigned char m_kinds[256];        // what each byte may begin: a double-byte character, a text
    unsigned char m_pairs[65536 / 8];  // the pairs of bytes some text begins with, a bit each
    Phase m_phase;
    bool m_startFound;
    uint64_t m_lineBase;    // the line's bytes before the window
    uint64_t m_toFrom;      // where in the line the end text may begin
    uint64_t m_ignoredEnd;  // where in the line the first ignored text found ends; none: UINT64_MAX
    size_t m_used;          // bytes in the window
    size_t m_walked;        // where a character begins: the bytes before it have been looked at
    size_t m_keptFrom;      // where the range's part of the line begins in the window
    bool m_handedText;      // some of the line's part of the range has left the window
    char m_window[kWindowSize];
};
