// profile_check: runs the program's profile functions (registry/profile.cpp) on real files
// for test_profile.py. One call per run; arguments arrive in the ANSI code page (932):
//
//   profile_check.exe get FILE SECTION KEY DEFAULT SIZE
//       ProfileGetString into a buffer of SIZE bytes that sits inside a larger one filled with
//       0xCC, so bytes written past SIZE show.  -> {"ret":N,"buf":"<hex of SIZE+8 bytes>"}
//   profile_check.exe getint FILE SECTION KEY DEFAULT      -> {"ret":N}
//   profile_check.exe write FILE SECTION KEY VALUE          -> {"done":true}
//   profile_check.exe writeint FILE SECTION KEY NUMBER      -> {"done":true}
//   profile_check.exe exedir                                -> {"ret":N,"dir":"<hex>","module":"<hex>"}
//
// and the registry file's own functions (registry/registry_file.cpp) on a registry file:
//
//   profile_check.exe compare FILE ENTRY text|page          WriteCompareMode -> {"done":true}
//   profile_check.exe sitecompare FILE CODE text|page       SetSiteCompareMode -> {"found":B}
//   profile_check.exe delete FILE CODE                      MarkSiteDeleted -> {"done":true}
//   profile_check.exe list FILE          the listed sites -> {"sites":[{"name":"<hex>","code":N,"text":B}]}
//
// The answer is one JSON line on stdout; texts are given as hex of their exact bytes. The
// word "-" stands for a null pointer where one is allowed (FILE, DEFAULT).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "registry/profile.h"
#include "registry/registry_file.h"

namespace {

void PrintHex(const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; ++i) printf("%02x", p[i]);
}

CompareMethod MethodArg(const char* arg)
{
    return strcmp(arg, "text") == 0 ? CompareMethod::kTextOnly : CompareMethod::kWholePage;
}

const char* Arg(char** argv, int i) { return strcmp(argv[i], "-") == 0 ? nullptr : argv[i]; }

int Usage() {
    fprintf(stderr, "usage: profile_check get|getint|write|writeint|exedir|compare|sitecompare|delete|list ...\n");
    return 2;
}

void PrintListedSite(void* context, const ListedSite& site) {
    bool* first = static_cast<bool*>(context);
    printf("%s{\"name\":\"", *first ? "" : ",");
    PrintHex(reinterpret_cast<const unsigned char*>(site.name), strlen(site.name));
    printf("\",\"code\":%ld,\"text\":%s}", site.code, site.method == CompareMethod::kTextOnly ? "true" : "false");
    *first = false;
}

// The registry file's commands; -1 when cmd is none of them.
int RunRegistryCommand(const char* cmd, int argc, char** argv) {
    if (strcmp(cmd, "compare") == 0 && argc == 5) {
        WriteCompareMode(argv[2], strtoul(argv[3], nullptr, 10), MethodArg(argv[4]));
        printf("{\"done\":true}\n");
        return 0;
    }
    if (strcmp(cmd, "sitecompare") == 0 && argc == 5) {
        bool found = SetSiteCompareMode(argv[2], atol(argv[3]), MethodArg(argv[4]));
        printf("{\"found\":%s}\n", found ? "true" : "false");
        return 0;
    }
    if (strcmp(cmd, "delete") == 0 && argc == 4) {
        MarkSiteDeleted(argv[2], atol(argv[3]));
        printf("{\"done\":true}\n");
        return 0;
    }
    if (strcmp(cmd, "list") == 0 && argc == 3) {
        LoadedRegistry registry(argv[2]);
        bool first = true;
        printf("{\"sites\":[");
        if (registry.Sites()) registry.Sites()->ForEachListed(PrintListedSite, &first);
        printf("]}\n");
        return 0;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const char* cmd = argv[1];
    if (strcmp(cmd, "get") == 0 && argc == 7) {
        int size = atoi(argv[6]);
        if (size < 0 || size > 60000) return Usage();
        const int slack = 8;
        unsigned char* buf = (unsigned char*)malloc(size + slack + 1);
        memset(buf, 0xCC, size + slack + 1);
        int ret = ProfileGetString(Arg(argv, 2), argv[3], argv[4], Arg(argv, 5), (char*)buf, size);
        printf("{\"ret\":%d,\"buf\":\"", ret);
        PrintHex(buf, size + slack);
        printf("\"}\n");
        free(buf);
        return 0;
    }
    if (strcmp(cmd, "getint") == 0 && argc == 6) {
        printf("{\"ret\":%d}\n", ProfileGetInt(Arg(argv, 2), argv[3], argv[4], atoi(argv[5])));
        return 0;
    }
    if (strcmp(cmd, "write") == 0 && argc == 6) {
        ProfileWriteString(Arg(argv, 2), argv[3], argv[4], Arg(argv, 5));
        printf("{\"done\":true}\n");
        return 0;
    }
    if (strcmp(cmd, "writeint") == 0 && argc == 6) {
        ProfileWriteInt(Arg(argv, 2), argv[3], argv[4], atoi(argv[5]));
        printf("{\"done\":true}\n");
        return 0;
    }
    if (strcmp(cmd, "exedir") == 0 && argc == 2) {
        char dir[MAX_PATH + 8];
        memset(dir, 0xCC, sizeof dir);
        int ret = GetExeDir(dir, sizeof dir);
        char module[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
        printf("{\"ret\":%d,\"dir\":\"", ret);
        PrintHex((const unsigned char*)dir, strnlen(dir, MAX_PATH));
        printf("\",\"terminated\":%s,\"module\":\"", memchr(dir, 0, MAX_PATH) ? "true" : "false");
        PrintHex((const unsigned char*)module, n);
        printf("\"}\n");
        return 0;
    }
    int ret = RunRegistryCommand(cmd, argc, argv);
    return ret >= 0 ? ret : Usage();
}
