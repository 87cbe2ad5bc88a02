// The program directory and access to profile (INI-style) files through the platform's
// profile functions. A file name without ":\" is taken relative to the program directory.
#pragma once
#include <stddef.h>

// Stores the folder of the running executable, without a trailing backslash, into dst (size
// bytes, 260 for any folder the platform can give; cut to size - 1 bytes when smaller). A program
// in a drive's root gives the drive alone, such as "C:".
int GetExeDir(char* dst, size_t size);

int ProfileGetString(const char* file, const char* section, const char* key, const char* def,
                     char* dst, int size);
int ProfileGetInt(const char* file, const char* section, const char* key, int def);
// False when the file could not be written (read only, say).
bool ProfileWriteString(const char* file, const char* section, const char* key, const char* value);
void ProfileWriteInt(const char* file, const char* section, const char* key, int value);

// Writes a whole section in one call: data is "key=value\0...\0\0" lines, which replace the
// section's. False when the file could not be written.
bool ProfileWriteSection(const char* file, const char* section, const char* data);

// Reads a whole section through the platform in one call, as "key=value\0...\0\0" lines, into a
// buffer the caller frees with FreeSection. Returns nullptr when the file or section is absent.
char* ProfileReadSection(const char* file, const char* section, unsigned long* length);
void FreeSection(char* section);
