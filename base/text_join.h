// Bounded building of texts in fixed buffers: keys, codes, stamps, paths, requests, URLs.
#pragma once
#include <stddef.h>

// Appends texts into a fixed buffer, keeping it terminated. Once a piece does not fit, the
// buffer is left empty and every later piece is refused: a text is never stored cut short.
class TextBuilder {
public:
    TextBuilder(char* dst, size_t size);
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;

    TextBuilder& Append(const char* text);
    TextBuilder& Append(const char* text, size_t len);
    // Cuts the text back to its first len bytes (len not past its length).
    void CutTo(size_t len);
    bool Ok() const { return m_ok; }
    size_t Length() const { return m_used; }
    const char* Text() const { return m_dst; }

private:
    char* m_dst;
    size_t m_size;
    size_t m_used;
    bool m_ok;
};

// Joins the pieces into dst (size bytes). When the whole text would not fit, dst is left empty
// and false is returned.
bool JoinText(char* dst, size_t size, const char* const* pieces, size_t count);

template <size_t N, size_t K>
bool JoinText(char (&dst)[N], const char* const (&pieces)[K])
{
    return JoinText(dst, N, pieces, K);
}

// Fills a pattern into dst (size bytes): each "%s" of the pattern is replaced by the next of the
// count texts (none left: by nothing), every other byte is copied. False, dst left empty, when
// the whole text would not fit.
bool FillText(char* dst, size_t size, const char* pattern, const char* const* texts, size_t count);

template <size_t N, size_t K>
bool FillText(char (&dst)[N], const char* pattern, const char* const (&texts)[K])
{
    return FillText(dst, N, pattern, texts, K);
}

// Copies src into dst (size bytes), cut to size - 1 bytes and terminated. Returns the bytes stored.
size_t CopyText(char* dst, size_t size, const char* src);
