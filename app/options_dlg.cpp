#include "app/options_dlg.h"

#include "registry/data_paths.h"
#include "registry/logon_start.h"
#include "registry/registry_file.h"
#include "resource.h"
#include "ui/resource_text.h"

const MessageEntry COptionsDlg::s_messageTable[] = {
    OnCommandEntry<&COptionsDlg::OnStartCheckingClicked>(IDC_START_CHECKING),
    EndOfTable(),
};

COptionsDlg::COptionsDlg(const ProgramOptions& stored) : Dialog(IDD_OPTIONS), m_stored(stored) {}

const MessageEntry* COptionsDlg::GetMessageTable() const
{
    return s_messageTable;
}

BOOL COptionsDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    SetChecked(IDC_START_AT_LOGON, StartsAtLogon());
    SetChecked(IDC_START_CHECKING, m_stored.startChecking);
    SetChecked(IDC_START_HIDDEN, m_stored.startHidden);
    OnStartCheckingClicked();
    FillPassIntervals();
    return TRUE;
}

void COptionsDlg::FillPassIntervals()
{
    HWND combo = GetDlgItem(IDC_PASS_INTERVAL);
    for (int i = 0; i < kPassIntervalCount; ++i) {
        char text[32];
        SendMessageA(combo, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(LoadResourceText(IDS_PASS_INTERVAL_FIRST + i, text, sizeof text)));
    }
    SendMessageA(combo, CB_SETCURSEL, PassIntervalIndex(m_stored.passMinutes), 0);
}

// Staying hidden is a way of starting acquisition: it is offered only while that is chosen.
void COptionsDlg::OnStartCheckingClicked()
{
    EnableWindow(GetDlgItem(IDC_START_HIDDEN), IsChecked(IDC_START_CHECKING));
}

bool COptionsDlg::IsChecked(int id) const
{
    return SendMessageA(GetDlgItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void COptionsDlg::SetChecked(int id, bool checked)
{
    SendMessageA(GetDlgItem(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

ProgramOptions COptionsDlg::ReadControls() const
{
    ProgramOptions options;
    options.startChecking = IsChecked(IDC_START_CHECKING);
    options.startHidden = IsChecked(IDC_START_HIDDEN);
    LRESULT chosen = SendMessageA(GetDlgItem(IDC_PASS_INTERVAL), CB_GETCURSEL, 0, 0);
    if (chosen >= 0 && chosen < kPassIntervalCount)
        options.passMinutes = kPassIntervals[chosen];
    return options;
}

void COptionsDlg::OnOK()
{
    if (!StoreOptions(ReadControls())) {
        ShowFailure(IDS_OPTIONS_NOT_SAVED);
        return;
    }
    if (!SetStartAtLogon(IsChecked(IDC_START_AT_LOGON))) {
        ShowFailure(IDS_LOGON_NOT_SAVED);
        return;
    }
    EndDialog(IDOK);
}

// Writes the options that changed. Once they are stored, OK pressed again after the logon value
// failed writes none of them again; a file without changes is left as it is.
bool COptionsDlg::StoreOptions(const ProgramOptions& wanted)
{
    if (wanted == m_stored)
        return true;
    char path[kPathBufferSize];
    if (!MakeRegistryPathForWriting(path) || !WriteProgramOptions(path, m_stored, wanted))
        return false;
    m_stored = wanted;
    return true;
}

void COptionsDlg::ShowFailure(UINT textId)
{
    char text[256];
    char caption[64] = {};
    GetWindowTextA(m_hWnd, caption, sizeof caption);
    MessageBoxA(m_hWnd, LoadResourceText(textId, text, sizeof text), caption, MB_OK | MB_ICONEXCLAMATION);
}
