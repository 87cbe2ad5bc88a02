// Opening a snapshot in a browser: first by asking a running browser over DDE (Internet
// Explorer's service, then Netscape's), and when neither takes the conversation, through the
// shell's "open" verb for the file.
#pragma once
#include <windows.h>
#include <ddeml.h>

enum { kWebAddressSize = 300 };  // a site's URL (259 bytes at most) with the scheme put before it

// Opens the file: DDE to "IEXPLORE", then to "NETSCAPE", then the shell.
void OpenInBrowser(const char* path);

// Opens a web address the same way; false, nothing opened, when it is longer than
// kWebAddressSize - 1 bytes.
bool OpenWebAddress(const char* url);

// Opens a folder in the file manager (the shell's "open" verb).
void OpenFolder(const char* path);

// Asks the service to open the file (topic WWW_OpenURL), then to come to the front. Returns 1
// once a conversation was made, whatever the request's outcome; 0 when the service made none or
// the request's item would not fit.
int DdeOpenUrl(const char* service, const char* path);

// Asks the service to come to the front (topic WWW_Activate). Returns the first bytes of its
// reply as a value (the browser's window id), 0 when there was no conversation or no reply.
DWORD DdeActivate(const char* service);

// The client's DDE callback: a client-only instance has nothing to answer.
HDDEDATA CALLBACK DdeCallback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                              ULONG_PTR data1, ULONG_PTR data2);
