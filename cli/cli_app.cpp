#include "cli/cli_app.h"

#include <windows.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <exception>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/win32/system_application.h"
#include "base/text.h"
#include "base/utf16.h"
#include "cli/backups_command.h"
#include "cli/console_output.h"
#include "cli/data_command.h"
#include "cli/ignore_command.h"
#include "cli/report.h"
#include "cli/schedule_command.h"
#include "cli/startup_command.h"
#include "platform/win32/com_scope.h"
#include "platform/win32/com_security.h"
#include "platform/win32/registry_editor_win32.h"
#include "platform/win32/system_library.h"
#include "repair/backup_file.h"
#include "repair/backup_list.h"
#include "repair/full_backup.h"
#include "state/data_folder.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {
namespace {

constexpr char kProgramName[] = "QuarveloCli.exe";
constexpr char kProgramDescription[] =
    "Quarvelo console: scans the Windows registry for entries that point at things that no "
    "longer exist.";
constexpr char kFixDescription[] =
    "Scan, then repair every problem found, after backing it up";
constexpr char kFixDetails[] =
    "Scans as the scan command does, then repairs every problem the scan found, as the main\n"
    "window's Fix Errors does: each registry key or value is written to a registry backup file\n"
    "(RCBak_<time>.reg in the backup folder) before it is deleted, and each shortcut is moved\n"
    "into a folder beside its list (QuarveloBak_<time>.bak) instead of being deleted. Nothing of\n"
    "the registry is deleted when the backup file cannot be created. A System Restore point is\n"
    "asked for first when the RESTOREPOINT setting is not 0, unless --no-restore-point; the report\n"
    "says whether Windows made a new one, kept one of the last 24 hours, or refused. A problem that\n"
    "cannot be repaired is reported with the reason and kept off the next scans. What the repair\n"
    "leaves broken (a key emptied of its last value, a ProgID whose class it removed) is repaired\n"
    "in the same run and the same backup when the REPAIRUNCOVERED setting is not 0, unless\n"
    "--leave-uncovered. The backup can be merged back with: QuarveloCli.exe restore <name>.\n"
    "Exit codes: 0 every problem fixed, 1 some could not be fixed, 2 usage or run error.\n\n";
constexpr char kBackupsDescription[] = "List the registry backups, newest first";
constexpr char kRestoreDescription[] =
    "Merge a backup back into the registry and move its shortcuts back";
constexpr char kRestoreDetails[] =
    "NAME is a name the backups command lists (RCBak_... for a repair, QuarveloBak_... for a\n"
    "full backup). The registry editor merges the file; the file is deleted only when the\n"
    "registry holds what it says afterwards, otherwise it stays and the first entry that\n"
    "differs is named. The shortcuts a repair moved aside go back where they were; when some\n"
    "cannot, they are named with the folder that holds them and the backup stays listed (its\n"
    "registry file then merges nothing again): restore it again once they can go back.\n"
    "Exit codes: 0 restored and confirmed, 1 not everything was restored (a missing registry\n"
    "file included), 2 usage or run error.\n";
constexpr char kBackupDescription[] =
    "Export the whole registry into a backup file of the backup folder";
constexpr char kScanDescription[] =
    "Scan the registry and report the problems found, grouped by category with their risk";
constexpr char kScanDetails[] =
    "The scan runs without the main window's display pauses. The safe list and the ignore list\n"
    "apply. It is recorded as a scan from the main window is: in the activity log, and under\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo as lastScan, the found count of each category\n"
    "(E + category name), its repaired count (F + category name) reset to 0, and itscanned\n"
    "(entries examined).\n"
    "It needs administrator rights (run it from an elevated prompt): without them the checks\n"
    "could open none of the machine's keys, so it stops before scanning, recording nothing,\n"
    "with exit code 2.\n\n";

// The categories with their risk and the exit codes, under every help text.
std::string HelpFooter() {
  std::string footer = "Categories (index, name, risk):\n";
  for (int i = 0; i < kCategoryCount; ++i) {
    std::string line = "  " + std::string(i < 10 ? " " : "") + std::to_string(i) + "  " +
                       ToUtf8(CategoryDisplayName(i));
    line.resize(std::max<std::size_t>(line.size() + 1, 36), ' ');
    footer += line + ToUtf8(CategoryRiskLabel(i)) + "\n";
  }
  footer +=
      "\nExit codes:\n"
      "  0  the scan completed and found no problems\n"
      "  1  the scan completed and found problems\n"
      "  2  usage error, run error, no administrator rights, or the scan was stopped (Ctrl+C)\n"
      "\nOutput: the text report goes to standard output (UTF-8 when redirected). --json writes\n"
      "UTF-8 JSON: {\"completed\", \"itemsScanned\", \"categories\": [{\"index\", \"name\",\n"
      "\"risk\", \"found\", \"checked\"}], \"problems\": [{\"category\", \"key\", \"name\",\n"
      "\"data\"}]}, problems in the order found. A progress line goes to standard error when it\n"
      "is a terminal, unless --quiet.\n";
  return footer;
}

// The engine the console handler cancels while a scan runs (the handler runs on a thread of its
// own; the engine lives until the application goes, after the handler has been removed).
std::atomic<CRegistryCleaner*> g_runningEngine{nullptr};
// While a repair runs Ctrl+C waits for it: an entry is always removed whole after its backup, and
// both backup files are closed, so the repair is never cut off half-way.
std::atomic<bool> g_repairRunning{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (g_repairRunning.load()) return TRUE;
  CRegistryCleaner* engine = g_runningEngine.load();
  if (engine == nullptr) return FALSE;
  engine->SetCancel(1);
  return TRUE;
}

// Keeps a progress line on standard error up to date and removes it at the end.
class CProgressLine {
 public:
  explicit CProgressLine(const CStdStream& stream) : m_stream(stream) {}
  ~CProgressLine() { Clear(); }
  CProgressLine(const CProgressLine&) = delete;
  CProgressLine& operator=(const CProgressLine&) = delete;

