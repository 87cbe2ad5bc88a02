// swdriver: drives a running Win32 program from outside, through the window system, for the
// Wine tests. One subcommand per call, or many over stdin with "serve":
//
//   swdriver.exe SUBCOMMAND ARG...            one command, exit status 0 (ok) or 1 (failed)
//   swdriver.exe serve                        one command per stdin line, arguments separated
//                                             by TAB, one JSON answer per line on stdout
//
// Every answer is one line of JSON: {"ok":true,...} or {"ok":false,"error":"..."}. Texts read
// from the program are code page 932; each comes twice: "text" converted to UTF-8 and "hex"
// with the exact bytes. Arguments are UTF-8 and are converted to code page 932 where the
// program sees them (captions to look for, texts to set). Numbers are decimal; window handles
// too. A control is named by a window handle, or by a parent handle and a control id.
//
// Reading another process's list view: the LVITEMA/LVCOLUMNA/RECT and the text buffer are
// allocated in the target process (VirtualAllocEx), the message is sent, and the results are
// copied back with ReadProcessMemory. Menus belong to the process that made them, so menu
// reading runs inside the target: swprobe.dll is set as a window hook on the target's thread
// and writes the menu into a file the driver reads back.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "json_text.h"
#include <vector>

namespace {

const UINT kSendTimeoutMs = 5000;

// ---------------------------------------------------------------------------------------
// Text conversion and JSON output


// "text":"...","hex":"..." for a code page 932 text, with an optional key prefix.
std::string TextFields(const std::string& cp932, const char* key = "text") {
    std::string k(key);
    std::string hexKey = (k == "text") ? "hex" : k + "_hex";
    return JsonString(k) + ":" + JsonString(ToUtf8(cp932)) + "," + JsonString(hexKey) + ":" +
           JsonString(Hex(cp932));
}

std::string Num(long long v) { return std::to_string(v); }
std::string UNum(unsigned long long v) { return std::to_string(v); }
std::string HwndNum(HWND h) { return UNum((unsigned long long)(uintptr_t)h); }
std::string Bool(bool b) { return b ? "true" : "false"; }
std::string RectJson(const RECT& r) {
    return "{\"left\":" + Num(r.left) + ",\"top\":" + Num(r.top) + ",\"right\":" + Num(r.right) +
           ",\"bottom\":" + Num(r.bottom) + "}";
}

struct Failure {
    std::string message;
};

// Each command returns the fields of its answer (without braces), or throws Failure.
using Args = std::vector<std::string>;

[[noreturn]] void Fail(const std::string& m) { throw Failure{m}; }

// ---------------------------------------------------------------------------------------
// Argument parsing

long long ParseNum(const std::string& s) {
    if (s.empty()) Fail("empty number");
    char* end = nullptr;
    long long v;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        v = (long long)strtoull(s.c_str() + 2, &end, 16);
    else
        v = strtoll(s.c_str(), &end, 10);
    if (!end || *end) Fail("not a number: " + s);
    return v;
}

HWND ParseHwnd(const std::string& s) { return (HWND)(uintptr_t)ParseNum(s); }

struct Opts {
    Args pos;                           // positional arguments
    std::vector<std::pair<std::string, std::string>> named;  // --name value
    bool Has(const char* n) const {
        for (auto& p : named)
            if (p.first == n) return true;
        return false;
    }
    std::string Get(const char* n, const std::string& def = std::string()) const {
        for (auto& p : named)
            if (p.first == n) return p.second;
        return def;
    }
    long long GetNum(const char* n, long long def) const {
        return Has(n) ? ParseNum(Get(n)) : def;
    }
};

// Flags that take no value.
bool IsSwitch(const std::string& n) {
    return n == "visible" || n == "send";
}

Opts ParseOpts(const Args& a, size_t from) {
    Opts o;
    for (size_t i = from; i < a.size(); ++i) {
        if (a[i].size() > 2 && a[i][0] == '-' && a[i][1] == '-') {
            std::string n = a[i].substr(2);
            if (IsSwitch(n)) {
                o.named.push_back({n, "1"});
            } else {
                if (i + 1 >= a.size()) Fail("--" + n + " needs a value");
                o.named.push_back({n, a[++i]});
            }
        } else {
            o.pos.push_back(a[i]);
        }
    }
    return o;
}

const std::string& Pos(const Opts& o, size_t i, const char* what) {
    if (i >= o.pos.size()) Fail(std::string("missing argument: ") + what);
    return o.pos[i];
}

// A control: HWND, or PARENT ID (positional i and i+1).
HWND ControlArg(const Opts& o, size_t i) {
    HWND h = ParseHwnd(Pos(o, i, "window"));
    if (o.pos.size() > i + 1) {
        // A second number is a control id when the first names a window that has that child.
        long long id = ParseNum(o.pos[i + 1]);
        HWND c = GetDlgItem(h, (int)id);
        if (!c) Fail("no control " + o.pos[i + 1] + " in window " + o.pos[i]);
        h = c;
    }
    if (!IsWindow(h)) Fail("not a window: " + o.pos[i]);
    return h;
}

// ---------------------------------------------------------------------------------------
// Window facts

std::string WindowTextA(HWND h) {
    // WM_GETTEXT is carried across processes by the window system.
    char buf[4096];
    DWORD_PTR len = 0;
    buf[0] = 0;
    if (!SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &len)) {
        int n = GetWindowTextA(h, buf, sizeof buf);
        return std::string(buf, n > 0 ? n : 0);
    }
    return std::string(buf, strnlen(buf, sizeof buf));
}

