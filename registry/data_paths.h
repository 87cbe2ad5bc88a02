// The paths of the data folder beside the program. Each returns false, leaving the buffer empty,
// when the path would not fit in 259 bytes.
#pragma once
#include "base/path_join.h"

// program directory\data
bool MakeDataDir(char (&path)[kPathBufferSize]);
// program directory\data\Morvel.ini
bool MakeRegistryPath(char (&path)[kPathBufferSize]);
// The same, with the data folder made first when it is missing, for writing the file.
bool MakeRegistryPathForWriting(char (&path)[kPathBufferSize]);
// program directory\data\<code>
bool MakeSitePrefix(char (&path)[kPathBufferSize], long code);
// program directory\data\<code text>
bool MakeSitePrefix(char (&path)[kPathBufferSize], const char* codeText);
