// worker_rows: reads the rows of another process's list view, over and over, for the tests that
// watch the acquisition worker change the site list's texts.
//
//   worker_rows.exe serve      one command per stdin line, one JSON answer per line:
//       rows<TAB>HWND          {"ok":true,"rows":[{"param":N,"cells":["hex","hex"]},...]}
//       point<TAB>HWND<TAB>ROW  {"ok":true,"x":X,"y":Y}: screen point in the row's first cell
//
// The texts are read with LVM_GETITEMA/LVM_GETITEMTEXTA through a buffer in the target process.
// Allocating memory in another process makes Wine call into that process, which under qemu now
// and then fails or stalls; so the buffer is allocated once per process (retried when that
// fails) and kept, and each poll only sends messages and copies memory.
//
// Where qemu runs the 32-bit Wine processes it may shift a guest's addresses by a fixed amount
// in the Linux process, while wineserver copies other processes' memory at Linux addresses; the
// shift is found once by reading our own memory back through ReadProcessMemory.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const SIZE_T kTextMax = 1024;
const SIZE_T kBufferSize = sizeof(LVITEMA) + kTextMax;
const UINT kSendTimeoutMs = 10000;

struct Target {
    DWORD pid = 0;
    HANDLE process = nullptr;
    char* buffer = nullptr;  // kBufferSize bytes in the target
};

Target g_target;

SIZE_T AddressShift()
{
    static bool measured = false;
    static SIZE_T shift = 0;
    if (measured)
        return shift;
    measured = true;
    static volatile unsigned char area[4 * 65536];
    unsigned char* mark = const_cast<unsigned char*>(area) + 65536;
    for (int i = 0; i < 64; ++i)
        mark[i] = static_cast<unsigned char>(0x5A + i * 29 + GetTickCount());
    for (SIZE_T d : {0x0, 0x1000, 0x2000, 0x10000, 0x11000, 0x20000}) {
        unsigned char got[64];
        SIZE_T done = 0;
        if (ReadProcessMemory(GetCurrentProcess(), mark + d, got, sizeof got, &done) &&
            done == sizeof got && memcmp(got, mark, sizeof got) == 0) {
            shift = d;
            break;
        }
    }
    return shift;
}

bool Attach(HWND lv, std::string& error)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(lv, &pid);
    if (!pid) {
        error = "no such window";
        return false;
    }
    if (g_target.pid == pid && g_target.buffer)
        return true;
    if (g_target.process)
        CloseHandle(g_target.process);  // the old process is gone; so is its buffer
    g_target = Target();
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process) {
        error = "OpenProcess failed";
        return false;
    }
    for (int attempt = 0; attempt < 20; ++attempt) {
        void* p = VirtualAllocEx(process, nullptr, kBufferSize, MEM_COMMIT | MEM_RESERVE,
                                 PAGE_READWRITE);
        if (p) {
            g_target.pid = pid;
            g_target.process = process;
            g_target.buffer = static_cast<char*>(p);
            return true;
        }
        Sleep(250);
    }
    CloseHandle(process);
    error = "VirtualAllocEx failed";
    return false;
}

bool Send(HWND h, UINT msg, WPARAM w, LPARAM l, LRESULT& result)
{
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, kSendTimeoutMs, &r))
        return false;
    result = static_cast<LRESULT>(r);
    return true;
}

bool Write(SIZE_T offset, const void* src, SIZE_T n)
{
    SIZE_T done = 0;
    return WriteProcessMemory(g_target.process, g_target.buffer + offset + AddressShift(), src, n,
                              &done) && done == n;
}

bool Read(SIZE_T offset, void* dst, SIZE_T n)
{
    SIZE_T done = 0;
    return ReadProcessMemory(g_target.process, g_target.buffer + offset + AddressShift(), dst, n,
                             &done) && done == n;
}

std::string Hex(const char* p, size_t n)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool Rows(HWND lv, std::string& json, std::string& error)
{
    if (!Attach(lv, error))
        return false;
    LRESULT count = 0;
    if (!Send(lv, LVM_GETITEMCOUNT, 0, 0, count)) {
        error = "LVM_GETITEMCOUNT failed";
        return false;
    }
    json = "\"rows\":[";
    for (int row = 0; row < count; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        LRESULT ok = 0;
        if (!Write(0, &item, sizeof item) ||
            !Send(lv, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(g_target.buffer), ok) || !ok ||
            !Read(0, &item, sizeof item)) {
            error = "LVM_GETITEMA failed";
            return false;
        }
        json += row ? ",{" : "{";
        json += "\"param\":" + std::to_string(static_cast<long long>(item.lParam)) + ",\"cells\":[";
        for (int sub = 0; sub < 2; ++sub) {
            LVITEMA text = {};
            text.iSubItem = sub;
            text.pszText = g_target.buffer + sizeof(LVITEMA);
            text.cchTextMax = static_cast<int>(kTextMax);
            char zero = 0;
            LRESULT len = 0;
            char buf[kTextMax];
            if (!Write(0, &text, sizeof text) || !Write(sizeof(LVITEMA), &zero, 1) ||
                !Send(lv, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(g_target.buffer), len) ||
                !Read(sizeof(LVITEMA), buf, sizeof buf)) {
                error = "LVM_GETITEMTEXTA failed";
                return false;
            }
            size_t n = strnlen(buf, sizeof buf);
            json += std::string(sub ? "," : "") + "\"" + Hex(buf, n) + "\"";
        }
        json += "]}";
    }
    json += "]";
    return true;
}

bool Point(HWND lv, int row, std::string& json, std::string& error)
{
    if (!Attach(lv, error))
        return false;
    RECT rc = {};
    rc.left = LVIR_LABEL;
    LRESULT ok = 0;
    if (!Write(0, &rc, sizeof rc) ||
        !Send(lv, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(g_target.buffer), ok) || !ok ||
        !Read(0, &rc, sizeof rc)) {
        error = "LVM_GETITEMRECT failed";
        return false;
    }
    POINT p = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(lv, &p);
    json = "\"x\":" + std::to_string(p.x) + ",\"y\":" + std::to_string(p.y);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || strcmp(argv[1], "serve") != 0) {
        fprintf(stderr, "usage: worker_rows.exe serve\n");
        return 2;
    }
    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        size_t n = strlen(line);
        while (n && (line[n - 1] == '\n' || line[n - 1] == '\r'))
            line[--n] = '\0';
        if (!n)
            break;
        std::string json, error;
        char* tab = strchr(line, '\t');
        char* end = nullptr;
        HWND lv = tab ? reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(tab + 1, &end, 10)))
                      : nullptr;
        bool ok;
        if (strncmp(line, "rows\t", 5) == 0 && lv) {
            ok = Rows(lv, json, error);
        } else if (strncmp(line, "point\t", 6) == 0 && lv && end && *end == '\t') {
            ok = Point(lv, atoi(end + 1), json, error);
        } else {
            ok = false;
            error = "unknown command";
        }
        if (ok)
            printf("{\"ok\":true,%s}\n", json.c_str());
        else
            printf("{\"ok\":false,\"error\":\"%s\"}\n", error.c_str());
        fflush(stdout);
    }
    return 0;
}
