#pragma once
#include "ui/dialog.h"

// The about box: no members and no handlers of its own.
class CAboutDlg : public Dialog {
public:
    CAboutDlg();

protected:
    const MessageEntry* GetMessageTable() const override;
};
