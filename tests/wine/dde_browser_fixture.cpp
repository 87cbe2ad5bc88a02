// A stand-in browser for the viewer tests. One long-lived process serves the DDE services
// "IEXPLORE" and "NETSCAPE" on the topics "WWW_OpenURL" and "WWW_Activate" and logs every
// connection and request; how each service behaves is read from a mode file at every connection
// and request, so one process serves every case of a test run.
//
//   dde_browser_fixture.exe serve <folder>
//     <folder>\mode.txt     lines "<SERVICE> <mode>", mode one of
//                             refuse  no conversation is made (the default)
//                             answer  the request is answered at once with four bytes
//                             late    the request is answered after 15 s
//                             fail    the request is answered with no data
//     <folder>\dde.log      one line per event, appended:
//                             ready
//                             connect <SERVICE> <TOPIC> accepted|refused
//                             request <SERVICE> <TOPIC> <item bytes in hex> <mode>
//                             replied <SERVICE> <TOPIC>          (a late answer, once sent)
//                             disconnect <SERVICE> <TOPIC>
//                             done <command line of the command file>
//     <folder>\command.txt  polled every half second, run, then deleted:
//                             register-htm <log file>   make this program, run as
//                                                       "record-open <log file> <file>", the
//                                                       handler of .htm files for this user
//                                                       and the machine (logged with ok|failed)
//                             unregister-htm            put back what register-htm changed
//                             register-http <log file>  the same program, run the same way, the
//                                                       handler of http addresses (the shell's
//                                                       "open" of an http:// URL)
//                             unregister-http           put back what register-http changed
//                             mark <text>               only logged (as "done mark <text>")
//                             quit                      unregister-htm and unregister-http,
//                                                       then end the process
//
//   dde_browser_fixture.exe record-open <log file> <file>
//     appends its whole command line and a line end to the log file, then ends.
#include <windows.h>
#include <ddeml.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char kProgId[] = "SitewakeTestFixture.htm";
const DWORD kLateDelayMs = 15000;

char g_folder[MAX_PATH];
DWORD g_instance;

// A conversation made by a client, remembered for the requests and the disconnect that follow.
struct Conversation {
    HCONV conv;
    char service[16];
    char topic[16];
};
Conversation g_conversations[32];

void MakeFolderPath(char* dst, size_t size, const char* name)
{
    snprintf(dst, size, "%s\\%s", g_folder, name);
}

void AppendToFile(const char* path, const char* text)
{
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

void LogLine(const char* format, ...)
{
    char line[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line - 2, format, args);
    va_end(args);
    strcat(line, "\n");
    char path[MAX_PATH];
    MakeFolderPath(path, sizeof path, "dde.log");
    AppendToFile(path, line);
}

// Reads a small text file whole; false when it is absent.
bool ReadSmallFile(const char* path, char* buffer, size_t size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD read = 0;
    ReadFile(file, buffer, static_cast<DWORD>(size - 1), &read, nullptr);
    CloseHandle(file);
    buffer[read] = '\0';
    return true;
}

// The service's mode as the mode file says now: "refuse" when the file or the line is absent.
void ReadMode(const char* service, char* mode, size_t size)
{
    snprintf(mode, size, "refuse");
    char path[MAX_PATH];
    MakeFolderPath(path, sizeof path, "mode.txt");
    char text[1024];
    if (!ReadSmallFile(path, text, sizeof text))
        return;
    size_t serviceLength = strlen(service);
    for (char* line = strtok(text, "\r\n"); line; line = strtok(nullptr, "\r\n")) {
        if (strncmp(line, service, serviceLength) == 0 && line[serviceLength] == ' ') {
            snprintf(mode, size, "%s", line + serviceLength + 1);
            return;
        }
    }
}

void QueryString(HSZ hsz, char* dst, int size)
{
    dst[0] = '\0';
    if (hsz)
        DdeQueryStringA(g_instance, hsz, dst, size, CP_WINANSI);
}

void ToHex(const char* text, char* dst, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    size_t used = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p && used + 3 < size; ++p) {
        dst[used++] = digits[*p >> 4];
        dst[used++] = digits[*p & 15];
    }
    dst[used] = '\0';
}

