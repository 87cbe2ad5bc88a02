// swprobe.dll: menus can only be read by the process that owns them, so swdriver has this
// library loaded into the program under test as a window hook (no thread of ours runs there).
// The hook writes the menu bar or the system menu of a window, recursively, as JSON fields into
// a file the driver reads back; the other things that only work inside the program (custom
// draw, a change of DPI, dropped files) run the same way.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "json_text.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace {


std::string Items(HMENU m, int depth) {
    std::string s = "[";
    int n = GetMenuItemCount(m);
    for (int i = 0; i < n; ++i) {
        char text[1024] = {0};
        MENUITEMINFOA mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = sizeof text - 1;
        if (!GetMenuItemInfoA(m, i, TRUE, &mi)) continue;
        std::string t(text, mi.cch < sizeof text ? mi.cch : sizeof text - 1);
        t = std::string(t.c_str());
        if (i) s += ",";
        s += "{\"pos\":" + std::to_string(i) + ",\"id\":" + std::to_string((long long)mi.wID) +
             ",\"separator\":" + ((mi.fType & MFT_SEPARATOR) ? "true" : "false") +
             ",\"type\":" + std::to_string(mi.fType) + ",\"state\":" + std::to_string(mi.fState) +
             ",\"text\":" + JsonString(ToUtf8(t)) + ",\"hex\":" + JsonString(Hex(t));
        if (mi.hSubMenu && depth < 8) s += ",\"items\":" + Items(mi.hSubMenu, depth + 1);
        s += "}";
    }
    return s + "]";
}

std::string Menu(HWND h, WPARAM kind) {
    HMENU m = kind == 2 ? (HMENU)SendMessageA(h, MN_GETHMENU, 0, 0)
              : kind    ? GetSystemMenu(h, FALSE)
                        : GetMenu(h);
    return "\"menu\":" + std::to_string((unsigned long long)(uintptr_t)m) +
           ",\"items\":" + (m ? Items(m, 0) : std::string("[]"));
}

// "height" and "weight" fields of a font, with a key prefix.
std::string FontFields(HGDIOBJ font, const std::string& prefix) {
    LOGFONTA lf{};
    if (!font || !GetObjectA(font, sizeof lf, &lf)) return "\"" + prefix + "height\":null";
    return "\"" + prefix + "height\":" + std::to_string((long)lf.lfHeight) + ",\"" + prefix +
           "weight\":" + std::to_string((long)lf.lfWeight);
}

// The dialog's answer to a list's custom-draw notification for one row at the item stage, sent
// from the dialog's own thread (WM_NOTIFY never crosses processes). lParam: the list's id in the
// high word, the row in the low word. The device context is a memory one holding the stock GUI
// font: the font the dialog selects into it for the row is reported ("font_height",
// "font_weight"), beside the list's own font ("list_font_height", ...), and the text colour the
// dialog chose ("text_colour", CLR_DEFAULT when it chose none).
std::string CustomDraw(HWND dialog, LPARAM which) {
    int id = (int)((which >> 16) & 0xFFFF);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
    SelectObject(dc, stock);
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.hdr.hwndFrom = GetDlgItem(dialog, id);
    cd.nmcd.hdr.idFrom = (UINT_PTR)id;
    cd.nmcd.hdr.code = NM_CUSTOMDRAW;
    cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    cd.nmcd.dwItemSpec = (DWORD_PTR)(which & 0xFFFF);
    cd.nmcd.hdc = dc;
    cd.clrText = CLR_DEFAULT;
    LRESULT r = SendMessageA(dialog, WM_NOTIFY, (WPARAM)id, (LPARAM)&cd);
    HGDIOBJ chosen = SelectObject(dc, stock);
    DeleteDC(dc);
    HGDIOBJ listFont = (HGDIOBJ)SendMessageA(cd.nmcd.hdr.hwndFrom, WM_GETFONT, 0, 0);
    return "\"result\":" + std::to_string((long long)r) + "," +
           FontFields(chosen == stock ? nullptr : chosen, "font_") + "," +
           FontFields(listFont, "list_font_") + ",\"text_colour\":" +
           std::to_string((unsigned long long)cd.clrText);
}

