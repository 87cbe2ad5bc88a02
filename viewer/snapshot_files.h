// The snapshot files of a site folder: every "*.htm" file directly in it. Their names are stamps,
// so byte order is time order.
#pragma once
#include "base/path_join.h"

// Calls visit with the name of every snapshot in the site folder at sitePrefix, in the order the
// directory gives.
void ForEachSnapshot(const char* sitePrefix, void (*visit)(void* context, const char* name), void* context);

// The newest snapshot's name, or with before given the newest one whose name comes before it.
// False, name empty, when there is none.
bool FindNewestSnapshot(const char* sitePrefix, const char* before, char (&name)[kPathBufferSize]);