std::string ClassNameA(HWND h) {
    char buf[256];
    int n = GetClassNameA(h, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

// The full Windows path of the program that owns a window ("" when it cannot be read).
std::string ImagePath(HWND h) {
    typedef BOOL(WINAPI * QueryName)(HANDLE, DWORD, LPSTR, PDWORD);
    static QueryName query =
        (QueryName)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    HANDLE p = OpenProcess(0x1000 /* PROCESS_QUERY_LIMITED_INFORMATION */, FALSE, pid);
    if (!p) return std::string();
    char buf[1024];
    DWORD n = sizeof buf;
    std::string out;
    if (query && query(p, 0, buf, &n)) out.assign(buf, n);
    CloseHandle(p);
    return out;
}

std::string WindowFields(HWND h) {
    RECT wr{}, cr{};
    GetWindowRect(h, &wr);
    GetClientRect(h, &cr);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(h, &pid);
    LONG style = GetWindowLongA(h, GWL_STYLE);
    LONG exstyle = GetWindowLongA(h, GWL_EXSTYLE);
    return "\"hwnd\":" + HwndNum(h) + "," + TextFields(WindowTextA(h)) + "," +
           TextFields(ClassNameA(h), "class") + ",\"id\":" + Num(GetDlgCtrlID(h)) +
           ",\"pid\":" + UNum(pid) + ",\"tid\":" + UNum(tid) + ",\"rect\":" + RectJson(wr) +
           ",\"client\":" + RectJson(cr) + ",\"client_origin\":{\"x\":" + Num(origin.x) +
           ",\"y\":" + Num(origin.y) + "}" + ",\"style\":" + UNum((DWORD)style) +
           ",\"exstyle\":" + UNum((DWORD)exstyle) + ",\"visible\":" + Bool(IsWindowVisible(h)) +
           ",\"enabled\":" + Bool(IsWindowEnabled(h)) +
           ",\"owner\":" + HwndNum(GetWindow(h, GW_OWNER)) +
           ",\"parent\":" + HwndNum(GetAncestor(h, GA_PARENT)) +
           ",\"foreground\":" + Bool(GetForegroundWindow() == h) + "," +
           TextFields(ImagePath(h), "image");
}

struct TopFilter {
    std::string caption;  // cp932; empty: any
    bool hasCaption = false;
    std::string cls;
    bool hasClass = false;
    DWORD pid = 0;
    HWND owner = nullptr;
    bool hasOwner = false;
    bool visibleOnly = false;
    std::string image;  // cp932; empty: any
};

TopFilter FilterFrom(const Opts& o) {
    TopFilter f;
    if (o.Has("caption")) {
        f.hasCaption = true;
        f.caption = ToCp932(o.Get("caption"));
    }
    if (o.Has("class")) {
        f.hasClass = true;
        f.cls = o.Get("class");
    }
    f.pid = (DWORD)o.GetNum("pid", 0);
    if (o.Has("owner")) {
        f.hasOwner = true;
        f.owner = ParseHwnd(o.Get("owner"));
    }
    f.visibleOnly = o.Has("visible");
    if (o.Has("image")) f.image = ToCp932(o.Get("image"));
    return f;
}

bool Matches(HWND h, const TopFilter& f) {
    if (f.visibleOnly && !IsWindowVisible(h)) return false;
    if (f.pid) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid != f.pid) return false;
    }
    if (f.hasOwner && GetWindow(h, GW_OWNER) != f.owner) return false;
    if (f.hasClass && lstrcmpiA(ClassNameA(h).c_str(), f.cls.c_str()) != 0) return false;
    if (f.hasCaption) {
        char buf[1024];
        int n = GetWindowTextA(h, buf, sizeof buf);
        if (std::string(buf, n > 0 ? n : 0) != f.caption) return false;
    }
    if (!f.image.empty() && lstrcmpiA(ImagePath(h).c_str(), f.image.c_str()) != 0) return false;
    return true;
}

std::vector<HWND> TopWindows(const TopFilter& f) {
    struct Ctx {
        const TopFilter* f;
        std::vector<HWND> out;
    } ctx{&f, {}};
    struct Cb {
        static BOOL CALLBACK Each(HWND h, LPARAM p) {
            Ctx* c = (Ctx*)p;
            if (Matches(h, *c->f)) c->out.push_back(h);
            return TRUE;
        }
    };
    EnumWindows(Cb::Each, (LPARAM)&ctx);
    return ctx.out;
}

// ---------------------------------------------------------------------------------------
// Memory in the target process