  void Show(int category, std::uint64_t items) {
    ShowText(TrFormat(kProgressScanning,
                      {IsValidCategory(category) ? CategoryShownName(category) : L"...",
                       std::to_wstring(items)}));
  }
  void ShowText(std::wstring line) {
    const std::size_t length = line.size();
    if (line.size() < m_length) line.append(m_length - line.size(), L' ');
    m_length = length;
    static_cast<void>(m_stream.WriteText(L"\r" + line));
  }
  void Clear() {
    if (m_length == 0) return;
    static_cast<void>(m_stream.WriteText(L"\r" + std::wstring(m_length, L' ') + L"\r"));
    m_length = 0;
  }

 private:
  const CStdStream& m_stream;
  std::size_t m_length = 0;
};

struct SCAN_ARGUMENTS {
  std::vector<int> categories;
  std::string json;  // UTF-8 path, "-" for standard output, empty for none
  bool quiet = false;
};

// Writes the JSON text to standard output ("-") or to the file; false (and said why) on failure.
bool WriteJson(const std::string& target, const std::string& json, const CStdStream& out,
               const CStdStream& err) {
  if (target == "-") return out.WriteUtf8(json);
  const DWORD error = WriteUtf8File(FromUtf8(target), json);
  if (error == ERROR_SUCCESS) return true;
  static_cast<void>(err.WriteText(
      Message(TrFormat(kJsonNotWritten, {FromUtf8(target), std::to_wstring(error)}))));
  return false;
}

// The scan of the scan and fix commands, recorded as the window records it. kExitError when it
// cannot run (no rights, nothing selected) or was stopped; otherwise -1 and *result.
int ScanAndRecord(CSystemApplication& app, const std::vector<int>& categories, bool showProgress,
                  const CStdStream& err, SCAN_RESULT* result) {
  const CPlatform& platform = app.Platform();
  // An ordinary user's scan would see none of the machine's keys and report a clean machine.
  if (ProbeScanAccess(platform.registry) == kErrorAccessDenied) {
    static_cast<void>(err.WriteText(Message(Tr(kScanNeedsAdministrator))));
    return kExitError;
  }
  app.LoadCategoryTable();
  app.LoadExclusionLists();

  CATEGORY_SELECTION selection{};
  if (categories.empty()) {
    selection = EnabledSelection(app.Categories());
  } else {
    for (int index : categories) selection[static_cast<std::size_t>(index)] = true;
  }
  if (!app.NewScan(selection)) {
    static_cast<void>(err.WriteText(Message(Tr(kNoCategoryToScan))));
    return kExitError;
  }

  CProgressLine progressLine(err);
  ScanProgress progress;
  if (showProgress && err.IsTerminal()) {
    progress = [&progressLine](int category, std::uint64_t items) {
      progressLine.Show(category, items);
    };
  }

  // Ctrl+C cancels this scan's engine (made above, kept until the application goes).
  g_runningEngine.store(app.Engine());
  const bool handlerSet = SetConsoleCtrlHandler(&OnConsoleControl, TRUE) != 0;
  *result = RunScan(*app.Engine(), selection, progress);
  if (handlerSet) SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  g_runningEngine.store(nullptr);
  progressLine.Clear();
  WriteNotices(err, result->notices);

  const ErrorCode recorded = app.RecordScan(*result);
  if (recorded != kErrorSuccess) {
    static_cast<void>(err.WriteText(Message(TrFormat(
        kScanNotRecorded, {ProductKeyPath(kProductName), std::to_wstring(recorded)}))));
  }
  return -1;
}

int RunScan(const SCAN_ARGUMENTS& arguments, const CStdStream& out, const CStdStream& err) {
  CSystemApplication app;
  WriteNotices(err, app.SecureDataFolders());
  SCAN_RESULT result;
  const int failed = ScanAndRecord(app, arguments.categories, !arguments.quiet, err, &result);
  if (failed >= 0) return failed;

  int status = kExitNoProblems;
  if (!arguments.json.empty() && !WriteJson(arguments.json, FormatJsonReport(result), out, err)) {
    status = kExitError;
  }
  if (!arguments.quiet && arguments.json != "-") {
    if (!out.WriteText(FormatTextReport(result))) status = kExitError;
  }
  if (status == kExitError) return kExitError;
  if (!result.completed) {
    static_cast<void>(err.WriteText(Message(Tr(kScanStoppedMessage))));
    return kExitError;
  }
  return result.problems.empty() ? kExitNoProblems : kExitProblemsFound;
}

struct FIX_ARGUMENTS {
  std::vector<int> categories;
  std::string json;
  bool quiet = false;
  bool noRestorePoint = false;
  bool leaveUncovered = false;
};

// The repair's reports on the console: a progress line when standard error is a terminal, the
// restore point's failure as a warning, and the completion recorded as the window records it.
class CConsoleRepairSink final : public IRepairSink {
 public:
  CConsoleRepairSink(CApplication& app, const CStdStream& err, bool showProgress)
      : m_app(app), m_err(err), m_line(err), m_progress(showProgress && err.IsTerminal()) {}

