// The fixed texts of the windows: captions, labels, messages, formats and the window messages
// between the launcher and the main window. Spelled exactly as shown to the user; change none.
#pragma once

namespace qv::ui {

// ---- Main window ----
inline constexpr wchar_t kMainCaption[] = L"Quarvelo";
inline constexpr wchar_t kNavTitleScan[] = L"Scan";
inline constexpr wchar_t kNavTitleSettings[] = L"Settings - General";
inline constexpr wchar_t kNavTitleBackups[] = L"Backups";
inline constexpr wchar_t kNavTitleOtherTools[] = L"Other Tools";
inline constexpr wchar_t kNavButtonScan[] = L"Scan";
inline constexpr wchar_t kNavButtonSettings[] = L"Settings";
inline constexpr wchar_t kNavButtonBackups[] = L"Backups";
inline constexpr wchar_t kNavButtonOtherTools[] = L"Other Tools";
inline constexpr wchar_t kNavButtonStatistics[] = L"Statistics";
inline constexpr wchar_t kHelpButton[] = L"Help";
inline constexpr wchar_t kSeparator[] = L"|";
inline constexpr wchar_t kWaitForScan[] =
    L"Please wait until the scan is complete. To cancel your scan press 'Stop Scan'";
inline constexpr wchar_t kWaitForFixing[] = L"Please wait until the Fixed Invalid Entries.";
inline constexpr wchar_t kCouldNotLaunch[] = L"Could not launch program.";

// The scan status word.
inline constexpr wchar_t kStatusStartedScan[] = L"Started Scan";
inline constexpr wchar_t kStatusStartedFixing[] = L"Started Fixing";
inline constexpr wchar_t kStatusScanComplete[] = L"Scanning Complete!";
inline constexpr wchar_t kStatusScanCancelled[] = L"Scan cancelled by user";
inline constexpr wchar_t kStatusFixedErrors[] = L"Fixed Error(s)";

// The updater and the help page. The hosts are of the .example domain: the updater and the web
// pages are outside the program. Both addresses are https: the updater is told where to look for
// a new program, which an attacker on the network must not be able to answer.
inline constexpr wchar_t kUpdaterProgram[] = L"QuarveloUpdater.exe";
inline constexpr wchar_t kLauncherProgram[] = L"Quarvelo.exe";
inline constexpr wchar_t kUpdateEndpoint[] = L"https://update.quarvelo.example/up3/update12.php";
inline constexpr wchar_t kHelpAddress[] = L"https://www.quarvelo.example/help.php";
inline constexpr wchar_t kUpdaterCommandFormat[] = L"\"%s\" %s,%s";
inline constexpr wchar_t kUpdaterRectFormat[] = L"#%d,%d,%d,%d";
// The tail names who started the updater: the main window (its start-up check, the update link,
// the updates export) or the general settings page's "Check for Update".
inline constexpr wchar_t kUpdaterTailMainWindow[] = L"#h";
inline constexpr wchar_t kUpdaterTailSettingsPage[] = L"#v";
inline constexpr wchar_t kCloseSwitch[] = L"-c";
// Logged when "CLOSEAFTER" cannot start the launcher to close this instance.
inline constexpr wchar_t kCloseAfterWithoutLauncherLog[] =
    L"Quarvelo.exe could not be started to close the program after the repair; the window closes "
    L"itself";

// Messages a second launcher posts to the running instance's main window.
inline constexpr unsigned kMsgStartScanRequest = 1126;  // "-t"
inline constexpr unsigned kMsgShowRequest = 1127;       // otherwise

// ---- Scan options page ----
inline constexpr wchar_t kOptionsTitle[] = L"Scan Options";
inline constexpr wchar_t kOptionsStep[] = L"Step 1 of 3";
inline constexpr wchar_t kOptionsSubtitle[] = L"Check the categories you want to scan";
inline constexpr wchar_t kSummaryCaption[] = L"Summary:";
inline constexpr wchar_t kHealthPrefix[] = L"PC Health is ";
inline constexpr wchar_t kHealthNormal[] = L"Normal";
inline constexpr wchar_t kHealthGood[] = L"Good";
inline constexpr wchar_t kHealthBad[] = L"Bad";
inline constexpr wchar_t kAdviceNeverScanned[] = L"No scan is performed for registry error(s).";
inline constexpr wchar_t kAdviceAllFixed[] = L"All identified registry error(s) are fixed.";
inline constexpr wchar_t kAdviceRepair[] = L"Repair all identified registry error(s).";
inline constexpr wchar_t kAdviceNoneFound[] = L"No registry error(s) found.";
inline constexpr wchar_t kScanNow[] = L"Scan Now";
inline constexpr wchar_t kRepairLink[] = L"Click to repair now";
inline constexpr wchar_t kSelectOneCategory[] =
    L"Please select atleast one category to scan for invalid entries";
inline constexpr wchar_t kSummaryLastScanFormat[] = L"Last scan date:\t\t\t%s";
inline constexpr wchar_t kSummaryFoundFormat[] = L"Error(s) Found:\t\t\t%d";
inline constexpr wchar_t kSummaryFixedFormat[] = L"Error(s) Fixed:\t\t\t%d";

// ---- Scan progress page ----
inline constexpr wchar_t kScanHeading[] = L"Scan in progress...";
inline constexpr wchar_t kScanStep[] = L"Step 2 of 3";
inline constexpr wchar_t kScanEntriesCaption[] = L"Scan Entries:";
inline constexpr wchar_t kScanStatusCaption[] = L"Scanning Status:";
inline constexpr wchar_t kProcessedCaption[] = L"Processed Entries:";
inline constexpr wchar_t kFindingInvalid[] = L"Finding Invalid Entries";
inline constexpr wchar_t kTotalProgressCaption[] = L"Total Progress:";
inline constexpr wchar_t kStopScan[] = L"Stop Scan";
inline constexpr wchar_t kInitiatingScan[] = L"Initiating Scan";
inline constexpr wchar_t kFinalizingScan[] = L"Finalizing Scan";
inline constexpr wchar_t kErrorsFoundFormat[] = L"%lld Error(s) found";
inline constexpr wchar_t kStopScanQuestion[] =
    L"Scan is in progress. Would you like to stop the scan?";
inline constexpr unsigned kScanEndPauseMs = 1700;
inline constexpr unsigned kEntryDisplayIntervalMs = 50;
inline constexpr int kProgressFull = 110;

// ---- Scan results page ----
inline constexpr wchar_t kResultsTitle[] = L"Scan Complete";
inline constexpr wchar_t kResultsStep[] = L"Step 3 of 3";
inline constexpr wchar_t kAttentionFormat[] = L"Attention! %d Error(s) found on your PC";
// Ours: the verdict after a repair that did not repair every selected entry (%1 repaired, %2
// selected, %3 still there), and after one that found every entry gone already.
inline constexpr wchar_t kPartlyFixedFormat[] =
    L"%1 of %2 selected registry error(s) are fixed; %3 could not be fixed. The activity log "
    L"says why.";
// (%1 repaired, %2 found and not ignored, %3 not selected and still there.)
inline constexpr wchar_t kLeftUnselectedFormat[] =
    L"%1 of %2 registry error(s) found are fixed; %3 not selected are still there.";
inline constexpr wchar_t kNothingRemoved[] =
    L"Nothing was removed: the selected registry error(s) were gone already.";
inline constexpr wchar_t kColumnSections[] = L"Registry Sections";
inline constexpr wchar_t kColumnErrorCount[] = L"Error Count";
inline constexpr wchar_t kColumnSelect[] = L"Select";
inline constexpr wchar_t kFixErrors[] = L"Fix Errors";
inline constexpr wchar_t kCreateBackup[] = L"Create Backup";
inline constexpr wchar_t kNothingSelectedLog[] = L"Nothing is selected";
inline constexpr wchar_t kSelectOneItem[] = L"Please select at least one item";
inline constexpr wchar_t kStartFixingLog[] = L"Start Fixing here";
inline constexpr wchar_t kNoErrorsFound[] = L"No Errors Found";
inline constexpr wchar_t kNoErrorsFoundRow[] = L"<br><font>No Errors Found</font>";
inline constexpr wchar_t kAdditionalItemsFormat[] =
    L"<br><font color=\"#A52A2A\"><b>( %d additional items found under this key)</b></font><br>";
inline constexpr wchar_t kDefaultValueName[] = L"(Default)";
inline constexpr wchar_t kRowTemplateFile[] =
    L"<font color=#ff0000><b>The file referenced doesn't exist.</b></font><br>Key: %2<br>%3=%4";
inline constexpr wchar_t kRowTemplateUninstall[] =
    L"<font color=#ff0000><b>The file referenced (%1) doesn't exist.</b></font><br><b>Key: </b> "
    L"%2<br>%3=%4";
inline constexpr wchar_t kRowTemplateSharedDll[] =
    L"<font color=#ff0000><b>The file referenced doesn't exist.</b></font><br><b>Key: </b>%2<br>"
    L"  Value: %3";
inline constexpr wchar_t kRowTemplateEmptyKey[] =
    L"<font color=#ff0000><b>The registry key contains no data.</b></font><br><b>Key: </b>:%1";
// The further line of a row that names what its check tested and found missing (%1, the
// evidence in words); the uninstall template names the file already and has none.
inline constexpr wchar_t kRowEvidenceLine[] = L"<br>%1";
inline constexpr unsigned kAutoRepairDelayMs = 200;

// ---- Statistics page ----
inline constexpr wchar_t kStatisticsTitle[] = L"Scan Results";
inline constexpr wchar_t kStatisticsSection[] = L"Scan Summary";
inline constexpr wchar_t kTotalFoundCaption[] = L"Error(s) Found: ";
inline constexpr wchar_t kTotalCleanedCaption[] = L"Error(s) Cleaned: ";
inline constexpr wchar_t kTotalIgnoredCaption[] = L"Error(s) Ignored: ";
inline constexpr wchar_t kItemsScannedCaption[] = L"Items Scanned: ";
inline constexpr wchar_t kLastScanDateFormat[] = L"Date and Time of last scan : %s ";
inline constexpr wchar_t kColumnFound[] = L"Found";
inline constexpr wchar_t kColumnFixed[] = L"Fixed";
inline constexpr wchar_t kColumnIgnored[] = L"Ignored";
// The names of the category rows, in category order (the third is not the category's own name).
inline constexpr const wchar_t* kStatisticsRowNames[] = {
    L"ActiveX/COM Objects", L"Uninstalled Files",   L"Fonts",
    L"Shared DLL",          L"Program Paths",       L"Help Files",
    L"Windows Startups",    L"File/Path References", L"Windows Shortcuts",
    L"Empty Registry Keys", L"File Association References"};

// ---- Repair progress dialog ----
inline constexpr wchar_t kRepairCaption[] = L"Registry Error Fixing";
inline constexpr wchar_t kRepairStartingHeading[] = L"Starting Registry Error(s) Fixing";
inline constexpr wchar_t kRepairStartingDetail[] =
    L"Please wait while Registry Error(s) Fixing starts.It might take up to a few minutes";
inline constexpr wchar_t kRestorePointHeading[] = L"Creating System Restore point";
inline constexpr wchar_t kRestorePointDetail[] =
    L"Please wait while creating System Restore point.It might take up to a few minutes";
inline constexpr wchar_t kFixingHeading[] = L"Fixing Registry Error(s)";
inline constexpr wchar_t kFixingDetail[] =
    L"Please wait while Fixing Registry Error(s).It might take up to a few minutes";
inline constexpr wchar_t kRepairDoneHeading[] = L"Repairing Registry Error(s) fixing is completed";
inline constexpr wchar_t kRepairDoneDetail[] = L"Registry Error(s) are fixed successfully.";
// Ours: the completion's detail when not every selected entry could be fixed.
inline constexpr wchar_t kRepairDonePartlyDetail[] = L"Not every registry error could be fixed.";
inline constexpr wchar_t kWaitForRepair[] = L"Please wait until error fixing is completed";
// What a repair tells afterwards: in a message box when the user started it, as a line of the
// activity log and of the statistics page when it ran by itself. (The restore point's failure has
// the repair's own text.)
inline constexpr wchar_t kRepairEndedEarlyFormat[] = L"The repair ended before it completed: %s";
inline constexpr wchar_t kNoRegistryBackupMessage[] =
    L"No registry backup file could be created, so no registry entry was removed.";
inline constexpr wchar_t kEntriesNotFixedFormat[] =
    L"%d of the selected entries could not be fixed; they are kept off the next scans. The "
    L"activity log names each one and why.";
inline constexpr wchar_t kUncoveredLeftFormat[] =
    L"The repair followed what it uncovered for %d rounds; the next scan lists what is left.";
inline constexpr unsigned kRepairStartDelayMs = 1000;
inline constexpr unsigned kRepairDonePauseMs = 1000;

// ---- Registry backup dialog ----
inline constexpr wchar_t kBackupCaption[] = L"Registry Backup";
inline constexpr wchar_t kBackupStartingHeading[] = L"Starting Registry Backup";
inline constexpr wchar_t kBackupDetail[] =
    L"Please wait while making Registry Backup.It might take up to a few minutes";
inline constexpr wchar_t kBackupRunningHeading[] = L"Registry Backup in progress";
inline constexpr wchar_t kBackupDoneHeading[] = L"Registry backup is completed";
inline constexpr wchar_t kBackupDoneDetail[] =
    L"Registry is successfully backed up to the selected file";
inline constexpr wchar_t kBackupDoneMessage[] = L"Successfully backup file has been created";
inline constexpr wchar_t kRestoreRunningHeading[] = L"Registry Restore in progress";
inline constexpr wchar_t kRestoreDetail[] =
    L"Please wait while making Registry Restore.It might take up to a few minutes";
inline constexpr wchar_t kRestoreDoneHeading[] = L"Registry Restore is completed";
inline constexpr wchar_t kRestoreDoneDetail[] =
    L"Registry is successfully restored from the selected file";
inline constexpr wchar_t kRestoreDoneMessage[] = L"Successfully restored seleted file";
inline constexpr wchar_t kWaitForBackup[] = L"Please wait until backup/restore is completed";

// ---- Containers of the settings, backups and other tools ----
inline constexpr wchar_t kTabSettings[] = L"Settings";
inline constexpr wchar_t kTabIgnoreList[] = L"Ignore List";
inline constexpr wchar_t kTabManageSchedule[] = L"Manage Schedule";
inline constexpr wchar_t kTabManageStartups[] = L"Manage Startups";
inline constexpr wchar_t kTabDefragment[] = L"Defragment";

// ---- Ignore list page ----
inline constexpr wchar_t kIgnoreColumnCategory[] = L"Category";
inline constexpr wchar_t kIgnoreColumnItems[] = L"Items";
inline constexpr int kIgnoreColumnCategoryWidth = 110;
inline constexpr int kIgnoreColumnItemsWidth = 420;
inline constexpr wchar_t kRemoveItem[] = L"Remove Item";

// ---- Backups and restore points pages (their log lines are the backups') ----
inline constexpr wchar_t kBackupsTitle[] = L"Information";
inline constexpr wchar_t kBackupsInformation[] =
    L"This will allow you to restore or remove registry backups, \ncreated during registry repair.";
inline constexpr wchar_t kBackupsTabButton[] = L"BacKups";
inline constexpr wchar_t kRestorePointsTabButton[] = L"Restore Points";
inline constexpr wchar_t kRestorePointsInformation[] =
    L"Windows Restore Points  save copies of your system settings so that allows for the rolling "
    L"back of system files,\n\n registry keys, installed programs, etc., to a previous state.";
inline constexpr wchar_t kRestorePointsButton[] = L"Restore Points";
inline constexpr wchar_t kCreateBackupButton[] = L"Create Backup";
inline constexpr wchar_t kRestoreButton[] = L"Restore";
inline constexpr wchar_t kDeleteButton[] = L"Delete";
inline constexpr wchar_t kBackupsColumnName[] = L"Backup";
inline constexpr wchar_t kBackupsColumnDate[] = L"Date and Time";
// Empty for a backup that is trusted, otherwise why not (BackupTrustText): it is not restored.
inline constexpr wchar_t kBackupsColumnTrust[] = L"Trust";
inline constexpr wchar_t kInformationCaption[] = L"Information";
inline constexpr wchar_t kWarningCaption[] = L"Warning";
inline constexpr wchar_t kNothingToRestore[] =
    L"Restore Information \n\n There are no items to restore.";
inline constexpr wchar_t kRestoreQuestion[] =
    L"Do you really want to Restore selected Restore Entries?";
inline constexpr wchar_t kNothingToRemove[] = L"Remove Error \n\n There Are No Items To Remove.";
inline constexpr wchar_t kDeleteQuestion[] = L"Do you really want to Delete selected Restore Entries?";
inline constexpr wchar_t kBackupsDeletedMessage[] =
    L"Succesfully, Selected Backup files has been deleted";
inline constexpr int kBackupsColumnNameWidth = 279;
inline constexpr int kBackupsColumnDateWidth = 258;
inline constexpr int kBackupsColumnTrustWidth = 160;

// ---- Defragment page ----
inline constexpr wchar_t kDefragHeading[] = L"Disk Defragmenter";
inline constexpr wchar_t kDefragInformation[] =
    L"Defragmentation is a process that reduces the amount of fragmentation in file systems.\n\n"
    L"It does this by physically organizing the contents of the disk to store the pieces of each "
    L"file close together and contiguously. ";
inline constexpr wchar_t kDefragmentButton[] = L"Defragment";

// ---- Schedule page (its heading is the schedule's) ----
inline constexpr wchar_t kManageSchedule[] = L"Manage Schedule";
// "Manage Schedule" when a task of the scan's name starts another program: its line (the
// schedule list shows it too), then what to do.
inline constexpr wchar_t kOtherProgramTaskAdvice[] =
    L" (not replaced, changed or deleted).\n\nTo schedule scans, rename or delete that task in "
    L"the Task Scheduler first.";

// ---- Startup manager page ----
inline constexpr wchar_t kStartupHeading[] = L"Information";
inline constexpr wchar_t kStartupDescription[] =
    L"Startup Programs are applicatoins that run each time you \nstart your computer. You can "
    L"enable/disable or remove them.";
inline constexpr wchar_t kStartupColumnStatus[] = L"Status";
inline constexpr wchar_t kStartupColumnName[] = L"Program Name";
inline constexpr wchar_t kStartupColumnPath[] = L"File Path";
inline constexpr wchar_t kStartupColumnLocation[] = L"Location";
inline constexpr int kStartupColumnStatusWidth = 45;
inline constexpr int kStartupColumnNameWidth = 110;
inline constexpr int kStartupColumnPathWidth = 120;
inline constexpr int kStartupColumnsFixedWidth = 275;  // the location takes the rest
inline constexpr wchar_t kApply[] = L"Apply";

}  // namespace qv::ui