// Where the 32-bit Wine loader runs under qemu's user emulation, qemu may place the guest's
// address space at an offset in the Linux process (guest_base, 0x1000 when the guest needs
// page 0), while wineserver reads and writes other processes' memory at the plain Linux
// address. The offset is the same for every 32-bit Wine process (same loader, same qemu):
// measure it once on our own memory, which ReadProcessMemory also reaches through wineserver.
SIZE_T MemoryOffset() {
    static bool known = false;
    static SIZE_T offset = 0;
    if (known) return offset;
    static volatile unsigned char probe[3 * 65536 + 64];
    unsigned char* mark = (unsigned char*)probe + 65536;
    for (int i = 0; i < 32; ++i) mark[i] = (unsigned char)(0xA5 ^ (i * 37) ^ (GetTickCount() >> 3));
    const SIZE_T candidates[] = {0, 0x1000, 0x2000, 0x10000, 0x11000, 0x20000};
    for (SIZE_T d : candidates) {
        unsigned char got[32];
        SIZE_T done = 0;
        if (ReadProcessMemory(GetCurrentProcess(), mark + d, got, sizeof got, &done) &&
            done == sizeof got && memcmp(got, mark, sizeof got) == 0) {
            offset = d;
            known = true;
            return offset;
        }
    }
    known = true;  // none matched: leave addresses as they are
    return offset;
}

// A scratch block in the target process. Allocating or freeing memory in another process
// makes that process run a request on one of its threads, which waits while the program is
// busy; so each target gets one block on first use, kept (a few pages) for the driver's life,
// and dropped once the target has ended.
class Remote {
public:
    static const SIZE_T kBlock = 64 * 1024;

    explicit Remote(HWND h, SIZE_T size) {
        if (size > kBlock) Fail("scratch block too small");
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        Slot* slot = nullptr;
        for (Slot& sl : Slots()) {
            if (sl.pid == pid && WaitForSingleObject(sl.proc, 0) == WAIT_TIMEOUT) slot = &sl;
        }
        if (!slot) {
            HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                          PROCESS_QUERY_INFORMATION | SYNCHRONIZE,
                                      FALSE, pid);
            if (!proc) Fail("OpenProcess failed");
            // Allocating in another process makes Wine call into it, which under qemu now and
            // then fails: the block is asked for a few times, then kept.
            char* mem = nullptr;
            for (int attempt = 0; attempt < 20 && !mem; ++attempt) {
                mem = (char*)VirtualAllocEx(proc, nullptr, kBlock, MEM_COMMIT | MEM_RESERVE,
                                            PAGE_READWRITE);
                if (!mem) Sleep(250);
            }
            if (!mem) {
                CloseHandle(proc);
                Fail("VirtualAllocEx failed");
            }
            // Forget blocks of processes that have ended.
            std::vector<Slot>& all = Slots();
            for (size_t i = 0; i < all.size();) {
                if (WaitForSingleObject(all[i].proc, 0) != WAIT_TIMEOUT) {
                    CloseHandle(all[i].proc);
                    all.erase(all.begin() + i);
                } else {
                    ++i;
                }
            }
            all.push_back(Slot{pid, proc, mem});
            slot = &all.back();
        }
        proc_ = slot->proc;
        mem_ = slot->mem;
    }
    char* At(SIZE_T off) const { return mem_ + off; }
    void Write(SIZE_T off, const void* src, SIZE_T n) {
        SIZE_T done = 0;
        if (!WriteProcessMemory(proc_, mem_ + off + MemoryOffset(), src, n, &done) || done != n)
            Fail("WriteProcessMemory failed");
    }
    void Read(SIZE_T off, void* dst, SIZE_T n) {
        SIZE_T done = 0;
        if (!ReadProcessMemory(proc_, mem_ + off + MemoryOffset(), dst, n, &done) || done != n)
            Fail("ReadProcessMemory failed");
    }

private:
    struct Slot {
        DWORD pid;
        HANDLE proc;
        char* mem;
    };
    static std::vector<Slot>& Slots() {
        static std::vector<Slot> slots;
        return slots;
    }
    HANDLE proc_ = nullptr;
    char* mem_ = nullptr;
};

LRESULT Send(HWND h, UINT msg, WPARAM w, LPARAM l) {
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, kSendTimeoutMs, &r))
        Fail("SendMessage timed out or failed (msg " + Num(msg) + ")");
    return (LRESULT)r;
}

const SIZE_T kTextMax = 4096;

// One cell's text (LVM_GETITEMTEXTA) as exact bytes.
std::string ItemText(HWND lv, Remote& rm, int row, int sub) {
    LVITEMA it{};
    it.iSubItem = sub;
    it.pszText = rm.At(sizeof(LVITEMA));
    it.cchTextMax = (int)kTextMax;
    rm.Write(0, &it, sizeof it);
    char zero = 0;
    rm.Write(sizeof(LVITEMA), &zero, 1);
    LRESULT n = Send(lv, LVM_GETITEMTEXTA, row, (LPARAM)rm.At(0));
    std::vector<char> buf(kTextMax);
    rm.Read(sizeof(LVITEMA), buf.data(), kTextMax);
    size_t len = strnlen(buf.data(), kTextMax);
    if (n >= 0 && (size_t)n < len) len = (size_t)n;
    return std::string(buf.data(), len);
}