// user32 functions of newer Windows, looked up by name.
template <class F> F User32(const char* name) {
    return (F)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), name);
}

UINT WindowDpi(HWND h) {
    auto getDpi = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    return getDpi ? getDpi(h) : 0;
}

// Facts of the process and of one control of the dialog (lParam: its id): the ANSI code page,
// the window's DPI and DPI awareness, and the file of the module whose window procedure runs the
// control (comctl32 of common controls 6 lives in the side-by-side store, WinSxS).
std::string ProcessFacts(HWND dialog, LPARAM id) {
    HWND control = GetDlgItem(dialog, (int)id);
    char module[MAX_PATH] = {0};
    if (control) {
        // The W form gives a Unicode window's own procedure, not a conversion thunk.
        LONG_PTR proc = IsWindowUnicode(control) ? GetWindowLongPtrW(control, GWLP_WNDPROC)
                                                 : GetWindowLongPtrA(control, GWLP_WNDPROC);
        HMODULE owner = nullptr;
        if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               (LPCSTR)proc, &owner))
            GetModuleFileNameA(owner, module, MAX_PATH - 1);
    }
    auto getContext = User32<HANDLE(WINAPI*)(HWND)>("GetWindowDpiAwarenessContext");
    auto getAwareness = User32<int(WINAPI*)(HANDLE)>("GetAwarenessFromDpiAwarenessContext");
    int awareness = getContext && getAwareness ? getAwareness(getContext(dialog)) : -1;
    return "\"acp\":" + std::to_string(GetACP()) + ",\"dpi\":" + std::to_string(WindowDpi(dialog)) +
           ",\"awareness\":" + std::to_string(awareness) + ",\"control_module\":" +
           JsonString(ToUtf8(module));
}

struct FontChange {
    HWND dialog;
    HFONT font;
};

// The dialog's own controls get the font; the windows inside them (a list's header) do not.
BOOL CALLBACK GiveFont(HWND child, LPARAM param) {
    const FontChange* change = (const FontChange*)param;
    if (GetParent(child) == change->dialog)
        SendMessageA(child, WM_SETFONT, (WPARAM)change->font, TRUE);
    return TRUE;
}

// What Windows does when a per-monitor-aware dialog moves from a monitor of one DPI (high word of
// lParam; 0: the window's DPI now) to one of another (low word): WM_DPICHANGED with the new DPI
// and a suggested rectangle (the window's own, its size scaled), then, as the dialog manager does
// when the dialog leaves it the message, the dialog's font at the new size given to the dialog
// and to each of its controls. Reports the suggested rectangle and the new font.
std::string ChangeDpi(HWND dialog, LPARAM dpis) {
    UINT newDpi = (UINT)LOWORD(dpis);
    UINT oldDpi = (UINT)HIWORD(dpis);
    if (!oldDpi) oldDpi = WindowDpi(dialog);
    if (!oldDpi) oldDpi = 96;
    RECT r{};
    GetWindowRect(dialog, &r);
    RECT suggested = {r.left, r.top, r.left + MulDiv(r.right - r.left, (int)newDpi, (int)oldDpi),
                      r.top + MulDiv(r.bottom - r.top, (int)newDpi, (int)oldDpi)};
    SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi), (LPARAM)&suggested);
    LOGFONTA lf{};
    HGDIOBJ dialogFont = (HGDIOBJ)SendMessageA(dialog, WM_GETFONT, 0, 0);
    GetObjectA(dialogFont ? dialogFont : GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = MulDiv(lf.lfHeight, (int)newDpi, (int)oldDpi);
    FontChange change = {dialog, CreateFontIndirectA(&lf)};
    SendMessageA(dialog, WM_SETFONT, (WPARAM)change.font, FALSE);
    EnumChildWindows(dialog, GiveFont, (LPARAM)&change);
    auto num = [](long v) { return std::to_string(v); };
    return "\"suggested\":{\"left\":" + num(suggested.left) + ",\"top\":" + num(suggested.top) +
           ",\"right\":" + num(suggested.right) + ",\"bottom\":" + num(suggested.bottom) + "}," +
           FontFields(change.font, "font_");
}

