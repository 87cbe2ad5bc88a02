// The names the readable-text extraction knows, looked up in hash tables built at compile time:
// the tags that end a line of text or hide what they hold, and the named character references.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>

enum TagNameKind { kBlockTagName = 1, kHiddenTagName = 2 };
enum { kMaxTagNameLength = 15 };  // the longest tag name looked up

struct KnownTag {
    int kind;          // a TagNameKind
    const char* name;  // the table's own copy of the name, in small letters
    size_t len;
};

// The tables, in the header so that the lookups inline into the extractor's loops.
namespace html_names {

// Names by a key of their first seven bytes and their length; longer names are checked whole.
constexpr uint64_t PackName(const char* name, size_t len)
{
    uint64_t key = static_cast<uint64_t>(len) << 56;
    for (size_t i = 0; i < len && i < 7; ++i)
        key |= static_cast<uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    return key;
}

// A table's keys in an open-addressing hash table built at compile time, each slot holding the
// index of its entry (or -1); the table is at least twice the size of the entries.
template <size_t N>
struct HashedKeys {
    enum { kSlots = N < 64 ? 128 : 256 };
    uint64_t keys[kSlots] = {};
    short entries[kSlots] = {};
};

template <size_t N>
constexpr size_t KeySlot(uint64_t key)
{
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 56) % HashedKeys<N>::kSlots;
}

template <typename Entry, size_t N>
constexpr HashedKeys<N> HashKeys(const Entry (&table)[N])
{
    static_assert(N <= 120, "the table stays at most half full");
    HashedKeys<N> hashed{};
    for (size_t i = 0; i < HashedKeys<N>::kSlots; ++i)
        hashed.entries[i] = -1;
    for (size_t i = 0; i < N; ++i) {
        size_t slot = KeySlot<N>(table[i].key);
        while (hashed.entries[slot] >= 0)
            slot = (slot + 1) % HashedKeys<N>::kSlots;
        hashed.keys[slot] = table[i].key;
        hashed.entries[slot] = static_cast<short>(i);
    }
    return hashed;
}

// The index of the entry with key, or -1.
template <size_t N>
int FindKey(const HashedKeys<N>& hashed, uint64_t key)
{
    for (size_t slot = KeySlot<N>(key);; slot = (slot + 1) % HashedKeys<N>::kSlots) {
        if (hashed.entries[slot] < 0 || hashed.keys[slot] == key)
            return hashed.entries[slot];
    }
}

struct TagEntry {
    uint64_t key;
    const char* name;
    unsigned char len;
    unsigned char kind;  // a TagNameKind
};

template <size_t N>
constexpr TagEntry Block(const char (&name)[N])
{
    return {PackName(name, N - 1), name, N - 1, kBlockTagName};
}

template <size_t N>
constexpr TagEntry Hidden(const char (&name)[N])
{
    return {PackName(name, N - 1), name, N - 1, kHiddenTagName};
}

inline constexpr TagEntry kTags[] = {
    Block("p"), Block("div"), Block("br"), Block("li"), Block("td"), Block("tr"), Block("th"), Block("ul"),
    Block("ol"), Block("dl"), Block("dt"), Block("dd"), Block("h1"), Block("h2"), Block("h3"), Block("h4"),
    Block("h5"), Block("h6"), Block("hr"), Block("table"), Block("thead"), Block("tbody"), Block("tfoot"),
    Block("caption"), Block("section"), Block("article"), Block("header"), Block("footer"), Block("nav"),
    Block("aside"), Block("main"), Block("blockquote"), Block("pre"), Block("form"), Block("fieldset"),
    Block("legend"), Block("title"), Block("address"), Block("figure"), Block("figcaption"), Block("details"),
    Block("summary"), Block("dialog"), Block("menu"), Block("dir"), Block("center"), Block("option"),
    Block("optgroup"), Block("select"), Block("textarea"), Block("body"), Block("head"), Block("html"),
    Block("hgroup"), Block("frameset"), Block("frame"), Block("listing"), Block("plaintext"), Block("xmp"),
    Hidden("script"), Hidden("style"), Hidden("noscript"), Hidden("iframe"), Hidden("noembed"),
    Hidden("noframes"),
};
inline constexpr HashedKeys<sizeof(kTags) / sizeof(kTags[0])> kTagKeys = HashKeys(kTags);

// For each name length, the first letters of the tags of that length: most tags of a page (a,
// span, img, input...) are told apart from the known ones by this alone.
struct FirstLetters {
    uint32_t byLength[kMaxTagNameLength + 1] = {};
};

constexpr FirstLetters MakeFirstLetters()
{
    FirstLetters letters{};
    for (const TagEntry& tag : kTags)
        letters.byLength[tag.len] |= 1u << (tag.name[0] - 'a');
    return letters;
}

inline constexpr FirstLetters kFirstLetters = MakeFirstLetters();

struct NamedReference {
    uint64_t key;
    uint32_t cp;
};

template <size_t N>
constexpr NamedReference Ref(const char (&name)[N], uint32_t cp)
{
    static_assert(N - 1 <= 7, "a name's key holds all of it");
    return {PackName(name, N - 1), cp};
}

