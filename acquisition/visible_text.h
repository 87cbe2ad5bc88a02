// The readable text of a page, read as a stream of bytes: tags, comments and the contents of
// scripts and styles left out, character references written in the page's own charset, blanks
// collapsed and one line per block. Used to decide whether a page changed on its text alone.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "acquisition/charset.h"
#include "acquisition/http_fetch.h"

// Turns page bytes, fed in pieces of any size, into the page's readable text:
//  - left out: tags with their attributes (quoted values may hold ">"); comments "<!-- -->";
//    "<!...>" and "<?...>" up to ">"; CDATA sections up to "]]>"; the contents of script, style,
//    noscript, iframe, noembed and noframes up to their end tag (any letter case). Anything left
//    open runs to the end of the page. A "<" not followed by a letter, "/", "!" or "?" is text.
//  - character references: the common named ones, "&#N;" and "&#xH;" (the ";" may be missing
//    after a known name or a number) become the character in the page's charset; numbers naming
//    no character become U+FFFD and 128-159 the windows-1252 characters, as browsers read them.
//    A character the charset lacks is written "&#N;" in decimal, so "&#x3042;" and "&#12354;"
//    stay equal; an unknown name stays as written. "&nbsp;" counts as a blank.
//  - blanks (space, tab, CR, LF, FF) collapse into one space; the start and end tags of blocks
//    (p, div, br, li, tr, td, th, headings, title...) end a line; a line's leading and trailing
//    spaces and empty lines are dropped; each line ends with LF. Zero bytes are dropped.
// Tags and references are ASCII in all these charsets: no byte of a Shift_JIS, EUC-JP or UTF-8
// double-byte character is "<", ">", "&", ";" or a blank, so those bytes pass through whole. In
// ISO-2022-JP the bytes of double-byte characters are told apart by the escape sequences and
// written with escape sequences of their own: ESC ( B before ASCII after them, so every line
// ends in ASCII.
// The text collects in an output buffer of kOutputSize bytes that the caller drains.
class VisibleTextExtractor {
public:
    enum {
        kOutputSize = 16 * 1024,
        kReserve = 64,  // the most one page byte (or Finish) adds to the output
        kTagNameSize = 16,
        kReferenceSize = 32,  // "&" and a name; a longer one is plain text
    };

    explicit VisibleTextExtractor(CharsetKind kind);
    VisibleTextExtractor(const VisibleTextExtractor&) = delete;
    VisibleTextExtractor& operator=(const VisibleTextExtractor&) = delete;

    // Reads page bytes from data[0, len) while the output has room for kReserve more bytes.
    // Returns how many were read: at least one when len > 0 and OutputLength() is at most
    // kOutputSize - kReserve.
    size_t Take(const char* data, size_t len);
    // Ends the page: a reference under way is decoded, a lone "<" at the end is text, and the last
    // line is ended. False, doing nothing, while the output lacks room for kReserve bytes.
    bool Finish();

    const char* Output() const { return m_out; }
    size_t OutputLength() const { return m_outLen; }
    // Removes the first count bytes of the output (at most OutputLength()).
    void DropOutput(size_t count);
    // Continues from where other stands, its waiting text included, as though this extractor had
    // read the same bytes. False, changing nothing, when other reads another charset.
    bool TakeOverState(const VisibleTextExtractor& other);
    // Starts again as made: nothing read, no text waiting.
    void Reset();

private:
    enum State : unsigned char;
    enum TagKind : unsigned char;

    bool HasRoom() const { return m_outLen <= kOutputSize - kReserve; }
    size_t SkipRun(const char* data, size_t pos, size_t len);
    size_t CopyTextRun(const char* data, size_t pos, size_t len);
    size_t ReadTagNameRun(const char* data, size_t pos, size_t len);
    bool StartsTag(const char* data, size_t pos, size_t len) const;
    bool ReadNamedReference(const char* data, size_t* pos, size_t len);
    size_t ReadTagRun(const char* data, size_t pos, size_t len);
    size_t ReadAttributeRun(const char* data, size_t pos, size_t len);
    void TakeByte(char c);
    void TakeOpaqueByte(char c);
    bool Dispatch(char c);
    bool TakeInText(char c);
    bool TakeInTagOpen(char c);
    bool TakeInEndTagOpen(char c);
    bool TakeInTagName(char c);
    bool TakeInTag(char c);
    bool TakeInBang(char c);
    bool TakeInClosedRun(char c, char closer);
    bool TakeInRawText(char c);
    bool TakeInReference(char c);
    bool TakeInNumber(char c);
    bool TakeInName(char c);
    void StartTagName(char c, bool endTag);
    void EndTagName();
    void FinishTag();
    void StartReference();
    void AddToReference(char c);
    void FinishNumber();
    void FinishName(bool semicolon);
    void FinishReferenceAtEnd();
    void WriteRawReference();
    void WriteCodePoint(uint32_t cp);
    void WriteDecimalReference(uint32_t cp);

    // The output side: blanks, lines and ISO-2022-JP designations.
    void Put(char c) { m_out[m_outLen++] = c; }
    void SwitchToAscii();
    void BeginText();
    void AddChar(char c);
    void AddOpaque(char c);
    void AddBlank() { m_parse.pendingSpace = m_parse.lineHasText; }
    void EndLine();

    // Everything that decides what the next bytes give, apart from the text waiting in the
    // output: taken over whole where two pages part after a common start.
    struct Parse {
        Iso2022Shift shift;
        bool iso2022 = false;
        State state{};  // kText
        // the tag under way
        char tagName[kTagNameSize] = {};
        size_t tagLen = 0;
        bool tagTooLong = false;
        bool endTag = false;
        TagKind tagKind{};  // kInlineTag
        char quote = '"';
        // raw text: the end tag looked for and how much of "</name" has matched
        const char* rawName = "";
        size_t rawNameLen = 0;
        size_t rawMatch = 0;
        // "<!" openers, comments and CDATA
        size_t match = 0;
        bool bangComment = false;
        unsigned closers = 0;  // dashes before a comment's ">", brackets before a CDATA's ">"
        // the reference under way
        char ref[kReferenceSize] = {};
        size_t refLen = 0;
        uint32_t refValue = 0;
        unsigned refBase = 10;
        // the output's line and ISO-2022-JP designation
        bool lineHasText = false;
        bool pendingSpace = false;
        char outDesignation[Iso2022Shift::kMaxDesignation] = {};
        size_t outDesignationLen = 0;
    };

    CharsetKind m_kind;
    CodePointEncoder m_encoder;
    Parse m_parse;
    size_t m_outLen;
    char m_out[kOutputSize];
};

// Sends a page's readable text to a sink, itself a sink for the page's bytes (so it can stand
// behind anything that writes pages).
class VisibleTextFilter final : public ByteSink {
public:
    VisibleTextFilter(CharsetKind kind, ByteSink& out) : m_extractor(kind), m_out(out), m_failed(false) {}

    // Takes every byte, false once the sink has refused any text.
    bool Put(const char* data, size_t len) override;
    // Ends the page and hands over the rest of the text. False when the sink refused any text.
    bool Finish();

private:
    bool Drain();

    VisibleTextExtractor m_extractor;
    ByteSink& m_out;
    bool m_failed;
};
