// The main window: the site list on the left, the snapshot list on the right, the menu, the
// about item of the system menu, the notification icon and the acquisition worker's controls.
#pragma once
#include <windows.h>

#include "acquisition/row_cursor.h"
#include "acquisition/worker.h"
#include "acquisition/worker_link.h"
#include "acquisition/check_record.h"
#include "app/balloon_news.h"
#include "app/bold_font.h"
#include "app/site_transfer.h"
#include "app/notify_icon.h"
#include "app/site_settings_dlg.h"
#include "base/code_map.h"
#include "base/decimal.h"
#include "base/path_join.h"
#include "registry/site_list_export.h"
#include "registry/site_registration.h"
#include "registry/site_registry.h"
#include "registry/watch_table.h"
#include "resource.h"
#include "ui/dialog.h"
#include "ui/list_view.h"
#include "ui/screen_dpi.h"

struct CheckNotice;
struct CommitNotice;
struct SiteRequest;

class CMonitorDlg : public Dialog, public PageComparison, private SiteSettingsApplier {
public:
    CMonitorDlg();
    ~CMonitorDlg() override;

    // Compares the fetched copy with the reference copy, whole or on their readable text, on the
    // part that counts: 1 when they differ.
    int FilesDiffer(const char* newPath, const char* oldPath, CompareMethod method, const ComparedPart& part,
                    bool* rangeMissing) override;

    // Inserts a newly registered site at the top of the site list.
    void InsertSiteRow(const char* name, const char* url, long code);

protected:
    const MessageEntry* GetMessageTable() const override;
    BOOL OnInitDialog() override;
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;

private:
    static const MessageEntry s_messageTable[];

    // The lists' handles are looked up once: looking a child up asks the window server each time.
    ListView SiteList() const { return ListView(m_hSiteList); }
    ListView SnapshotList() const { return ListView(m_hSnapshotList); }

    // Shell
    bool OnSysCommand(UINT id, LPARAM position);
    bool OnPaint();
    HICON OnQueryDragIcon();
    void OnAbout();
    bool OnSize(UINT kind, int cx, int cy);
    void AddAboutMenuItem();
    void InitLists();

    // Screen resolution: the lists' columns scaled again when the window moves to a monitor of
    // another DPI
    bool OnDpiChanged(UINT dpi, const RECT* suggested);

    // Notification icon and closing
    void OnTrayNotify(UINT message, LPARAM lParam);
    // 1 once the shell took the icon, 0 when it still refused it after 30 s.
    int SetTrayIcon(HICON icon, DWORD operation, const char* tip);
    void HideToTray();
    void EndProcessAfterWorker(int status);
    bool IsHiddenInTray() const;
    void ShowChangeBalloon(const CommitNotice& notice);
    void ShowFailureBalloon(const CheckNotice& notice);
    void ShowBalloon();
    void ShowFromTray();

    // Registration and deletion
    void OnAddSite();
    void OnDeleteSite();
    void TellNotStored(StoreResult result);

    // Bringing sites in and taking them out
    void OnImportSites();
    bool OnDropFiles(HDROP drop);
    void ImportSiteFiles(const FileList& files);
    void RegisterImported(const SiteListImport& import);
    void ListNewSite(const NewSiteEntry& site);
    void TellImport(UINT textId, const char* path);
    void TellImported(size_t registered, size_t listed, size_t unreadable);
    void OnExportSites();
    void ExportSites(const char* path, ExportFormat format);
    bool CollectSites(ExportedSites* sites) const;

    // Acquisition: the commands and the worker's requests, one handler each
    void OnStart();
    void OnStop();
    void StartWorker();
    LRESULT OnWorkerRequest(WPARAM op, LPARAM request);
    typedef LRESULT (CMonitorDlg::*WorkerRequestHandler)(LPARAM request);
    static const WorkerRequestHandler s_workerRequests[];
    LRESULT OnBeginRow(LPARAM request);
    LRESULT OnStopCheck(LPARAM request);
    LRESULT OnEndRow(LPARAM request);
    void ReadWorkerSite(int row, SiteRequest* site) const;
    int EndWorkerRow(const char* savedName);

    // Snapshot viewing
    bool OnClickSiteList(NMHDR* header, LRESULT* result);
    bool OnClickSnapshotList(NMHDR* header, LRESULT* result);
    void OnOpenSnapshot();
    bool HasSnapshotBefore(int row) const;
    void OnShowDifferences();
    void OnOpenSnapshotFolder();

