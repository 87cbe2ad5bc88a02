// The program's own fetch in a console program, for the Wine tests and benchmarks of fetching:
//   fetch_probe URL OUTPUT [COUNT]
// fetches URL into OUTPUT COUNT times (1 by default) with HttpGetToFile, as the worker does, and
// prints one line per fetch: "result=<0|1> ms=<milliseconds> bytes=<size of OUTPUT>".
#include <winsock2.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "acquisition/http_fetch.h"

namespace {

long long FileSize(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: fetch_probe URL OUTPUT [COUNT]\n");
        return 2;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return 3;
    int count = argc > 3 ? atoi(argv[3]) : 1;
    int last = 0;
    for (int i = 0; i < count; ++i) {
        DWORD start = GetTickCount();
        last = HttpGetToFile(argv[1], argv[2]);
        printf("result=%d ms=%lu bytes=%lld\n", last, GetTickCount() - start, FileSize(argv[2]));
        fflush(stdout);
    }
    return last == 1 ? 0 : 1;
}
