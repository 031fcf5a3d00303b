// Resource and control ids of the library's windows. The two small dialogs keep the ids their
// callers and tests rely on.
#pragma once

// Icons.
#define IDI_PRODUCT 13100

// The repair progress dialog.
#define IDD_PROGRESS 230
#define IDC_PROGRESS_HEADING 1120
#define IDC_PROGRESS_ICON 449
#define IDC_PROGRESS_DETAIL 450
#define IDC_PROGRESS_BAR 1071

// The registry backup dialog.
#define IDD_REG_BACKUP 252
#define IDC_BACKUP_HEADING 1107
#define IDC_BACKUP_BAR 13053
#define IDC_BACKUP_DETAIL 418
#define IDC_BACKUP_ICON 443
#define IDC_BACKUP_CANCEL 471

// The main window and the pages: blank templates, their controls made in code.
#define IDD_MAIN 100
#define IDD_PAGE 101

// Main window controls.
#define IDC_NAV_FIRST 1000  // five navigation buttons, 1000-1004
#define IDC_HELP_BUTTON 1010
#define IDC_PAGE_TITLE 1011
#define IDC_SEPARATOR_FIRST 1012  // three separators, 1012-1014

// Scan options page.
#define IDC_OPTIONS_TITLE 2000
#define IDC_OPTIONS_STEP 2001
#define IDC_OPTIONS_SUBTITLE 2002
#define IDC_CATEGORY_CHECK_FIRST 2010  // eleven check boxes, 2010-2020
#define IDC_CATEGORY_NAME_FIRST 2030   // eleven name labels, 2030-2040
#define IDC_SUMMARY_CAPTION 2050
#define IDC_HEALTH_LABEL 2051
#define IDC_ADVICE_LABEL 2052
#define IDC_HEALTH_PICTURE 2053
#define IDC_SUMMARY_LAST_SCAN 2054
#define IDC_SUMMARY_FOUND 2055
#define IDC_SUMMARY_FIXED 2056
#define IDC_SCAN_NOW 2057
#define IDC_REPAIR_LINK 2058

// Scan progress page.
#define IDC_SCAN_HEADING 3000
#define IDC_SCAN_STEP 3001
#define IDC_SCAN_ENTRIES_CAPTION 3002
#define IDC_SCAN_ENTRY 3003
#define IDC_SCAN_STATUS_CAPTION 3004
#define IDC_SCAN_STATUS 3005
#define IDC_SCAN_COUNT_CAPTION 3006
#define IDC_SCAN_COUNT 3007
#define IDC_SCAN_BOTTOM 3008
#define IDC_SCAN_PROGRESS_CAPTION 3009
#define IDC_SCAN_PROGRESS 3010
#define IDC_SCAN_ANIMATION 3011
#define IDC_SCAN_REPORT 3012
#define IDC_STOP_SCAN 3013

// Scan results page.
#define IDC_RESULTS_TITLE 4000
#define IDC_RESULTS_STEP 4001
#define IDC_RESULTS_HEADING 4002
#define IDC_RESULTS_COLUMN_FIRST 4003  // three column captions, 4003-4005
#define IDC_FIX_ERRORS 4010
#define IDC_CREATE_BACKUP 4011
#define IDC_RESULTS_BACK 4012

// Statistics page.
#define IDC_STATS_TITLE 5000
#define IDC_STATS_SECTION 5001
#define IDC_STATS_NAME_FIRST 5010    // eleven names, 5010-5020
#define IDC_STATS_FOUND_FIRST 5030   // 5030-5040
#define IDC_STATS_FIXED_FIRST 5050   // 5050-5060
#define IDC_STATS_IGNORED_FIRST 5070 // 5070-5080
#define IDC_STATS_TOTAL_FOUND 5090
#define IDC_STATS_TOTAL_CLEANED 5091
#define IDC_STATS_TOTAL_IGNORED 5092
#define IDC_STATS_ITEMS_SCANNED 5093
#define IDC_STATS_DATE 5094
#define IDC_STATS_STATUS 5095
#define IDC_STATS_PICTURE 5096
#define IDC_STATS_FIX 5097
#define IDC_STATS_SCAN 5098
#define IDC_STATS_NOTES 5099  // the data folder's notes of this start, what the last unattended repair logged
#define IDC_STATS_COLUMN_FIRST 5100  // 5100-5102

// Containers.
#define IDC_CONTAINER_TAB_FIRST 6000  // tab buttons, 6000-6002
// Tab buttons of the backups and other-tools containers (the settings container's are 6000-6002).
#define IDC_TAB_BACKUPS 1126
#define IDC_TAB_RESTORE_POINTS 1127
#define IDC_TAB_MANAGE_STARTUPS 1128
#define IDC_TAB_DEFRAGMENT 1129
// Sub-pages: headings and information labels.
#define IDC_SUBPAGE_LABEL 1107
#define IDC_SUBPAGE_HEADING 2025
#define IDC_SUBPAGE_INFORMATION 2026
// Backups page.
#define IDC_BACKUP_LIST 1093
#define IDC_BACKUP_CREATE 419
#define IDC_BACKUP_RESTORE 2024
#define IDC_BACKUP_DELETE 1092
// Restore points page.
#define IDC_RESTORE_POINTS 2076
// Defragment page.
#define IDC_DEFRAGMENT 1129
// Ignore list page.
#define IDC_IGNORE_LIST 471
#define IDC_IGNORE_REMOVE 1096
// Startup manager page.
#define IDC_STARTUP_LIST 1091
#define IDC_STARTUP_APPLY 1079
// Schedule page.
#define IDC_SCHEDULE_LIST 2091
#define IDC_MANAGE_SCHEDULE 1106
// General settings page.
#define IDC_OPTION_CHECK_FIRST 1108  // six check boxes, 1108-1113, and a seventh, 1121
#define IDC_OPTION_LABEL_FIRST 1114  // their labels, 1114-1119, and 1122
#define IDC_CHECK_FOR_UPDATE 465
