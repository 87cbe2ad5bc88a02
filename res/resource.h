// Resource, command and message ids shared by the resource script and the code.
#pragma once

#define IDM_ABOUTBOX                16
#define IDD_ABOUT                   100
#define IDS_ABOUT_MENU_TEXT         101
#define IDD_MAIN                    102
#define IDS_SOCKET_START_FAILED     103
#define IDI_PROGRAM                 128
#define IDD_ADD_SITE                130
#define IDR_MAIN_MENU               132
#define IDR_CONTEXT_MENU            133     // popups: 0 a snapshot, 1 a site
#define IDC_URL                     1000
#define IDC_SITE_LIST               1005
#define IDC_SITE_NAME               1008
#define IDC_SNAPSHOT_LIST           1013
// Private messages of the main window, between WM_USER and 0x7FFF.
#define WM_TRAY_NOTIFY              2026    // the notification icon's mouse events
#define WM_WORKER_REQUEST           2027    // a request of the acquisition worker
#define ID_ADD_SITE                 32771
#define ID_DELETE_SITE              32772
#define ID_START                    32773
#define ID_STOP                     32774
// Context-menu commands.
#define ID_OPEN_SNAPSHOT            32780
#define ID_SHOW_DIFFERENCES         32781
#define ID_OPEN_SNAPSHOT_FOLDER     32782
#define ID_OPEN_SITE                32783
#define ID_COMPARE_WHOLE_PAGE       32784
#define ID_COMPARE_TEXT_ONLY        32785
#define ID_OPEN_SITE_FOLDER         32786
// Checks that failed.
#define ID_RECHECK_FAILED           32790
#define ID_LAST_CHECK               32791   // the context menu's line with the site's last check

// Texts of the last check. Why a fetch failed: IDS_FETCH_FAILURE + the failure's number.
#define IDS_FETCH_FAILURE           200     // 200 to 224
#define IDS_CHECK_LAST              230
#define IDS_CHECK_FIRST_COPY        231
#define IDS_CHECK_UNCHANGED         232
#define IDS_CHECK_CHANGED           233
#define IDS_CHECK_IN_ROW            234
#define IDS_CHECK_NEVER             235
#define IDS_CHECK_STATUS            236
#define IDS_CHECK_RANGE_MISSING     237
#define IDS_NO_FAILED_SITES         238
#define IDS_NO_SITE_URL             239
// Bringing sites in and taking them out, and registrations that cannot be stored.
#define ID_IMPORT_SITES             32820
#define ID_EXPORT_SITES             32821
#define IDS_NOT_STORED              370
#define IDS_NOT_STORED_PATH         371
#define IDS_NOT_STORED_NUMBER       372
#define IDS_NOT_STORED_WRITE        373
#define IDS_IMPORT_FILTER           374
#define IDS_EXPORT_FILTER           375
#define IDS_IMPORT_DONE             376
#define IDS_IMPORT_SKIPPED          377
#define IDS_IMPORT_TOO_LARGE        378
#define IDS_IMPORT_TOO_MANY         379
#define IDS_IMPORT_UNREADABLE_FILE  380
#define IDS_IMPORT_NO_MEMORY        381
#define IDS_EXPORT_DONE             382
#define IDS_EXPORT_FAILED           383
#define IDS_IMPORT_CAPTION          384
#define IDS_EXPORT_CAPTION          385
#define IDS_BALLOON_CHANGED_ONE     240
#define IDS_BALLOON_CHANGED_MANY    241
#define IDS_BALLOON_FAILING_ONE     242
#define IDS_BALLOON_FAILING_MANY    243

// Start-up checks.
#define IDS_DATA_FOLDER_NOT_WRITABLE 340
#define IDS_DATA_FOLDER_ADVICE      341

// The options dialog, its command and its texts.
#define IDD_OPTIONS                 150
#define IDC_START_AT_LOGON          1200
#define IDC_START_CHECKING          1201
#define IDC_START_HIDDEN            1202
#define IDC_PASS_INTERVAL           1203
#define ID_OPTIONS                  32810
#define IDS_OPTIONS_NOT_SAVED       300
#define IDS_LOGON_NOT_SAVED         301
#define IDS_PASS_INTERVAL_FIRST     302     // 302-306: the waits of kPassIntervals, in order
// Posted at start-up to hide the window into the notification area before it is ever shown.
#define WM_START_HIDDEN             2030

// A site's settings: the dialog, its controls, the command that opens it and its texts.
#define IDD_SITE_SETTINGS           140
#define IDC_SETTINGS_NAME           1150
#define IDC_SETTINGS_URL            1151
#define IDC_SETTINGS_INTERVAL       1152
#define IDC_SETTINGS_WHOLE_PAGE     1153
#define IDC_SETTINGS_TEXT_ONLY      1154
#define IDC_SETTINGS_FROM           1155
#define IDC_SETTINGS_TO             1156
#define IDC_SETTINGS_IGNORE         1157
#define IDC_SETTINGS_LAST_CHECK     1158
#define ID_SITE_SETTINGS            32800
#define IDS_INTERVAL_FIRST          260     // 260 to 266: the intervals in the order of kCheckIntervals
#define IDS_EMPTY_URL               270
#define IDS_SETTINGS_CAPTION        271
#define IDS_RANGE_TOO_LONG          272
#define IDS_RANGE_LINE_END          273
#define IDS_IGNORE_TOO_LONG         274
#define IDS_SETTINGS_NO_ENTRY       275
#define IDS_SETTINGS_WRITE_FAILED   276
#define IDS_SETTINGS_NO_MEMORY      277

// About box text lines (no ids of their own in the template).
#define IDC_STATIC                  (-1)