int ColumnCount(HWND lv) {
    HWND hdr = (HWND)Send(lv, LVM_GETHEADER, 0, 0);
    if (!hdr) return 1;
    LRESULT n = Send(hdr, HDM_GETITEMCOUNT, 0, 0);
    return n > 0 ? (int)n : 1;
}

// ---------------------------------------------------------------------------------------
// Commands

std::string CmdFindWindow(const Opts& o) {
    TopFilter f = FilterFrom(o);
    DWORD timeout = (DWORD)o.GetNum("timeout", 0);
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> found = TopWindows(f);
        if (!found.empty()) return WindowFields(found[0]);
        if (GetTickCount() - start >= timeout) Fail("no such window");
        Sleep(30);
    }
}

std::string CmdWindows(const Opts& o) {
    std::vector<HWND> found = TopWindows(FilterFrom(o));
    std::string s = "\"windows\":[";
    for (size_t i = 0; i < found.size(); ++i) s += (i ? ",{" : "{") + WindowFields(found[i]) + "}";
    return s + "]";
}

std::string CmdInfo(const Opts& o) { return WindowFields(ControlArg(o, 0)); }

std::string CmdChildren(const Opts& o) {
    HWND h = ControlArg(o, 0);
    std::vector<HWND> kids;
    struct Cb {
        static BOOL CALLBACK Each(HWND c, LPARAM p) {
            ((std::vector<HWND>*)p)->push_back(c);
            return TRUE;
        }
    };
    EnumChildWindows(h, Cb::Each, (LPARAM)&kids);
    std::string s = "\"children\":[";
    for (size_t i = 0; i < kids.size(); ++i) s += (i ? ",{" : "{") + WindowFields(kids[i]) + "}";
    return s + "]";
}

std::string CmdLvCount(const Opts& o) {
    HWND lv = ControlArg(o, 0);
    return "\"count\":" + Num(Send(lv, LVM_GETITEMCOUNT, 0, 0));
}

std::string CmdLvRows(const Opts& o) {
    HWND lv = ControlArg(o, 0);
    int count = (int)Send(lv, LVM_GETITEMCOUNT, 0, 0);
    int cols = ColumnCount(lv);
    Remote rm(lv, sizeof(LVITEMA) + kTextMax + 16);
    std::string s = "\"count\":" + Num(count) + ",\"columns\":" + Num(cols) + ",\"rows\":[";
    for (int r = 0; r < count; ++r) {
        LVITEMA it{};
        it.mask = LVIF_PARAM | LVIF_STATE;
        it.iItem = r;
        it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        rm.Write(0, &it, sizeof it);
        if (!Send(lv, LVM_GETITEMA, 0, (LPARAM)rm.At(0))) Fail("LVM_GETITEM failed");
        rm.Read(0, &it, sizeof it);
        s += r ? ",{" : "{";
        s += "\"index\":" + Num(r) + ",\"param\":" + Num((long long)it.lParam) +
             ",\"selected\":" + Bool(it.state & LVIS_SELECTED) +
             ",\"focused\":" + Bool(it.state & LVIS_FOCUSED) + ",\"cells\":[";
        for (int c = 0; c < cols; ++c) {
            s += (c ? ",{" : "{") + TextFields(ItemText(lv, rm, r, c)) + "}";
        }
        s += "]}";
    }
    return s + "]";
}

std::string CmdLvColumns(const Opts& o) {
    HWND lv = ControlArg(o, 0);
    int cols = ColumnCount(lv);
    Remote rm(lv, sizeof(LVCOLUMNA) + kTextMax + 16);
    std::string s = "\"columns\":[";
    for (int c = 0; c < cols; ++c) {
        LVCOLUMNA col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.pszText = rm.At(sizeof(LVCOLUMNA));
        col.cchTextMax = (int)kTextMax;
        rm.Write(0, &col, sizeof col);
        char zero = 0;
        rm.Write(sizeof(LVCOLUMNA), &zero, 1);
        if (!Send(lv, LVM_GETCOLUMNA, c, (LPARAM)rm.At(0))) Fail("LVM_GETCOLUMN failed");
        rm.Read(0, &col, sizeof col);
        std::vector<char> buf(kTextMax);
        rm.Read(sizeof(LVCOLUMNA), buf.data(), kTextMax);
        std::string text(buf.data(), strnlen(buf.data(), kTextMax));
        int width = (int)Send(lv, LVM_GETCOLUMNWIDTH, c, 0);
        s += (c ? ",{" : "{") + std::string("\"index\":") + Num(c) + "," + TextFields(text) +
             ",\"width\":" + Num(width) + ",\"fmt\":" + Num(col.fmt) +
             ",\"subitem\":" + Num(col.iSubItem) + "}";
    }
    return s + "]";
}

