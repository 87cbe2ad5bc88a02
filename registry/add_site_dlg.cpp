#include "registry/add_site_dlg.h"

#include <time.h>

#include "app/monitor_dlg.h"
#include "registry/data_paths.h"
#include "base/decimal.h"
#include "base/text_join.h"
#include "registry/registry_file.h"
#include "resource.h"

namespace {

const MessageEntry kAddSiteTable[] = {EndOfTable()};

// The whole text of a control, however long, in a buffer of its own.
class ControlText {
public:
    explicit ControlText(HWND control)
    {
        int len = GetWindowTextLengthA(control);
        m_text = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(len) + 1));
        if (m_text)
            GetWindowTextA(control, m_text, len + 1);
    }
    ControlText(const ControlText&) = delete;
    ControlText& operator=(const ControlText&) = delete;
    ~ControlText()
    {
        if (m_text)
            HeapFree(GetProcessHeap(), 0, m_text);
    }
    const char* c_str() const { return m_text ? m_text : ""; }
    bool empty() const { return !m_text || !m_text[0]; }

private:
    char* m_text;
};

}  // namespace

void MakeSiteCode(char* dst, size_t size)
{
    Sleep(10);
    time_t now = time(nullptr);
    const struct tm* local = localtime(&now);
    const char* pieces[] = {IntToString(local->tm_mday), IntToString(local->tm_hour),
                            IntToString(local->tm_min), IntToString(local->tm_sec)};
    JoinText(dst, size, pieces, 4);
}

CAddSiteDlg::CAddSiteDlg(CMonitorDlg& owner) : Dialog(IDD_ADD_SITE), m_owner(owner) {}

const MessageEntry* CAddSiteDlg::GetMessageTable() const
{
    return kAddSiteTable;
}

void CAddSiteDlg::OnOK()
{
    char codeText[kSiteCodeTextSize] = {};
    MakeSiteCode(codeText, sizeof codeText);
    long code = ParseLeadingDecimal(codeText, nullptr);
    ControlText url(GetDlgItem(IDC_URL));
    ControlText name(GetDlgItem(IDC_SITE_NAME));
    if (url.empty()) {
        MessageBoxA(m_hWnd, "URLの設定を行ってください。", "", MB_OK);
        return;
    }
    Register(code, name.c_str(), url.c_str());
    EndDialog(IDOK);
}

void CAddSiteDlg::Register(long code, const char* name, const char* url)
{
    char dataDir[kPathBufferSize];
    char registryPath[kPathBufferSize];
    bool stored = MakeDataDir(dataDir) && MakeRegistryPath(registryPath);
    if (stored)
        code = FindFreeCode(registryPath, code);
    m_owner.InsertSiteRow(name, url, code);
    if (!stored)
        return;  // the data folder's path would not fit: the site lives for this run only
    CreateDirectoryA(dataDir, nullptr);
    if (!AppendSiteEntry(registryPath, name, url, code))
        return;  // no entry number left: the file stays as it is, the site lives for this run
    char siteDir[kPathBufferSize];
    if (MakeSitePrefix(siteDir, code))
        CreateDirectoryA(siteDir, nullptr);
}