// The file the menu of hwnd goes to: in the temporary folder, which the driver and the
// program share (same Wine prefix, same user).
std::string OutPath(HWND h, WPARAM system) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "swprobe-" + std::to_string((unsigned long long)(uintptr_t)h) + "-" +
           std::to_string((unsigned long long)system) + ".json";
}

// Files dropped on the window as the shell drops them from Explorer: a DROPFILES block in memory
// of the window's own process (a handle of another process means nothing here), ANSI paths one
// after another, each ended by a zero byte and the list by one more, posted as WM_DROPFILES with
// the point (lParam: x in the low word, y in the high word, client coordinates). The paths come
// in a file the driver wrote beside the answer's, one a line.
std::string DropFiles(HWND window, LPARAM point) {
    std::string in = OutPath(window, 6) + ".in";
    std::string list;
    HANDLE f = CreateFileA(in.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) list.append(buf, got);
        CloseHandle(f);
    }
    std::string files;
    int count = 0;
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) {
            files.append(list, start, end - start);
            files += '\0';
            ++count;
        }
        start = end + 1;
    }
    files += '\0';
    HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + files.size());
    DROPFILES* header = drop ? (DROPFILES*)GlobalLock(drop) : nullptr;
    if (!header) return "\"posted\":false,\"files\":0";
    header->pFiles = sizeof(DROPFILES);
    header->pt.x = (short)LOWORD(point);
    header->pt.y = (short)HIWORD(point);
    header->fNC = FALSE;
    header->fWide = FALSE;
    memcpy((char*)header + sizeof(DROPFILES), files.data(), files.size());
    GlobalUnlock(drop);
    // Posted, not sent: the window handles it once the hook has answered the driver (an import
    // shows a message box, whose loop would hold the driver's wait).
    bool posted = PostMessageA(window, WM_DROPFILES, (WPARAM)drop, 0) != FALSE;
    if (!posted) GlobalFree(drop);
    return std::string("\"posted\":") + (posted ? "true" : "false") + ",\"files\":" + std::to_string(count);
}

}  // namespace

// A WH_CALLWNDPROC hook: the driver hooks the program's window thread and sends it the
// registered message "SwdriverProbeMenu" (wParam 1: the system menu, 2: the popup menu whose
// window it is, 3: a custom-draw answer of the dialog, 4: facts of the process, 5: a change of
// DPI played to the dialog, 6: files dropped on the window). The hook runs on that
// thread, before the window procedure; the message itself means nothing to the window.
extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM w, LPARAM l) {
    static UINT probeMsg = RegisterWindowMessageA("SwdriverProbeMenu");
    if (code == HC_ACTION && l) {
        const CWPSTRUCT* c = (const CWPSTRUCT*)l;
        if (c->message == probeMsg) {
            std::string s = c->wParam == 3   ? CustomDraw(c->hwnd, c->lParam)
                            : c->wParam == 4 ? ProcessFacts(c->hwnd, c->lParam)
                            : c->wParam == 5 ? ChangeDpi(c->hwnd, c->lParam)
                            : c->wParam == 6 ? DropFiles(c->hwnd, c->lParam)
                                             : Menu(c->hwnd, c->wParam);
            std::string tmp = OutPath(c->hwnd, c->wParam) + ".part";
            HANDLE f = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (f != INVALID_HANDLE_VALUE) {
                DWORD done = 0;
                WriteFile(f, s.data(), (DWORD)s.size(), &done, nullptr);
                CloseHandle(f);
                MoveFileExA(tmp.c_str(), OutPath(c->hwnd, c->wParam).c_str(),
                            MOVEFILE_REPLACE_EXISTING);
            }
        }
    }
    return CallNextHookEx(nullptr, code, w, l);
}

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(inst);
    return TRUE;
}