std::string CmdLvStyle(const Opts& o) {
    HWND lv = ControlArg(o, 0);
    LRESULT ex = Send(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    HWND hdr = (HWND)Send(lv, LVM_GETHEADER, 0, 0);
    return "\"style\":" + UNum((DWORD)GetWindowLongA(lv, GWL_STYLE)) +
           ",\"exstyle\":" + UNum((DWORD)GetWindowLongA(lv, GWL_EXSTYLE)) +
           ",\"lvexstyle\":" + UNum((DWORD)ex) + ",\"header\":" + HwndNum(hdr) +
           ",\"header_visible\":" + Bool(hdr && IsWindowVisible(hdr));
}

std::string CmdLvSelected(const Opts& o) {
    HWND lv = ControlArg(o, 0);
    LRESULT sel = Send(lv, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    LRESULT foc = Send(lv, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
    LRESULT n = Send(lv, LVM_GETSELECTEDCOUNT, 0, 0);
    return "\"selected\":" + Num(sel) + ",\"focused\":" + Num(foc) +
           ",\"selected_count\":" + Num(n);
}

// Screen point at the centre of a row (or of one cell with --sub N), for xdotool clicks.
std::string CmdLvPoint(const Opts& o) {
    HWND lv = ControlArg(o, 0);
    if (!o.Has("row")) Fail("lv-point needs --row N");
    int row = (int)o.GetNum("row", 0);
    int sub = (int)o.GetNum("sub", 0);
    Remote rm(lv, sizeof(RECT) + 16);
    RECT r{};
    r.left = LVIR_BOUNDS;
    r.top = sub;
    rm.Write(0, &r, sizeof r);
    UINT msg = sub ? LVM_GETSUBITEMRECT : LVM_GETITEMRECT;
    if (!Send(lv, msg, row, (LPARAM)rm.At(0))) Fail("no rectangle for row " + Num(row));
    rm.Read(0, &r, sizeof r);
    RECT client{};
    GetClientRect(lv, &client);
    POINT c{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    if (!sub) {
        // A full row can be wider than the control: aim inside the visible part.
        int right = r.right < client.right ? r.right : client.right;
        int left = r.left > 0 ? r.left : 0;
        c.x = (left + right) / 2;
    }
    bool inside = c.x >= client.left && c.x < client.right && c.y >= client.top && c.y < client.bottom;
    POINT s = c;
    ClientToScreen(lv, &s);
    return "\"x\":" + Num(s.x) + ",\"y\":" + Num(s.y) + ",\"item\":" + RectJson(r) +
           ",\"inside\":" + Bool(inside);
}

// Screen point at the centre of any window (a button, say), for xdotool clicks.
std::string CmdCenter(const Opts& o) {
    HWND h = ControlArg(o, 0);
    RECT r{};
    GetWindowRect(h, &r);
    return "\"x\":" + Num((r.left + r.right) / 2) + ",\"y\":" + Num((r.top + r.bottom) / 2);
}

std::string PostOrSend(HWND h, UINT msg, WPARAM w, LPARAM l, bool send) {
    if (send) return "\"result\":" + Num((long long)Send(h, msg, w, l));
    if (!PostMessageA(h, msg, w, l)) Fail("PostMessage failed");
    return "\"posted\":true";
}

std::string CmdCommand(const Opts& o) {
    HWND h = ParseHwnd(Pos(o, 0, "window"));
    WPARAM id = (WPARAM)ParseNum(Pos(o, 1, "command id"));
    return PostOrSend(h, WM_COMMAND, MAKEWPARAM(id, 0), 0, o.Has("send"));
}

std::string CmdSysCommand(const Opts& o) {
    HWND h = ParseHwnd(Pos(o, 0, "window"));
    WPARAM id = (WPARAM)ParseNum(Pos(o, 1, "command id"));
    return PostOrSend(h, WM_SYSCOMMAND, id, o.GetNum("lparam", 0), o.Has("send"));
}

std::string CmdClose(const Opts& o) {
    return PostOrSend(ParseHwnd(Pos(o, 0, "window")), WM_CLOSE, 0, 0, o.Has("send"));
}

std::string CmdMessage(const Opts& o, bool send) {
    HWND h = ParseHwnd(Pos(o, 0, "window"));
    UINT msg = (UINT)ParseNum(Pos(o, 1, "message"));
    WPARAM w = (WPARAM)ParseNum(o.pos.size() > 2 ? o.pos[2] : "0");
    LPARAM l = (LPARAM)ParseNum(o.pos.size() > 3 ? o.pos[3] : "0");
    return PostOrSend(h, msg, w, l, send);
}

std::string CmdSetText(const Opts& o) {
    HWND h = ControlArg(o, 0);
    std::string text;
    if (o.Has("hex-text")) {
        std::string hx = o.Get("hex-text");
        for (size_t i = 0; i + 1 < hx.size(); i += 2)
            text += (char)strtol(hx.substr(i, 2).c_str(), nullptr, 16);
    } else if (o.Has("text")) {
        text = ToCp932(o.Get("text"));
    } else {
        Fail("set-text needs --text or --hex-text");
    }
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutA(h, WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &r))
        Fail("WM_SETTEXT failed");
    return "\"result\":" + Num((long long)r);
}

std::string CmdGetText(const Opts& o) { return TextFields(WindowTextA(ControlArg(o, 0))); }

std::string CmdWaitGone(const Opts& o) {
    HWND h = ParseHwnd(Pos(o, 0, "window"));
    DWORD timeout = (DWORD)o.GetNum("timeout", 10000);
    DWORD start = GetTickCount();
    while (IsWindow(h)) {
        if (GetTickCount() - start >= timeout) Fail("window still there");
        Sleep(30);
    }
    return "\"gone\":true";
}

std::string CmdWaitExit(const Opts& o) {
    DWORD pid = (DWORD)ParseNum(Pos(o, 0, "process id"));
    DWORD timeout = (DWORD)o.GetNum("timeout", 10000);
    HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!p) return "\"exited\":true,\"code\":null";
    DWORD w = WaitForSingleObject(p, timeout);
    DWORD code = 0;
    GetExitCodeProcess(p, &code);
    CloseHandle(p);
    if (w != WAIT_OBJECT_0) Fail("process still running");
    return "\"exited\":true,\"code\":" + UNum(code);
}

// Waits until a list view holds N rows (--count N) or at least --min N.
std::string CmdWaitRows(const Opts& o) {
    DWORD timeout = (DWORD)o.GetNum("timeout", 10000);
    DWORD start = GetTickCount();
    long long want = o.GetNum("count", -1), atLeast = o.GetNum("min", -1);
    for (;;) {
        HWND lv = nullptr;
        try {
            lv = ControlArg(o, 0);
        } catch (const Failure&) {
        }
        if (lv) {
            DWORD_PTR n = 0;
            if (SendMessageTimeoutA(lv, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                    &n)) {
                if ((want >= 0 && (long long)n == want) || (atLeast >= 0 && (long long)n >= atLeast) ||
                    (want < 0 && atLeast < 0))
                    return "\"count\":" + Num((long long)n);
            }
        }
        if (GetTickCount() - start >= timeout) Fail("list view did not reach the row count");
        Sleep(20);
    }
}

std::string CmdForeground(const Opts& o) {
    HWND h = ParseHwnd(Pos(o, 0, "window"));
    BOOL ok = SetForegroundWindow(h);
    SetActiveWindow(h);
    return "\"result\":" + Bool(ok) + ",\"foreground\":" + HwndNum(GetForegroundWindow());
}

std::string CmdScreen(const Opts&) {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return "\"width\":" + Num(GetSystemMetrics(SM_CXSCREEN)) + ",\"height\":" +
           Num(GetSystemMetrics(SM_CYSCREEN)) + ",\"work\":" + RectJson(work) +
           ",\"acp\":" + UNum(GetACP());
}

// --- menus, read inside the target process by swprobe.dll ------------------------------

std::string ProbePath() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string p(self, n);
    size_t slash = p.find_last_of("\\/");
    return p.substr(0, slash + 1) + "swprobe.dll";
}

// The file the probe writes its answer of this kind for window h into (in the temp folder).
std::string ProbeAnswerPath(HWND h, int kind) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "swprobe-" + HwndNum(h) + "-" + Num(kind) + ".json";
}