bool IsOurTopic(const char* topic)
{
    return strcmp(topic, "WWW_OpenURL") == 0 || strcmp(topic, "WWW_Activate") == 0;
}

Conversation* FindConversation(HCONV conv)
{
    for (Conversation& c : g_conversations) {
        if (c.conv == conv)
            return &c;
    }
    return nullptr;
}

HDDEDATA OnConnect(HSZ topicName, HSZ serviceName)
{
    char topic[256];
    char service[256];
    QueryString(topicName, topic, sizeof topic);
    QueryString(serviceName, service, sizeof service);
    char mode[64];
    ReadMode(service, mode, sizeof mode);
    bool accept = IsOurTopic(topic) && strcmp(mode, "refuse") != 0;
    LogLine("connect %s %s %s", service, topic, accept ? "accepted" : "refused");
    return reinterpret_cast<HDDEDATA>(accept ? TRUE : FALSE);
}

void OnConnectConfirm(HCONV conv, HSZ topicName, HSZ serviceName)
{
    Conversation* slot = FindConversation(nullptr);
    if (!slot)
        return;
    slot->conv = conv;
    QueryString(serviceName, slot->service, sizeof slot->service);
    QueryString(topicName, slot->topic, sizeof slot->topic);
}

void OnDisconnect(HCONV conv)
{
    Conversation* c = FindConversation(conv);
    if (!c)
        return;
    LogLine("disconnect %s %s", c->service, c->topic);
    c->conv = nullptr;
}

HDDEDATA MakeReply(HSZ itemName)
{
    const DWORD windowId = 0x00012345;
    return DdeCreateDataHandle(g_instance, reinterpret_cast<LPBYTE>(const_cast<DWORD*>(&windowId)),
                               sizeof windowId, 0, itemName, CF_TEXT, 0);
}

HDDEDATA OnRequest(HCONV conv, HSZ itemName)
{
    Conversation* c = FindConversation(conv);
    const char* service = c ? c->service : "?";
    const char* topic = c ? c->topic : "?";
    char item[1024];
    QueryString(itemName, item, sizeof item);
    char hex[2100];
    ToHex(item, hex, sizeof hex);
    char mode[64];
    ReadMode(service, mode, sizeof mode);
    LogLine("request %s %s %s %s", service, topic, hex, mode);
    if (strcmp(mode, "answer") == 0)
        return MakeReply(itemName);
    if (strcmp(mode, "late") == 0) {
        // The client gives up after 10 s; this thread serves nothing meanwhile.
        Sleep(kLateDelayMs);
        LogLine("replied %s %s", service, topic);
        return MakeReply(itemName);
    }
    return nullptr;  // "fail", or refused since the connection was made
}

HDDEDATA CALLBACK ServerCallback(UINT type, UINT, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR,
                                 ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        return OnConnect(hsz1, hsz2);
    case XTYP_CONNECT_CONFIRM:
        OnConnectConfirm(conv, hsz1, hsz2);
        return nullptr;
    case XTYP_REQUEST:
        return OnRequest(conv, hsz2);
    case XTYP_DISCONNECT:
        OnDisconnect(conv);
        return nullptr;
    default:
        return nullptr;
    }
}

