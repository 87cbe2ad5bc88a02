// closing_on_desktop: runs a program on a named desktop of the window station, with this
// console's standard handles, and ends with its exit status.
//
//   closing_on_desktop.exe DESKTOP PROGRAM [ARG...]
//
// A process started from Linux lands on the default desktop; the notification-area tests need
// the program and the window driver together on a virtual desktop with a taskbar ("shell"), and
// need the program's own exit status back, which "explorer /desktop=... prog.exe" does not give.
// Exit status 250 means the program could not be started.
#include <windows.h>

#include <string>

namespace {

// The command line after the first two words (program name and desktop), as typed.
const wchar_t* SkipWords(const wchar_t* p, int words)
{
    for (int i = 0; i < words; ++i) {
        while (*p == L' ' || *p == L'\t')
            ++p;
        bool quoted = false;
        while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
            if (*p == L'"')
                quoted = !quoted;
            ++p;
        }
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

std::wstring FirstWord(const wchar_t* p)
{
    std::wstring w;
    bool quoted = false;
    for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
        if (*p == L'"')
            quoted = !quoted;
        else
            w += *p;
    }
    return w;
}

}  // namespace

int main()
{
    const wchar_t* line = GetCommandLineW();
    std::wstring desktop = FirstWord(SkipWords(line, 1));
    std::wstring command = SkipWords(line, 2);
    if (desktop.empty() || command.empty())
        return 250;

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.lpDesktop = &desktop[0];
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return 250;
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD status = 250;
    GetExitCodeProcess(pi.hProcess, &status);
    CloseHandle(pi.hProcess);
    return static_cast<int>(status);
}
