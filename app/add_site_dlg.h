#pragma once
#include "ui/control_text.h"
#include "ui/dialog.h"

// The registration dialog: a name and a URL. OK with an empty URL asks for one and keeps the
// dialog open; otherwise the dialog ends with IDOK and gives back the texts it was given.
class CAddSiteDlg : public Dialog {
public:
    CAddSiteDlg();

    const char* Name() const { return m_name.c_str(); }
    const char* Url() const { return m_url.c_str(); }

protected:
    const MessageEntry* GetMessageTable() const override;
    void OnOK() override;

private:
    ControlText m_name;
    ControlText m_url;
};
