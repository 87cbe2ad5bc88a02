#include "ui/screen_dpi.h"

namespace {

typedef UINT(WINAPI* GetDpiForWindowProc)(HWND);

UINT GetScreenDpi()
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return kBaseDpi;
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

}  // namespace

UINT GetWindowDpi(HWND window)
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto getDpiForWindow = user32 ? reinterpret_cast<GetDpiForWindowProc>(
                                        reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                                  : nullptr;
    if (getDpiForWindow) {
        UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return dpi;
    }
    return GetScreenDpi();
}