// Has swprobe.dll's hook read the menu inside the process that owns h; returns its JSON.
std::string RunProbe(HWND h, int kind, LPARAM param = 0) {
    DWORD tid = GetWindowThreadProcessId(h, nullptr);
    std::string dll = ProbePath();
    HMODULE mod = LoadLibraryA(dll.c_str());
    if (!mod) Fail("cannot load " + dll);
    HOOKPROC proc = (HOOKPROC)(void*)GetProcAddress(mod, "ProbeHook");
    if (!proc) proc = (HOOKPROC)(void*)GetProcAddress(mod, "ProbeHook@12");
    if (!proc) Fail("swprobe.dll has no ProbeHook");

    std::string out = ProbeAnswerPath(h, kind);
    DeleteFileA(out.c_str());

    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, proc, mod, tid);
    if (!hook) Fail("SetWindowsHookEx failed");
    UINT msg = RegisterWindowMessageA("SwdriverProbeMenu");
    DWORD_PTR r = 0;
    BOOL sent = SendMessageTimeoutA(h, msg, kind, param, SMTO_ABORTIFHUNG, kSendTimeoutMs, &r);
    UnhookWindowsHookEx(hook);

    std::string json;
    HANDLE f = CreateFileA(out.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        char buf[65536];
        DWORD got = 0;
        while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) json.append(buf, got);
        CloseHandle(f);
    }
    DeleteFileA(out.c_str());
    if (!sent) Fail("the window did not take the probe message");
    if (json.empty()) Fail("the probe wrote nothing");
    return json;
}

// Adds or deletes a notification icon in another window's name (its handle and icon id), so a
// test can hold the id the program itself asks for: the shell then refuses the program's add.
std::string CmdTrayIcon(const Opts& o) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = ParseHwnd(Pos(o, 0, "window"));
    nid.uID = (UINT)ParseNum(Pos(o, 1, "icon id"));
    nid.uFlags = NIF_ICON;
    nid.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    std::string op = Pos(o, 2, "add or delete");
    DWORD message = op == "add" ? NIM_ADD : NIM_DELETE;
    return "\"result\":" + Bool(Shell_NotifyIconA(message, &nid) != FALSE);
}

