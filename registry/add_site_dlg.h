#pragma once
#include "app/dialog.h"

class CMonitorDlg;

// The registration dialog: a name and a URL; its OK operation registers the site.
class CAddSiteDlg : public Dialog {
public:
    explicit CAddSiteDlg(CMonitorDlg& owner);

protected:
    const MessageEntry* GetMessageTable() const override;
    void OnOK() override;

private:
    void Register(long code, const char* name, const char* url);
    CMonitorDlg& m_owner;
};

enum { kSiteCodeTextSize = 100 };  // the buffer registration makes the code text in

// Writes the code text of the current local time (day, hour, minute, second, no leading zeros)
// into dst, which holds size bytes.
void MakeSiteCode(char* dst, size_t size);
