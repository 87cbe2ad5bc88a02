// The dialog "サイトの設定": a site's name and URL, how often it is checked, how its pages are
// compared and which part of them counts, with its last check shown. It knows no window: it
// starts from the settings it is given and hands what the user confirmed to its applier, staying
// open when they cannot be stored.
#pragma once
#include "registry/registry_file.h"
#include "ui/control_text.h"
#include "ui/dialog.h"

class SiteSettingsApplier {
public:
    // Stores the settings confirmed (shown: those the dialog started from). 0 when they were
    // stored; else the string id of what the dialog tells the user, staying open.
    virtual UINT ApplySiteSettings(const SiteEntry& shown, const SiteEntry& confirmed) = 0;

protected:
    SiteSettingsApplier() = default;
    ~SiteSettingsApplier() = default;
};

class CSiteSettingsDlg : public Dialog {
public:
    // shown and lastCheck must outlive the dialog's run.
    CSiteSettingsDlg(const SiteEntry& shown, const char* lastCheck, SiteSettingsApplier& applier);

protected:
    const MessageEntry* GetMessageTable() const override;
    BOOL OnInitDialog() override;
    // Reads the form; texts too long or holding a line end, or an empty URL, are told and the
    // dialog stays open. Otherwise the settings go to the applier.
    void OnOK() override;

private:
    void FillIntervals();
    bool ReadForm(SiteEntry* confirmed);
    bool ReadRangeText(int id, char (&text)[kRangeTextSize]);
    bool ReadIgnoredTexts(char (&texts)[kIgnoreTextsSize]);
    void Tell(UINT textId, const char* caption);

    const SiteEntry& m_shown;
    const char* m_lastCheck;
    SiteSettingsApplier& m_applier;
    ControlText m_name;
    ControlText m_url;
};