std::string CmdMenu(const Opts& o, bool system) {
    HWND h = ParseHwnd(Pos(o, 0, "window"));
    if (!IsWindow(h)) Fail("not a window");
    return RunProbe(h, system ? 1 : 0);
}

// The context menu a window's thread shows now (a visible popup-menu window of that thread),
// waited for up to --timeout ms (default 30000).
std::string CmdPopupMenu(const Opts& o) {
    HWND owner = ParseHwnd(Pos(o, 0, "window"));
    DWORD tid = GetWindowThreadProcessId(owner, nullptr);
    DWORD deadline = GetTickCount() + (DWORD)o.GetNum("timeout", 30000);
    for (;;) {
        for (HWND h = FindWindowExA(nullptr, nullptr, "#32768", nullptr); h;
             h = FindWindowExA(nullptr, h, "#32768", nullptr)) {
            if (IsWindowVisible(h) && GetWindowThreadProcessId(h, nullptr) == tid)
                return "\"window\":" + HwndNum(h) + "," + RunProbe(h, 2);
        }
        if ((LONG)(GetTickCount() - deadline) >= 0) Fail("no context menu shown");
        Sleep(100);
    }
}

std::string WideToUtf8(const wchar_t* w);

// The text and title of a tooltip window's first tool (a notification balloon, say), read in the
// tooltip's own process.
std::string CmdTooltip(const Opts& o) {
    HWND tt = ParseHwnd(Pos(o, 0, "window"));
    const SIZE_T kChars = 512;
    const SIZE_T titleRecord = sizeof(TTTOOLINFOW);
    const SIZE_T textAt = titleRecord + sizeof(TTGETTITLE);
    const SIZE_T titleAt = textAt + kChars * sizeof(wchar_t);
    Remote rm(tt, titleAt + kChars * sizeof(wchar_t));
    std::vector<wchar_t> text(kChars, L'\0'), title(kChars, L'\0');
    rm.Write(textAt, text.data(), kChars * sizeof(wchar_t));
    rm.Write(titleAt, title.data(), kChars * sizeof(wchar_t));
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.lpszText = (LPWSTR)rm.At(textAt);
    rm.Write(0, &ti, sizeof ti);
    bool has = Send(tt, TTM_ENUMTOOLSW, 0, (LPARAM)rm.At(0)) != 0;
    TTGETTITLE gt{};
    gt.dwSize = sizeof gt;
    gt.cch = (UINT)kChars - 1;
    gt.pszTitle = (LPWSTR)rm.At(titleAt);
    rm.Write(titleRecord, &gt, sizeof gt);
    Send(tt, TTM_GETTITLE, 0, (LPARAM)rm.At(titleRecord));
    rm.Read(textAt, text.data(), (kChars - 1) * sizeof(wchar_t));
    rm.Read(titleAt, title.data(), (kChars - 1) * sizeof(wchar_t));
    return "\"tool\":" + Bool(has) + ",\"text\":" + JsonString(WideToUtf8(text.data())) +
           ",\"title\":" + JsonString(WideToUtf8(title.data()));
}

// What the window answers a list's custom-draw notification for one row at the item stage
// (CDRF_NEWFONT, 2, when the row is drawn in a font of the window's own), asked by the probe on
// the window's own thread.
std::string CmdCustomDraw(const Opts& o) {
    HWND lv = ControlArg(o, 0);
    if (!o.Has("row")) Fail("custom-draw needs --row N");
    LPARAM which = ((LPARAM)(GetDlgCtrlID(lv) & 0xFFFF) << 16) | (LPARAM)(o.GetNum("row", 0) & 0xFFFF);
    return RunProbe(GetParent(lv), 3, which);
}

// Facts of the process that owns a dialog, read inside it: its ANSI code page, the dialog's DPI
// and DPI awareness, and the module file of one control's window class (--control ID).
std::string CmdProcessFacts(const Opts& o) {
    HWND h = ParseHwnd(Pos(o, 0, "window"));
    if (!IsWindow(h)) Fail("not a window");
    return RunProbe(h, 4, (LPARAM)o.GetNum("control", 0));
}

// A move of a dialog to a monitor of another DPI (--dpi N; --from M, the DPI it leaves, by
// default the window's DPI now), played inside its process the way Windows plays it:
// WM_DPICHANGED, then the dialog's font at the new size given to it and its controls.
std::string CmdDpiChange(const Opts& o) {
    HWND h = ParseHwnd(Pos(o, 0, "window"));
    if (!IsWindow(h)) Fail("not a window");
    if (!o.Has("dpi")) Fail("dpi-change needs --dpi N");
    WORD to = (WORD)o.GetNum("dpi", 96);
    WORD from = (WORD)o.GetNum("from", 0);
    return RunProbe(h, 5, (LPARAM)MAKELPARAM(to, from));
}

