// The URLs of the listed sites, to tell a site being brought in that is listed already. URLs are
// compared as sites are told apart by them: blanks at the ends dropped, "http://" before one
// without a scheme, the scheme and the host in any letter case; the path and the rest as they are.
#pragma once
#include <stddef.h>

#include "base/code_map.h"
#include "base/heap_block.h"

class KnownUrls {
public:
    KnownUrls() = default;
    KnownUrls(const KnownUrls&) = delete;
    KnownUrls& operator=(const KnownUrls&) = delete;

    // True when the URL was not known before (it is from now on); false for one known already.
    // When memory runs out the URL counts as new, so that nothing is left out.
    bool Add(const char* url);

private:
    CodeMap<size_t> m_slots;  // a table of the URLs' hashes, open to the next key where two meet
    HeapBlock m_texts;        // the URLs as compared, each ended by a zero byte
    size_t m_used = 0;
};