    // Unseen changes drawn in bold, failed sites in dark red
    void ReadSiteFolders();
    void RedrawSiteRows(long code);
    void MarkListedSiteSeen(long code);
    void NoteCommittedSnapshot(const CommitNotice& notice);
    bool OnDrawSiteList(NMHDR* header, LRESULT* result);
    bool OnDrawSnapshotList(NMHDR* header, LRESULT* result);

    // The last checks: failed sites, the tip, the re-check pass
    bool HasFailed(long code) const;
    bool KeepCheck(long code, const CheckRecord& record);
    bool AnyListedSiteFailed() const;
    void NoteCheck(const CheckNotice& notice);
    void CreateSiteTip();
    int SiteRowUnderMouse() const;
    bool OnSetCursor(HWND window, UINT hitTest, UINT mouseMessage);
    void RelayToSiteTip(HWND list, UINT mouseMessage);
    bool OnSiteTipText(NMHDR* header, LRESULT* result);
    void OnRecheckFailed();
    void UpdateRecheckItem();
    bool SkipsRow(int row, time_t now) const;

    // Context menus and their site commands
    bool OnContextMenu(HWND control, LPARAM position);
    long SelectedSiteCode() const;
    void OnOpenSite();
    void OnOpenSiteFolder();
    void OnCompareWholePage();
    void OnCompareTextOnly();
    void SetCompareMode(CompareMethod method);

    // Options and start-up: the options dialog, what the options ask of start-up, a later copy's
    // request to show the window
    void OnOptions();
    void ApplyStartOptions();
    void OnStartHidden();
    void KeepHiddenAtStart(UINT message, LPARAM lParam);
    bool OnShowRequest(UINT message);
    // A site's settings: the dialog, and storing what it confirmed
    void OnSiteSettings();
    UINT ApplySiteSettings(const SiteEntry& shown, const SiteEntry& confirmed) override;
    bool TakeSiteSettings(long code, const SiteEntry& settings);
    int FindSettingsRow() const;
    bool IsWorkerRow(int row) const { return m_workerRow.InHand() && m_workerRow.Row() == row; }
    void RenameSiteRow(int row, const char* name);
    const char* NameForWorkerRow(const char* savedName) const { return m_bWorkerRenamed ? m_strWorkerName : savedName; }

    volatile LONG m_bRunning;   // 1 while acquisition runs
    char m_strSiteCode[kDecimalTextSize];  // code text of the site whose snapshots are listed
    long m_nListedCode = -1;               // and its code
    char m_strSeenBefore[kPathBufferSize] = {};  // its seen mark before it was listed
    CodeSet m_unseenSites;      // sites with a snapshot newer than their seen mark
    CodeSet m_textOnlySites;    // sites compared on their readable text
    BalloonNews m_balloon;      // what the balloon tells since it last went
    CodeMap<CheckRecord> m_checks;  // the last check of each listed site
    size_t m_nFailedSites = 0;      // ... that failed
    HWND m_hSiteTip = nullptr;  // the tip over the site list (destroyed with the window it is owned by)
    int m_nTipRow = -1;         // the row the tip was last over
    char m_strTip[512] = {};    // the tip's text while it shows
    bool m_bFailedOnly = false; // the worker's pass visits only the sites whose last check failed
    BoldFont m_boldFont;        // the lists' font in bold
    UINT m_nDpi = kBaseDpi;     // the DPI the lists' columns are sized for
    NotifyIconDataV1 m_nid;     // the notification icon, as last filled by SetTrayIcon
    HICON m_hIcon;              // the program icon
    int m_nHideDepth = 0;       // hide loops running, one inside another
    bool m_bIconShown = false;  // the icon is in the notification area
    WorkerLink m_worker;        // the acquisition worker, seen from the user-interface thread
    WorkerStart m_workerStart;  // what the worker is started with
    RowCursor m_workerRow;      // the row the worker is on, kept in step with the list
    bool m_bKeepHiddenAtStart = false;  // never shown until it hides into the notification area
    UINT m_uShowRequest = 0;    // the message of a later copy asking for the window
    WatchTable m_watches;       // each listed site's interval and the part of its pages that counts
    char m_strWorkerName[kSiteNameSize] = {};  // the name of the worker's row while it shows a status
    bool m_bWorkerRenamed = false;             // ... renamed meanwhile: the name it gets back
    long m_nSettingsCode = -1;  // the site whose settings dialog is open
    int m_nSettingsRow = -1;    // and the row it was opened for
    HWND m_hSiteList = nullptr;      // the site list, from the start of the dialog on
    HWND m_hSnapshotList = nullptr;  // the snapshot list
};