inline constexpr NamedReference kNamedReferences[] = {
    Ref("amp", 38), Ref("lt", 60), Ref("gt", 62), Ref("quot", 34), Ref("apos", 39), Ref("nbsp", 160),
    Ref("AMP", 38), Ref("LT", 60), Ref("GT", 62), Ref("QUOT", 34), Ref("copy", 169), Ref("COPY", 169),
    Ref("reg", 174), Ref("REG", 174), Ref("trade", 8482), Ref("hellip", 8230), Ref("mdash", 8212),
    Ref("ndash", 8211), Ref("lsquo", 8216), Ref("rsquo", 8217), Ref("sbquo", 8218), Ref("ldquo", 8220),
    Ref("rdquo", 8221), Ref("bdquo", 8222), Ref("laquo", 171), Ref("raquo", 187), Ref("lsaquo", 8249),
    Ref("rsaquo", 8250), Ref("middot", 183), Ref("bull", 8226), Ref("times", 215), Ref("divide", 247),
    Ref("yen", 165), Ref("euro", 8364), Ref("pound", 163), Ref("cent", 162), Ref("curren", 164), Ref("sect", 167),
    Ref("para", 182), Ref("deg", 176), Ref("plusmn", 177), Ref("micro", 181), Ref("shy", 173), Ref("ensp", 8194),
    Ref("emsp", 8195), Ref("thinsp", 8201), Ref("zwnj", 8204), Ref("zwj", 8205), Ref("lrm", 8206), Ref("rlm", 8207),
    Ref("larr", 8592), Ref("uarr", 8593), Ref("rarr", 8594), Ref("darr", 8595), Ref("harr", 8596),
    Ref("rArr", 8658), Ref("hArr", 8660), Ref("dagger", 8224), Ref("Dagger", 8225), Ref("permil", 8240),
    Ref("prime", 8242), Ref("Prime", 8243), Ref("minus", 8722), Ref("infin", 8734), Ref("ne", 8800),
    Ref("le", 8804), Ref("ge", 8805), Ref("sim", 8764), Ref("hearts", 9829), Ref("spades", 9824),
    Ref("clubs", 9827), Ref("diams", 9830), Ref("loz", 9674), Ref("frac12", 189), Ref("frac14", 188),
    Ref("frac34", 190), Ref("sup1", 185), Ref("sup2", 178), Ref("sup3", 179), Ref("iexcl", 161), Ref("iquest", 191),
    Ref("brvbar", 166), Ref("uml", 168), Ref("macr", 175), Ref("acute", 180), Ref("cedil", 184), Ref("ordf", 170),
    Ref("ordm", 186), Ref("not", 172), Ref("szlig", 223), Ref("agrave", 224), Ref("aacute", 225), Ref("acirc", 226),
    Ref("auml", 228), Ref("ccedil", 231), Ref("egrave", 232), Ref("eacute", 233), Ref("ecirc", 234),
    Ref("iacute", 237), Ref("ntilde", 241), Ref("oacute", 243), Ref("ouml", 246), Ref("uacute", 250),
    Ref("uuml", 252), Ref("Agrave", 192), Ref("Aacute", 193), Ref("Auml", 196), Ref("Ccedil", 199),
    Ref("Eacute", 201), Ref("Ntilde", 209), Ref("Ouml", 214), Ref("Uuml", 220), Ref("alpha", 945), Ref("beta", 946),
    Ref("gamma", 947), Ref("delta", 948), Ref("pi", 960), Ref("sigma", 963), Ref("omega", 969), Ref("mu", 956),
};
inline constexpr HashedKeys<sizeof(kNamedReferences) / sizeof(kNamedReferences[0])> kReferenceKeys =
    HashKeys(kNamedReferences);

inline const TagEntry* FindTag(const char* name, size_t len)
{
    unsigned letter = static_cast<unsigned char>(name[0] - 'a');
    if (letter >= 26 || ((kFirstLetters.byLength[len] >> letter) & 1) == 0)
        return nullptr;
    int found = FindKey(kTagKeys, PackName(name, len));
    if (found < 0)
        return nullptr;
    const TagEntry& tag = kTags[found];
    return len <= 7 || memcmp(tag.name + 7, name + 7, len - 7) == 0 ? &tag : nullptr;
}

}  // namespace html_names

// The known tag named name[0, len) in small letters; false for any other name.
inline bool FindTagName(const char* name, size_t len, KnownTag* tag)
{
    const html_names::TagEntry* entry = len <= kMaxTagNameLength ? html_names::FindTag(name, len) : nullptr;
    if (entry != nullptr)
        *tag = KnownTag{entry->kind, entry->name, entry->len};
    return entry != nullptr;
}

// The code point of the reference named name[0, len) (without "&" and ";"): false for none.
inline bool FindNamedReference(const char* name, size_t len, uint32_t* cp)
{
    int found = len <= 7 ? html_names::FindKey(html_names::kReferenceKeys, html_names::PackName(name, len)) : -1;
    if (found >= 0)
        *cp = html_names::kNamedReferences[found].cp;
    return found >= 0;
}