  void OnRestorePointStarting() override {
    if (m_progress) m_line.ShowText(std::wstring(Tr(kProgressRestorePoint)));
  }
  void OnRestorePointFailed() override {
    m_line.Clear();
    static_cast<void>(
        m_err.WriteText(Message(TrFormat(kWarningFormat, {Tr(kRestorePointOffMessage)}))));
  }
  void OnRestorePointEnded() override { m_line.Clear(); }
  void OnProblemStarting(std::size_t index, std::size_t count) override {
    if (!m_progress) return;
    const std::uint32_t now = GetTickCount();
    if (index + 1 != count && index != 0 && now - m_last < kProgressIntervalMs) return;
    m_last = now;
    m_line.ShowText(
        TrFormat(kProgressRepairing, {std::to_wstring(index + 1), std::to_wstring(count)}));
  }
  void OnRepairCompleted(const CRegistryCleaner& engine, const REPAIR_OUTCOME& outcome) override {
    m_line.Clear();
    m_recorded = m_app.CompleteRepair(engine, outcome);
  }
  [[nodiscard]] ErrorCode Recorded() const { return m_recorded; }

 private:
  CApplication& m_app;
  const CStdStream& m_err;
  CProgressLine m_line;
  bool m_progress;
  std::uint32_t m_last = 0;
  ErrorCode m_recorded = kErrorSuccess;
};

int RunFix(const FIX_ARGUMENTS& arguments, const CStdStream& out, const CStdStream& err) {
  // COM for the whole command, its security set before anything is marshalled: System Restore
  // calls back into the process that asks for a restore point.
  const CComScope com;
  static_cast<void>(SetComSecurityForSystemRestore());
  CSystemApplication app;
  WriteNotices(err, app.SecureDataFolders());
  SCAN_RESULT scan;
  const int failed = ScanAndRecord(app, arguments.categories, !arguments.quiet, err, &scan);
  if (failed >= 0) return failed;
  if (!scan.completed) {
    static_cast<void>(err.WriteText(Message(Tr(kScanStoppedNothingRepaired))));
    return kExitError;
  }

  REPAIR_OPTIONS options = app.RepairOptions();
  if (arguments.noRestorePoint) options.restorePoint = false;
  if (arguments.leaveUncovered) options.followUncovered = false;
  options.pacing = false;
  CConsoleRepairSink sink(app, err, !arguments.quiet);
  g_repairRunning.store(true);
  const bool handlerSet = SetConsoleCtrlHandler(&OnConsoleControl, TRUE) != 0;
  const REPAIR_OUTCOME outcome = app.RunRepairHere(sink, options);
  if (handlerSet) SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  g_repairRunning.store(false);

  if (sink.Recorded() != kErrorSuccess || app.SaveCategoryTable() != kErrorSuccess) {
    static_cast<void>(
        err.WriteText(Message(TrFormat(kCountsNotRecorded, {ProductKeyPath(kProductName)}))));
  }
  if (outcome.exclusionSaveError != kErrorSuccess) {
    static_cast<void>(err.WriteText(
        Message(TrFormat(kBlockedNotStored, {DecimalText(outcome.exclusionSaveError)}))));
  }

  int status = kExitNoProblems;
  if (!arguments.json.empty() && !WriteJson(arguments.json, FormatRepairJson(outcome), out, err)) {
    status = kExitError;
  }
  if (!arguments.quiet && arguments.json != "-") {
    if (!out.WriteText(FormatRepairText(outcome))) status = kExitError;
  }
  if (status == kExitError || !outcome.completed) return kExitError;
  return TallyRepair(outcome).notRepaired == 0 ? kExitNoProblems : kExitProblemsFound;
}

std::wstring BackupFolderPath(CSystemApplication& app) {
  return ProductDataFolderPath(app.Platform().shell, kBackupSubfolder);
}

int RunBackups(bool json, const CStdStream& out, const CStdStream& err) {
  CSystemApplication app;
  WriteNotices(err, app.SecureDataFolders());
  std::vector<BACKUP_ENTRY> entries;
  const ErrorCode listed = ListBackups(app.Platform().files, BackupFolderPath(app), &entries);
  if (listed != kErrorSuccess) {
    static_cast<void>(
        err.WriteText(Message(TrFormat(kBackupFolderNotListed, {DecimalText(listed)}))));
    return kExitError;
  }
  std::vector<BACKUP_ROW> rows;
  for (const BACKUP_ENTRY& entry : entries) {
    rows.push_back({entry.name, FormatBackupDate(app.Platform().clock, entry.lastWriteTime),
                    entry.file, BackupTrustText(entry),
                    BackupTrustText(entry, WORDING::kEnglish)});
  }
  const bool written = json ? out.WriteUtf8(FormatBackupsJson(rows))
                            : out.WriteText(FormatBackupsText(rows));
  return written ? 0 : kExitError;
}

int RunRestore(const std::string& utf8Name, const CStdStream& out, const CStdStream& err) {
  const std::wstring name = FromUtf8(utf8Name);
  if (!IsBackupName(name)) {
    static_cast<void>(err.WriteText(Message(TrFormat(kNotBackupName, {name}))));
    return kExitError;
  }
  CSystemApplication app;
  WriteNotices(err, app.SecureDataFolders());
  const std::wstring folder = BackupFolderPath(app);
  IFileSystem& files = app.Platform().files;
  const BACKUP_FILES parts = BackupFilesOf(files, folder, name);
  const std::wstring& registryFile = parts.registryFile;
  const std::wstring& shortcutList = parts.shortcutList;
  if (!files.FileExists(registryFile) &&
      (shortcutList.empty() || !files.FileExists(shortcutList))) {
    static_cast<void>(err.WriteText(Message(TrFormat(kNoSuchBackup, {name}))));
    return kExitError;
  }
  CWin32RegistryEditor editor;
  RESTORE_RESULT result;
  const ErrorCode restored =
      RestoreBackup(app.Platform(), editor, registryFile, shortcutList, &result, &app.Log());
  static_cast<void>(app.Log().WriteLog(L"Restored backup " + name + L", result " +
                                       DecimalText(restored)));
  if (!out.WriteText(FormatRestoreText(name, result))) return kExitError;
  return restored == kErrorSuccess ? 0 : 1;
}

int RunBackup(const CStdStream& out, const CStdStream& err) {
  CSystemApplication app;
  WriteNotices(err, app.SecureDataFolders());
  CWin32RegistryEditor editor;
  std::wstring path;
  const ErrorCode exported = RunFullBackup(app.Platform(), editor, &path);
  if (exported != kErrorSuccess) {
    static_cast<void>(err.WriteText(
        Message(TrFormat(kRegistryNotExported, {path, DecimalText(exported)}))));
    return 1;
  }
  return out.WriteText(TrFormat(kRegistryExported, {path}) + L"\n") ? 0 : kExitError;
}

// The process's current folder (GetCurrentDirectoryW), empty when it cannot be had.
std::wstring CurrentFolder() {
  std::wstring folder(MAX_PATH, L'\0');
  DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
  if (length >= folder.size()) {
    folder.resize(length);
    length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
  }
  if (length == 0 || length >= folder.size()) return {};
  folder.resize(length);
  return folder;
}

int RunCliChecked(const std::vector<std::wstring>& args) {
  const CStdStream out(STD_OUTPUT_HANDLE);
  const CStdStream err(STD_ERROR_HANDLE);

  CLI::App app(kProgramDescription, kProgramName);
  app.require_subcommand(1, 1);
  app.footer(HelpFooter());
  SCAN_ARGUMENTS arguments;
  CLI::App* scan = app.add_subcommand("scan", kScanDescription);
  scan->footer(kScanDetails + HelpFooter());
  scan->add_option("-c,--category", arguments.categories,
                   "Scan this category (index 0-10, see below); repeat for several. Default: "
                   "the categories enabled in the product key")
      ->type_name("N")
      ->check(CLI::Range(0, kCategoryCount - 1));
  scan->add_option("--json", arguments.json,
                   "Also write the report as UTF-8 JSON to FILE, or instead of the text report "
                   "to standard output with -")
      ->type_name("FILE|-");
  scan->add_flag("-q,--quiet", arguments.quiet,
                 "No progress line and no text report (the exit code and --json still tell)");

  FIX_ARGUMENTS fix;
  CLI::App* fixCommand = app.add_subcommand("fix", kFixDescription);
  fixCommand->footer(kFixDetails + HelpFooter());
  fixCommand->add_option("-c,--category", fix.categories,
                         "Scan and repair this category (index 0-10); repeat for several. "
                         "Default: the categories enabled in the product key")
      ->type_name("N")
      ->check(CLI::Range(0, kCategoryCount - 1));
  fixCommand->add_option("--json", fix.json,
                         "Also write the repair's report as UTF-8 JSON to FILE, or instead of "
                         "the text report to standard output with -")
      ->type_name("FILE|-");
  fixCommand->add_flag("--no-restore-point", fix.noRestorePoint,
                       "Make no System Restore point, whatever RESTOREPOINT says");
  fixCommand->add_flag("--leave-uncovered", fix.leaveUncovered,
                       "List what the repair leaves broken for the next scan instead of repairing "
                       "it too, whatever REPAIRUNCOVERED says");
  fixCommand->add_flag("-q,--quiet", fix.quiet, "No progress line and no text report");

  bool backupsJson = false;
  CLI::App* backupsCommand = app.add_subcommand("backups", kBackupsDescription);
  backupsCommand->add_flag("--json", backupsJson,
                           "UTF-8 JSON {\"backups\": [{\"name\", \"date\", \"file\", "
                           "\"trusted\", \"reason\"}]}");
  CBackupsDeleteCommand backupsDelete(*backupsCommand);

  std::string restoreName;
  CLI::App* restoreCommand = app.add_subcommand("restore", kRestoreDescription);
  restoreCommand->footer(kRestoreDetails);
  restoreCommand->add_option("NAME", restoreName, "The backup's name, as backups lists it")
      ->required();

  CLI::App* backupCommand = app.add_subcommand("backup", kBackupDescription);

  const CStartupCommand startupCommand(app);
  CIgnoreCommand ignore(app);
  CScheduleCommand scheduleCommand(app);
  const CDataCommand dataCommand(app);

  std::vector<std::string> utf8;
  utf8.reserve(args.size());
  for (const std::wstring& arg : args) utf8.push_back(ToUtf8(arg));
  if (utf8.empty()) utf8.emplace_back(kProgramName);
  std::vector<const char*> argv;
  for (const std::string& arg : utf8) argv.push_back(arg.c_str());

  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    std::ostringstream helpText;
    std::ostringstream errorText;
    const int code = app.exit(e, helpText, errorText);
    static_cast<void>(out.WriteText(FromUtf8(helpText.str())));
    static_cast<void>(err.WriteText(FromUtf8(errorText.str())));
    return code == 0 ? kExitNoProblems : kExitError;
  }
  if ((arguments.json.empty() && scan->count("--json") != 0) ||
      (fix.json.empty() && fixCommand->count("--json") != 0)) {
    static_cast<void>(err.WriteText(Message(Tr(kJsonNeedsTarget))));
    return kExitError;
  }
  // The relative paths of the command line name files of the folder it was started in; once they
  // are full, the system folder becomes the current one (nothing is then looked for or written in
  // a folder another account may write).
  const std::wstring startFolder = CurrentFolder();
  for (std::string* json : {&arguments.json, &fix.json}) {
    if (!json->empty() && *json != "-") *json = ToUtf8(FullPath(FromUtf8(*json), startFolder));
  }
  MakeSystemFolderCurrent();

