#include "app/site_settings_dlg.h"

#include <string.h>

#include "base/text_join.h"
#include "registry/setting_text.h"
#include "resource.h"
#include "ui/resource_text.h"

namespace {

const MessageEntry kSiteSettingsTable[] = {EndOfTable()};

// The ignored texts as the edit box shows them: one a line, lines ended by CR LF.
void ShowIgnoredTexts(HWND edit, const char* texts)
{
    char shown[2 * kIgnoreTextsSize];
    size_t used = 0;
    for (const char* p = texts; *p != '\0' && used + 2 < sizeof shown; ++p) {
        if (*p == '\n')
            shown[used++] = '\r';
        shown[used++] = *p;
    }
    shown[used] = '\0';
    SetWindowTextA(edit, shown);
}

}  // namespace

CSiteSettingsDlg::CSiteSettingsDlg(const SiteEntry& shown, const char* lastCheck, SiteSettingsApplier& applier)
    : Dialog(IDD_SITE_SETTINGS), m_shown(shown), m_lastCheck(lastCheck), m_applier(applier)
{
}

const MessageEntry* CSiteSettingsDlg::GetMessageTable() const
{
    return kSiteSettingsTable;
}

BOOL CSiteSettingsDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    SetDlgItemTextA(m_hWnd, IDC_SETTINGS_NAME, m_shown.name);
    SetDlgItemTextA(m_hWnd, IDC_SETTINGS_URL, m_shown.url);
    FillIntervals();
    bool textOnly = m_shown.method == CompareMethod::kTextOnly;
    CheckRadioButton(m_hWnd, IDC_SETTINGS_WHOLE_PAGE, IDC_SETTINGS_TEXT_ONLY,
                     textOnly ? IDC_SETTINGS_TEXT_ONLY : IDC_SETTINGS_WHOLE_PAGE);
    SetDlgItemTextA(m_hWnd, IDC_SETTINGS_FROM, m_shown.watch.part.from);
    SetDlgItemTextA(m_hWnd, IDC_SETTINGS_TO, m_shown.watch.part.to);
    ShowIgnoredTexts(GetDlgItem(IDC_SETTINGS_IGNORE), m_shown.watch.part.ignore);
    SetDlgItemTextA(m_hWnd, IDC_SETTINGS_LAST_CHECK, m_lastCheck);
    return TRUE;  // the focus on the name, the first control
}

void CSiteSettingsDlg::FillIntervals()
{
    HWND box = GetDlgItem(IDC_SETTINGS_INTERVAL);
    int selected = 0;
    for (int i = 0; i < kCheckIntervalCount; ++i) {
        char text[32];
        SendMessageA(box, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(LoadResourceText(IDS_INTERVAL_FIRST + i, text, sizeof text)));
        if (kCheckIntervals[i] == m_shown.watch.interval)
            selected = i;
    }
    SendMessageA(box, CB_SETCURSEL, selected, 0);
}

void CSiteSettingsDlg::OnOK()
{
    SiteEntry confirmed = {};
    if (!ReadForm(&confirmed))
        return;
    UINT failure = m_applier.ApplySiteSettings(m_shown, confirmed);
    if (failure != 0)
        Tell(failure, nullptr);
    else
        EndDialog(IDOK);
}

bool CSiteSettingsDlg::ReadForm(SiteEntry* confirmed)
{
    m_name.Read(GetDlgItem(IDC_SETTINGS_NAME));
    m_url.Read(GetDlgItem(IDC_SETTINGS_URL));
    if (m_url.empty()) {
        Tell(IDS_EMPTY_URL, "");  // as the registration dialog says it
        return false;
    }
    confirmed->name = m_name.c_str();
    confirmed->url = m_url.c_str();
    bool textOnly = IsDlgButtonChecked(m_hWnd, IDC_SETTINGS_TEXT_ONLY) == BST_CHECKED;
    confirmed->method = textOnly ? CompareMethod::kTextOnly : CompareMethod::kWholePage;
    auto choice = static_cast<int>(SendMessageA(GetDlgItem(IDC_SETTINGS_INTERVAL), CB_GETCURSEL, 0, 0));
    confirmed->watch.interval = choice >= 0 && choice < kCheckIntervalCount ? kCheckIntervals[choice] : 0;
    return ReadRangeText(IDC_SETTINGS_FROM, confirmed->watch.part.from) &&
           ReadRangeText(IDC_SETTINGS_TO, confirmed->watch.part.to) && ReadIgnoredTexts(confirmed->watch.part.ignore);
}

bool CSiteSettingsDlg::ReadRangeText(int id, char (&text)[kRangeTextSize])
{
    ControlText typed(GetDlgItem(id));
    if (strlen(typed.c_str()) >= sizeof text) {
        Tell(IDS_RANGE_TOO_LONG, nullptr);
        return false;
    }
    if (strpbrk(typed.c_str(), "\r\n")) {
        Tell(IDS_RANGE_LINE_END, nullptr);
        return false;
    }
    CopyText(text, sizeof text, typed.c_str());  // whole: measured above
    return true;
}

bool CSiteSettingsDlg::ReadIgnoredTexts(char (&texts)[kIgnoreTextsSize])
{
    ControlText typed(GetDlgItem(IDC_SETTINGS_IGNORE));
    if (!JoinIgnoreLines(typed.c_str(), texts, sizeof texts)) {
        Tell(IDS_IGNORE_TOO_LONG, nullptr);
        return false;
    }
    return true;
}

// A box owned by the dialog; a null caption is the dialog's own.
void CSiteSettingsDlg::Tell(UINT textId, const char* caption)
{
    char text[256];
    char title[64];
    UINT icon = caption ? 0 : MB_ICONWARNING;
    if (!caption)
        caption = LoadResourceText(IDS_SETTINGS_CAPTION, title, sizeof title);
    MessageBoxA(m_hWnd, LoadResourceText(textId, text, sizeof text), caption, MB_OK | icon);
}
