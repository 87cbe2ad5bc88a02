// swprobe.dll: loaded into the program under test by swdriver (CreateRemoteThread with
// LoadLibraryA), then ProbeMenu runs there as a thread: menus can only be read by the process
// that owns them. It writes the menu bar or the system menu of a window, recursively, as JSON
// fields into a file named by the driver, then unloads itself.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HMODULE g_self;

std::string Utf8(const std::string& cp932) {
    if (cp932.empty()) return std::string();
    int wn = MultiByteToWideChar(932, 0, cp932.data(), (int)cp932.size(), nullptr, 0);
    std::wstring w(wn, L'\0');
    MultiByteToWideChar(932, 0, cp932.data(), (int)cp932.size(), &w[0], wn);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
    std::string o(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, &o[0], n, nullptr, nullptr);
    return o;
}

std::string Json(const std::string& s) {
    std::string o = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            o += '\\';
            o += (char)c;
        } else if (c < 0x20) {
            char b[8];
            snprintf(b, sizeof b, "\\u%04x", c);
            o += b;
        } else {
            o += (char)c;
        }
    }
    return o + "\"";
}

std::string Hex(const std::string& s) {
    static const char* d = "0123456789abcdef";
    std::string o;
    for (unsigned char c : s) {
        o += d[c >> 4];
        o += d[c & 15];
    }
    return o;
}

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
             ",\"text\":" + Json(Utf8(t)) + ",\"hex\":" + Json(Hex(t));
        if (mi.hSubMenu && depth < 8) s += ",\"items\":" + Items(mi.hSubMenu, depth + 1);
        s += "}";
    }
    return s + "]";
}

struct ProbeArgs {
    DWORD hwnd;
    DWORD system;
    char out[MAX_PATH];
    char dll[MAX_PATH];
};

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ProbeMenu(LPVOID p) {
    ProbeArgs* a = (ProbeArgs*)p;
    HWND h = (HWND)(uintptr_t)a->hwnd;
    HMENU m = a->system ? GetSystemMenu(h, FALSE) : GetMenu(h);
    std::string s = "\"menu\":" + std::to_string((unsigned long long)(uintptr_t)m) +
                    ",\"items\":" + (m ? Items(m, 0) : std::string("[]"));
    DWORD rc = 2;
    HANDLE f = CreateFileA(a->out, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        rc = WriteFile(f, s.data(), (DWORD)s.size(), &done, nullptr) && done == s.size() ? 0 : 3;
        CloseHandle(f);
    }
    FreeLibraryAndExitThread(g_self, rc);
    return rc;
}

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = inst;
        DisableThreadLibraryCalls(inst);
    }
    return TRUE;
}