  if (fixCommand->parsed()) return RunFix(fix, out, err);
  if (backupsDelete.Parsed()) return backupsDelete.Run(out, err);
  if (backupsCommand->parsed()) return RunBackups(backupsJson, out, err);
  if (ignore.Parsed()) return ignore.Run(out, err);
  if (restoreCommand->parsed()) return RunRestore(restoreName, out, err);
  if (backupCommand->parsed()) return RunBackup(out, err);
  if (startupCommand.Parsed()) return startupCommand.Run(out, err);
  if (scheduleCommand.Parsed()) return scheduleCommand.Run(out, err);
  if (dataCommand.Parsed()) return dataCommand.Run(out, err);
  return RunScan(arguments, out, err);
}

}  // namespace

int RunCli(const std::vector<std::wstring>& args) {
  try {
    return RunCliChecked(args);
  } catch (const std::exception& e) {
    const CStdStream err(STD_ERROR_HANDLE);
    static_cast<void>(err.WriteText(L"QuarveloCli: error: " + FromUtf8(e.what()) + L"\n"));
  } catch (...) {
    const CStdStream err(STD_ERROR_HANDLE);
    static_cast<void>(err.WriteText(L"QuarveloCli: error: unexpected failure\n"));
  }
  return kExitError;
}

}  // namespace qv
