#include "viewer/browser_launcher.h"

#include <shellapi.h>
#include <string.h>

#include "base/path_join.h"

namespace {

const DWORD kClientFlags = APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS;  // 0x003C0010
const DWORD kRequestTimeout = 10000;                                     // ms

// A DDE instance of this thread, uninitialized when it goes.
class DdeInstance {
public:
    DdeInstance() = default;
    DdeInstance(const DdeInstance&) = delete;
    DdeInstance& operator=(const DdeInstance&) = delete;
    ~DdeInstance()
    {
        if (m_id)
            DdeUninitialize(m_id);
    }

    bool Initialize()
    {
        DWORD id = 0;
        if (DdeInitializeA(&id, DdeCallback, kClientFlags, 0) != DMLERR_NO_ERROR)
            return false;
        m_id = id;
        return true;
    }
    DWORD Id() const { return m_id; }

private:
    DWORD m_id = 0;
};

// A string handle of an instance, freed when it goes.
class DdeString {
public:
    DdeString(DWORD instance, const char* text)
        : m_instance(instance), m_hsz(DdeCreateStringHandleA(instance, text, CP_WINANSI))
    {
    }
    DdeString(const DdeString&) = delete;
    DdeString& operator=(const DdeString&) = delete;
    ~DdeString()
    {
        if (m_hsz)
            DdeFreeStringHandle(m_instance, m_hsz);
    }
    HSZ Get() const { return m_hsz; }

private:
    DWORD m_instance;
    HSZ m_hsz;
};

// A client conversation, ended when it goes.
class DdeConversation {
public:
    explicit DdeConversation(HCONV conv) : m_conv(conv) {}
    DdeConversation(const DdeConversation&) = delete;
    DdeConversation& operator=(const DdeConversation&) = delete;
    ~DdeConversation()
    {
        if (m_conv)
            DdeDisconnect(m_conv);
    }
    explicit operator bool() const { return m_conv != nullptr; }
    HCONV Get() const { return m_conv; }

private:
    HCONV m_conv;
};

// A data handle returned by a transaction, freed when it goes.
class DdeData {
public:
    explicit DdeData(HDDEDATA data) : m_data(data) {}
    DdeData(const DdeData&) = delete;
    DdeData& operator=(const DdeData&) = delete;
    ~DdeData()
    {
        if (m_data)
            DdeFreeDataHandle(m_data);
    }

    // The first bytes of the data (at most four) as a value; 0 without data.
    DWORD ReadValue() const
    {
        DWORD value = 0;
        if (m_data)
            DdeGetData(m_data, reinterpret_cast<LPBYTE>(&value), sizeof value, 0);
        return value;
    }

private:
    HDDEDATA m_data;
};

void WarnInitFailed()
{
    MessageBoxA(nullptr, "DDEの初期化に失敗しました。", "ブラウザ情報の取得", MB_ICONWARNING | MB_OK);
}

// The names of service and topic live only as long as the connection attempt.
DdeConversation ConnectTopic(DWORD instance, const char* service, const char* topic)
{
    DdeString serviceName(instance, service);
    DdeString topicName(instance, topic);
    return DdeConversation(DdeConnect(instance, serviceName.Get(), topicName.Get(), nullptr));
}

// A synchronous CF_TEXT request; the item's name is freed before the reply is looked at.
DdeData RequestItem(DWORD instance, const DdeConversation& conv, const char* item)
{
    DdeString itemName(instance, item);
    return DdeData(DdeClientTransaction(nullptr, 0, conv.Get(), itemName.Get(), CF_TEXT, XTYP_REQUEST,
                                        kRequestTimeout, nullptr));
}

// "<path>",,0xFFFFFFFF,0x0,,, : the file, into a new window, no flags. Nothing is escaped.
// False when the item would not fit its buffer or a DDE string handle (255 characters at most):
// such an item would reach the browser cut short or not at all.
bool MakeOpenUrlItem(char (&item)[kPathBufferSize], const char* path)
{
    const size_t kMaxDdeString = 255;
    const char* pieces[] = {"\"", path, "\",,0xFFFFFFFF,0x0,,,"};
    return JoinText(item, pieces) && strlen(item) <= kMaxDdeString;
}

// The WWW_OpenURL half of DdeOpenUrl: true once the service took the conversation and the item
// was sent, whatever came back.
bool RequestOpenUrl(const char* service, const char* path)
{
    DdeInstance instance;
    if (!instance.Initialize()) {
        WarnInitFailed();
        return false;
    }
    DdeConversation conv = ConnectTopic(instance.Id(), service, "WWW_OpenURL");
    if (!conv)
        return false;
    char item[kPathBufferSize];
    if (!MakeOpenUrlItem(item, path))
        return false;  // never sent cut short: the next way gets its turn
    DdeData reply = RequestItem(instance.Id(), conv, item);
    return true;  // the reply is freed unread
}

}  // namespace

HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

int DdeOpenUrl(const char* service, const char* path)
{
    if (!RequestOpenUrl(service, path))
        return 0;
    DdeActivate(service);
    return 1;
}

DWORD DdeActivate(const char* service)
{
    DdeInstance instance;
    if (!instance.Initialize()) {
        WarnInitFailed();
        return 0;
    }
    DdeConversation conv = ConnectTopic(instance.Id(), service, "WWW_Activate");
    if (!conv)
        return 0;
    DdeData reply = RequestItem(instance.Id(), conv, "0xFFFFFFFF,0x0");
    return reply.ReadValue();
}

namespace {

// DDE to "IEXPLORE", then to "NETSCAPE", then the shell.
void OpenThroughBrowser(const char* target)
{
    if (DdeOpenUrl("IEXPLORE", target) == 1)
        return;
    if (DdeOpenUrl("NETSCAPE", target) == 1)
        return;
    ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void OpenInBrowser(const char* path)
{
    char file[kPathBufferSize];
    CopyText(file, sizeof file, path);
    OpenThroughBrowser(file);
}

bool OpenWebAddress(const char* url)
{
    char address[kWebAddressSize];
    if (CopyText(address, sizeof address, url) != strlen(url))
        return false;  // never opened cut short: it would be another address
    OpenThroughBrowser(address);
    return true;
}

void OpenFolder(const char* path)
{
    ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
}