bool SetDefaultValue(HKEY root, const char* subKey, const char* value, DWORD type = REG_SZ)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value),
                                 static_cast<DWORD>(strlen(value) + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// The user's classes are where Windows looks first; Wine's HKEY_CLASSES_ROOT shows only the
// machine's, so a handler goes into both.
const HKEY kClassRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

// A class key's default value that this program sets for a while, and what each root held there
// before, put back by Restore so that a prefix kept for later runs is left as it was. The chain
// runs from the outermost key this program may have to make down to the key of the value.
class BorrowedDefault {
public:
    template <int N>
    explicit BorrowedDefault(const char* const (&chain)[N]) : m_chain(chain), m_length(N)
    {
    }

    bool Set(const char* value)
    {
        bool ok = true;
        for (int i = 0; i < 2; ++i) {
            if (!m_set)
                Remember(kClassRoots[i], &m_before[i]);
            ok = SetDefaultValue(kClassRoots[i], Key(), value) && ok;
        }
        m_set = true;
        return ok;
    }

    bool Restore()
    {
        if (!m_set)
            return true;
        bool ok = true;
        for (int i = 0; i < 2; ++i)
            ok = RestoreRoot(kClassRoots[i], m_before[i]) && ok;
        m_set = false;
        return ok;
    }

private:
    struct Before {
        int keysExisting;  // how many keys of the chain there were, from the outermost
        bool valueExisted;
        DWORD type;
        char value[512];
    };

    const char* Key() const { return m_chain[m_length - 1]; }

    void Remember(HKEY root, Before* before) const
    {
        *before = Before();
        HKEY key = nullptr;
        while (before->keysExisting < m_length &&
               RegOpenKeyExA(root, m_chain[before->keysExisting], 0, KEY_READ, &key) == ERROR_SUCCESS) {
            ++before->keysExisting;
            if (before->keysExisting == m_length) {
                DWORD size = sizeof before->value - 1;
                if (RegQueryValueExA(key, nullptr, nullptr, &before->type, reinterpret_cast<BYTE*>(before->value),
                                     &size) == ERROR_SUCCESS &&
                    (before->type == REG_SZ || before->type == REG_EXPAND_SZ))
                    before->valueExisted = true;
            }
            RegCloseKey(key);
        }
    }

    bool RestoreRoot(HKEY root, const Before& before) const
    {
        if (before.keysExisting < m_length) {
            bool ok = true;
            for (int i = m_length - 1; i >= before.keysExisting; --i)
                ok = RegDeleteKeyA(root, m_chain[i]) == ERROR_SUCCESS && ok;
            return ok;
        }
        if (before.valueExisted)
            return SetDefaultValue(root, Key(), before.value, before.type);
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, Key(), 0, KEY_WRITE, &key) != ERROR_SUCCESS)
            return false;
        RegDeleteValueA(key, nullptr);
        RegCloseKey(key);
        return true;
    }

    const char* const* m_chain;
    int m_length;
    Before m_before[2];
    bool m_set = false;
};

const char* const kHtmChain[] = {"Software\\Classes\\.htm"};
const char* const kHttpChain[] = {"Software\\Classes\\http", "Software\\Classes\\http\\shell",
                                  "Software\\Classes\\http\\shell\\open",
                                  "Software\\Classes\\http\\shell\\open\\command"};
BorrowedDefault g_htmClass(kHtmChain);        // .htm -> kProgId
BorrowedDefault g_httpCommand(kHttpChain);    // the http protocol's "open" command
bool g_progIdMade;

// The command line the shell is to run: "<this program>" record-open "<log file>" "%1".
void MakeRecordOpenCommand(char* command, size_t size, const char* logFile)
{
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    snprintf(command, size, "\"%s\" record-open \"%s\" \"%%1\"", exe, logFile);
}

bool RegisterHtmHandler(const char* logFile)
{
    char command[3 * MAX_PATH];
    MakeRecordOpenCommand(command, sizeof command, logFile);
    char commandKey[128];
    snprintf(commandKey, sizeof commandKey, "Software\\Classes\\%s\\shell\\open\\command", kProgId);
    bool ok = true;
    for (HKEY root : kClassRoots)
        ok = SetDefaultValue(root, commandKey, command) && ok;
    g_progIdMade = true;
    return g_htmClass.Set(kProgId) && ok;
}

