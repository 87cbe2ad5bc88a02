// Writing the site list out for another PC or another tool: OPML in UTF-8 (every site an outline
// with its name as text and its URL as htmlUrl, its settings as attributes of the program's own
// namespace, which the import reads back) or a plain list of name, tab and URL lines in code page
// 932. The file is written through a temporary beside it and renamed into place, so a write that
// fails leaves an older file of that name whole.
#pragma once
#include <stddef.h>

#include "base/heap_block.h"
#include "registry/site_list_import.h"

enum class ExportFormat {
    kOpml,
    kPlainList,
};

// The file's whole text into out; its length in *len. False when memory runs out.
bool FormatSiteList(ExportFormat format, const ImportedSite* sites, size_t count, HeapBlock* out, size_t* len);

// Writes the text to path, through path with "~" added; false (any older file left as it was)
// when the path or the temporary cannot be written.
bool WriteSiteListFile(const char* path, const char* text, size_t len);
