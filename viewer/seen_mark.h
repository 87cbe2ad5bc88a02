// The newest snapshot the user has seen of a site: its name, kept in the site folder in a file
// that the snapshot list never shows. A site is drawn as changed while it has a snapshot whose
// name (a stamp: byte order is time order) comes after the mark.
#pragma once
#include <stddef.h>

#include "base/path_join.h"

// Reads the mark of the site folder at sitePrefix into name (size bytes). False, name empty, when
// there is no mark, it cannot be read, or it would not fit.
bool ReadSeenMark(const char* sitePrefix, char* name, size_t size);

// Stores name as the mark, through a temporary renamed into place, so the mark is always either
// the old name or the new one. False when it could not be written (the old mark stays).
bool WriteSeenMark(const char* sitePrefix, const char* name);

// True when the snapshot name comes after the seen name (an empty seen name: nothing was seen).
bool IsNewerSnapshot(const char* name, const char* seen);
