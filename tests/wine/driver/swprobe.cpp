// swprobe.dll: menus can only be read by the process that owns them, so swdriver has this
// library loaded into the program under test as a window hook (no thread of ours runs there).
// The hook writes the menu bar or the system menu of a window, recursively, as JSON fields into
// a file the driver reads back.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "json_text.h"

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

// The dialog's answer to a list's custom-draw notification for one row at the item stage, sent
// from the dialog's own thread (WM_NOTIFY never crosses processes). lParam: the list's id in the
// high word, the row in the low word. The device context is none, so nothing is drawn. The text
// colour the dialog chose comes back too (CLR_DEFAULT when it chose none).
std::string CustomDraw(HWND dialog, LPARAM which) {
    int id = (int)((which >> 16) & 0xFFFF);
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.hdr.hwndFrom = GetDlgItem(dialog, id);
    cd.nmcd.hdr.idFrom = (UINT_PTR)id;
    cd.nmcd.hdr.code = NM_CUSTOMDRAW;
    cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    cd.nmcd.dwItemSpec = (DWORD_PTR)(which & 0xFFFF);
    cd.clrText = CLR_DEFAULT;
    LRESULT r = SendMessageA(dialog, WM_NOTIFY, (WPARAM)id, (LPARAM)&cd);
    return "\"result\":" + std::to_string((long long)r) + ",\"text_colour\":" +
           std::to_string((unsigned long long)cd.clrText);
}

// The file the menu of hwnd goes to: in the temporary folder, which the driver and the
// program share (same Wine prefix, same user).
std::string OutPath(HWND h, WPARAM system) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "swprobe-" + std::to_string((unsigned long long)(uintptr_t)h) + "-" +
           std::to_string((unsigned long long)system) + ".json";
}

}  // namespace

// A WH_CALLWNDPROC hook: the driver hooks the program's window thread and sends it the
// registered message "SwdriverProbeMenu" (wParam 1: the system menu, 2: the popup menu whose
// window it is, 3: a custom-draw answer of the dialog). The hook runs on that
// thread, before the window procedure; the message itself means nothing to the window.
extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM w, LPARAM l) {
    static UINT probeMsg = RegisterWindowMessageA("SwdriverProbeMenu");
    if (code == HC_ACTION && l) {
        const CWPSTRUCT* c = (const CWPSTRUCT*)l;
        if (c->message == probeMsg) {
            std::string s = c->wParam == 3 ? CustomDraw(c->hwnd, c->lParam) : Menu(c->hwnd, c->wParam);
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
