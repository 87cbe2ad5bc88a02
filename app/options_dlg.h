#pragma once
#include "registry/program_options.h"
#include "ui/dialog.h"

// The options dialog: starting with Windows, starting acquisition at once at start-up (and then
// staying hidden in the notification area), the wait between passes. OK stores what changed:
// the options in the registry file, starting with Windows in the user's Run key. When either
// cannot be written the user is told and the dialog stays open; otherwise it ends with IDOK.
// Either way it gives back the options as they are stored when it ends.
class COptionsDlg : public Dialog {
public:
    explicit COptionsDlg(const ProgramOptions& stored);

    const ProgramOptions& Options() const { return m_stored; }

protected:
    const MessageEntry* GetMessageTable() const override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    static const MessageEntry s_messageTable[];

    void FillPassIntervals();
    void OnStartCheckingClicked();
    bool IsChecked(int id) const;
    void SetChecked(int id, bool checked);
    ProgramOptions ReadControls() const;
    bool StoreOptions(const ProgramOptions& wanted);
    void ShowFailure(UINT textId);

    ProgramOptions m_stored;
};