// Files dropped on a window (--x/--y: the point in its client area, 10,10 by default): the
// DROPFILES block must live in the window's process, since a drop carries no more than a
// memory handle (posted from another process, the window reads whatever its own handle of that
// number holds), so the probe makes and posts it there. The paths (UTF-8 arguments) go to it as
// ANSI lines in a file beside its answer's.
std::string CmdDropFiles(const Opts& o) {
    HWND h = ParseHwnd(Pos(o, 0, "window"));
    if (!IsWindow(h)) Fail("not a window");
    if (o.pos.size() < 2) Fail("drop-files needs at least one path");
    std::string in = ProbeAnswerPath(h, 6) + ".in";
    std::string lines;
    for (size_t i = 1; i < o.pos.size(); ++i) lines += ToCp932(o.pos[i]) + "\n";
    HANDLE f = CreateFileA(in.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) Fail("cannot write " + in);
    DWORD done = 0;
    WriteFile(f, lines.data(), (DWORD)lines.size(), &done, nullptr);
    CloseHandle(f);
    LPARAM point = MAKELPARAM((WORD)o.GetNum("x", 10), (WORD)o.GetNum("y", 10));
    std::string answer;
    try {
        answer = RunProbe(h, 6, point);
    } catch (const Failure&) {
        DeleteFileA(in.c_str());
        throw;
    }
    DeleteFileA(in.c_str());
    return answer;
}

std::string Dispatch(const Args& a) {
    if (a.empty()) Fail("no command");
    const std::string& c = a[0];
    Opts o = ParseOpts(a, 1);
    if (c == "find-window") return CmdFindWindow(o);
    if (c == "windows") return CmdWindows(o);
    if (c == "info") return CmdInfo(o);
    if (c == "children") return CmdChildren(o);
    if (c == "lv-count") return CmdLvCount(o);
    if (c == "lv-rows") return CmdLvRows(o);
    if (c == "lv-columns") return CmdLvColumns(o);
    if (c == "lv-style") return CmdLvStyle(o);
    if (c == "lv-selected") return CmdLvSelected(o);
    if (c == "lv-point") return CmdLvPoint(o);
    if (c == "center") return CmdCenter(o);
    if (c == "command") return CmdCommand(o);
    if (c == "syscommand") return CmdSysCommand(o);
    if (c == "close") return CmdClose(o);
    if (c == "post") return CmdMessage(o, false);
    if (c == "send") return CmdMessage(o, true);
    if (c == "set-text") return CmdSetText(o);
    if (c == "get-text") return CmdGetText(o);
    if (c == "wait-gone") return CmdWaitGone(o);
    if (c == "wait-exit") return CmdWaitExit(o);
    if (c == "wait-rows") return CmdWaitRows(o);
    if (c == "foreground") return CmdForeground(o);
    if (c == "screen") return CmdScreen(o);
    if (c == "tray-icon") return CmdTrayIcon(o);
    if (c == "menu") return CmdMenu(o, false);
    if (c == "sysmenu") return CmdMenu(o, true);
    if (c == "popup-menu") return CmdPopupMenu(o);
    if (c == "custom-draw") return CmdCustomDraw(o);
    if (c == "tooltip") return CmdTooltip(o);
    if (c == "process-facts") return CmdProcessFacts(o);
    if (c == "dpi-change") return CmdDpiChange(o);
    if (c == "drop-files") return CmdDropFiles(o);
    Fail("unknown command: " + c);
}

void WriteOut(const std::string& s) {
    fwrite(s.data(), 1, s.size(), stdout);
    fflush(stdout);
}

// Runs one command; prints its answer line; returns true on success.
bool RunOne(const Args& a) {
    try {
        std::string fields = Dispatch(a);
        WriteOut("{\"ok\":true" + (fields.empty() ? std::string() : "," + fields) + "}\n");
        return true;
    } catch (const Failure& f) {
        WriteOut("{\"ok\":false,\"error\":" + JsonString(f.message) + "}\n");
        return false;
    }
}

std::string WideToUtf8(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
    return s;
}

}  // namespace

int main() {
    // Arguments as UTF-8, whatever the ANSI code page.
    int argc = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Args args;
    for (int i = 1; i < argc; ++i) args.push_back(WideToUtf8(wargv[i]));
    LocalFree(wargv);

    if (!args.empty() && args[0] == "serve") {
        // One command per line, arguments separated by TAB; an empty line or EOF ends.
        std::string line;
        char buf[8192];
        for (;;) {
            if (!fgets(buf, sizeof buf, stdin)) break;
            line += buf;
            if (line.empty() || line.back() != '\n') continue;
            line.pop_back();
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) break;
            Args a;
            size_t start = 0;
            for (;;) {
                size_t tab = line.find('\t', start);
                a.push_back(line.substr(start, tab == std::string::npos ? std::string::npos
                                                                         : tab - start));
                if (tab == std::string::npos) break;
                start = tab + 1;
            }
            RunOne(a);
            line.clear();
        }
        return 0;
    }
    return RunOne(args) ? 0 : 1;
}
