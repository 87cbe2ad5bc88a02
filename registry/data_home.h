// Where the program's data is written, and whether it can be. Checked once at start-up, so that a
// folder the user cannot write (a read-only folder, Program Files without the rights) is reported
// instead of the data going nowhere.
#pragma once
#include "base/path_join.h"

// The folder the data is written into: data\ beside the program when it is there, else the
// program's own folder (data\ is made there at the first registration).
void FindDataHome(char (&folder)[kPathBufferSize]);

// Whether a new file can be made in the folder and removed again. The file is named for this
// process, so that two copies of the program starting together never meet, and is gone when the
// call returns.
bool CanCreateFileIn(const char* folder);
