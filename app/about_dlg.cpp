#include "app/about_dlg.h"

#include "resource.h"

namespace {
const MessageEntry kAboutTable[] = {EndOfTable()};
}

CAboutDlg::CAboutDlg() : Dialog(IDD_ABOUT) {}

const MessageEntry* CAboutDlg::GetMessageTable() const
{
    return kAboutTable;
}
