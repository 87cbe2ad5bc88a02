// What the program says when it cannot start, and the checks before its window opens.
#pragma once
#include <stddef.h>

// The program's title, the caption of boxes without one of their own: its file name without the
// extension.
void GetAppTitle(char* title, size_t size);

// A box with the text, captioned with the program's title.
void ShowStartFailure(const char* text);

// The exit status of a program whose data would have nowhere to go.
const int kExitDataFolderNotWritable = 2;

// Whether the folder the data is written into can take a new file; when it cannot, a box names
// the folder and says what to do, and false is returned: the program must not run with data
// that goes nowhere.
bool ConfirmDataFolderWritable();