// The keys RegisterHtmHandler made for the ProgID, deepest first.
bool DeleteProgId(HKEY root)
{
    static const char* const tails[] = {"\\shell\\open\\command", "\\shell\\open", "\\shell", ""};
    bool ok = true;
    for (const char* tail : tails) {
        char key[192];
        snprintf(key, sizeof key, "Software\\Classes\\%s%s", kProgId, tail);
        ok = RegDeleteKeyA(root, key) == ERROR_SUCCESS && ok;
    }
    return ok;
}

// Takes back what RegisterHtmHandler wrote.
bool UnregisterHtmHandler()
{
    bool ok = g_htmClass.Restore();
    if (g_progIdMade) {
        for (HKEY root : kClassRoots)
            ok = DeleteProgId(root) && ok;
        g_progIdMade = false;
    }
    return ok;
}

bool RegisterHttpHandler(const char* logFile)
{
    char command[3 * MAX_PATH];
    MakeRecordOpenCommand(command, sizeof command, logFile);
    return g_httpCommand.Set(command);
}

// Runs the command file if there is one; false once told to quit.
bool RunCommandFile()
{
    char path[MAX_PATH];
    MakeFolderPath(path, sizeof path, "command.txt");
    char text[1024];
    if (!ReadSmallFile(path, text, sizeof text))
        return true;
    DeleteFileA(path);
    text[strcspn(text, "\r\n")] = '\0';
    if (strcmp(text, "quit") == 0) {
        UnregisterHtmHandler();
        g_httpCommand.Restore();
        LogLine("done %s", text);
        return false;
    }
    if (strncmp(text, "register-htm ", 13) == 0) {
        bool ok = RegisterHtmHandler(text + 13);
        LogLine("done %s %s", text, ok ? "ok" : "failed");
        return true;
    }
    if (strcmp(text, "unregister-htm") == 0) {
        LogLine("done %s %s", text, UnregisterHtmHandler() ? "ok" : "failed");
        return true;
    }
    if (strncmp(text, "register-http ", 14) == 0) {
        bool ok = RegisterHttpHandler(text + 14);
        LogLine("done %s %s", text, ok ? "ok" : "failed");
        return true;
    }
    if (strcmp(text, "unregister-http") == 0) {
        LogLine("done %s %s", text, g_httpCommand.Restore() ? "ok" : "failed");
        return true;
    }
    LogLine("done %s", text);
    return true;
}

void CALLBACK OnPollTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (!RunCommandFile())
        PostQuitMessage(0);
}

int Serve(const char* folder)
{
    snprintf(g_folder, sizeof g_folder, "%s", folder);
    if (DdeInitializeA(&g_instance, ServerCallback, APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS |
                                                        CBF_SKIP_UNREGISTRATIONS, 0) != DMLERR_NO_ERROR) {
        LogLine("error DdeInitialize");
        return 1;
    }
    HSZ services[] = {DdeCreateStringHandleA(g_instance, "IEXPLORE", CP_WINANSI),
                      DdeCreateStringHandleA(g_instance, "NETSCAPE", CP_WINANSI)};
    for (HSZ service : services) {
        if (!DdeNameService(g_instance, service, nullptr, DNS_REGISTER)) {
            LogLine("error DdeNameService");
            return 1;
        }
    }
    SetTimer(nullptr, 0, 500, OnPollTimer);
    LogLine("ready");
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    for (HSZ service : services) {
        DdeNameService(g_instance, service, nullptr, DNS_UNREGISTER);
        DdeFreeStringHandle(g_instance, service);
    }
    DdeUninitialize(g_instance);
    return 0;
}

int RecordOpen(const char* logFile)
{
    char line[4096];
    snprintf(line, sizeof line, "%s\n", GetCommandLineA());
    AppendToFile(logFile, line);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc == 3 && strcmp(__argv[1], "serve") == 0)
        return Serve(__argv[2]);
    if (__argc >= 3 && strcmp(__argv[1], "record-open") == 0)
        return RecordOpen(__argv[2]);
    return 2;
}
