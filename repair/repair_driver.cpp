#include "repair/repair_driver.h"

#include <array>
#include <exception>
#include <memory>

#include "base/text.h"
#include "engine/key_naming.h"
#include "repair/backup_file.h"
#include "repair/backup_list.h"
#include "state/time_format.h"

namespace qv {
namespace {

constexpr std::array<std::wstring_view, kCategoryCount> kSuccessFormats = {
    L"Fixed COM/Activex Entries error %s\\%s=%s",
    L"Fixed Uninstall Entries error %s\\%s=%s",
    L"Fixed Font Entries error %s\\%s=%s",
    L"Fixed Shared Dlls error %s\\%s=%s",
    L"Fixed Application paths error %s\\%s=%s",
    L"Fixed Help file information error %s\\%s=%s",
    L"Fixed Windows start up error %s\\%s=%s",
    L"Fixed File path references error %s\\%s=%s",
    L"Fixed program shortcuts error %s\\%s=%s",
    L"Fixed Empty registry keys error %s\\%s=%s",
    L"Fixed File Associations error %s\\%s=%s",
};

// The start-up category keeps its menu-order entries as keys below this text.
constexpr std::wstring_view kMenuOrderMarker = L"MenuOrder\\";

// The format with its one "%d" replaced by the number, then its "%s" by the strings.
std::wstring FormatWithNumber(std::wstring_view format, std::int64_t number,
                              std::initializer_list<std::wstring_view> strings) {
  std::wstring text(format);
  const std::size_t at = text.find(L"%d");
  if (at != std::wstring::npos) text.replace(at, 2, DecimalText(number));
  return FormatWithStrings(text, strings);
}

void Log(const CRegistryCleaner& engine, std::wstring_view line) {
  if (engine.Log() != nullptr) static_cast<void>(engine.Log()->WriteLog(line));
}

bool IsMenuOrderKey(const CRegistryProblem& problem) {
  return problem.key.find(kMenuOrderMarker) != std::wstring::npos;
}

// The root a category's key repair works in; null for the categories whose root the path names.
RegHandle CategoryKeyRoot(int category) {
  switch (category) {
    case REGPROBLEM_COM:
    case REGPROBLEM_FILE_ASSOCIATION:
      return kHkeyClassesRoot;
    case REGPROBLEM_UNINSTALL:
    case REGPROBLEM_FONT:
    case REGPROBLEM_SHARED_DLL:
    case REGPROBLEM_APP_PATH:
    case REGPROBLEM_HELP_FILE:
      return kHkeyLocalMachine;
    case REGPROBLEM_EMPTY_KEY:
      return kHkeyUsers;
    default:
      return kNullRegHandle;
  }
}

// The root and subkey a key path names; a path without a root name lies under `fallback`.
void SplitKeyPath(std::wstring_view keyPath, RegHandle fallback, RegHandle* root,
                  std::wstring_view* subkey) {
  const PARSED_KEY_PATH parsed = ParseRootKey(keyPath);
  if (parsed.root == kNullRegHandle) {
    *root = fallback;
    *subkey = keyPath;
  } else {
    *root = parsed.root;
    *subkey = SubkeyPath(keyPath, parsed);
  }
}

bool KeyStillThere(IRegistry& registry, std::wstring_view keyPath, RegHandle fallback) {
  RegHandle root = kNullRegHandle;
  std::wstring_view subkey;
  SplitKeyPath(keyPath, fallback, &root, &subkey);
  if (root == kNullRegHandle) return false;
  CRegKey key(registry);
  return key.Open(root, subkey, kKeyRead) == kErrorSuccess;
}

bool ValueStillThere(IRegistry& registry, std::wstring_view keyPath, std::wstring_view name,
                     RegHandle fallback) {
  RegHandle root = kNullRegHandle;
  std::wstring_view subkey;
  SplitKeyPath(keyPath, fallback, &root, &subkey);
  if (root == kNullRegHandle) return false;
  CRegKey key(registry);
  if (key.Open(root, subkey, kKeyAllAccess) != kErrorSuccess) return false;
  // Read whole, whatever its size: a long value is as present as a short one.
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  return key.QueryRaw(name, &type, &data) == kErrorSuccess;
}

// The log line of what System Restore did; `time` is the kept point's time as shown.
std::wstring RestorePointLogLine(const RESTORE_POINT_OUTCOME& point, const std::wstring& time) {
  const std::wstring number = DecimalText(point.sequenceNumber);
  switch (point.result) {
    case RESTORE_POINT_RESULT::kCreated:
      return FormatWithStrings(kLogRestorePointCreated, {number});
    case RESTORE_POINT_RESULT::kReused:
      return time.empty() ? FormatWithStrings(kLogRestorePointUnconfirmed, {number})
                          : FormatWithStrings(kLogRestorePointReused, {number, time});
    case RESTORE_POINT_RESULT::kFailed:
      return FormatWithStrings(kLogRestorePointFailed,
                               {RestorePointStatusReason(point.status, WORDING::kEnglish),
                                DecimalText(point.status)});
    case RESTORE_POINT_RESULT::kUnavailable:
      break;
  }
  return kLogRestorePointUnavailable;
}

REPAIR_ITEM MakeItem(std::size_t index, const CRegistryProblem& problem, ErrorCode error) {
  REPAIR_ITEM item;
  item.index = index;
  item.category = static_cast<int>(problem.type);
  item.key = problem.key;
  item.name = problem.name;
  item.data = problem.data;
  item.error = error;
  return item;
}

// Blocks a problem the repair could not remove, or that came back. Without an open registry
// backup file there is nowhere to write the block's undo section: nothing is blocked then.
bool Block(CExclusionLists& exclusions, CBackupFile* backup, const CRegistryProblem& problem) {
  if (backup == nullptr || !backup->IsOpen()) return false;
  return exclusions.BlockProblem(problem, *backup) == kErrorSuccess;
}

class CRepairRun {
 public:
  CRepairRun(CRegistryCleaner& engine, CExclusionLists& exclusions, const REPAIR_OPTIONS& options,
             IRepairSink& sink)
      : m_engine(engine),
        m_exclusions(exclusions),
        m_options(options),
        m_sink(sink),
        m_backups(engine.Platform()),
        m_sweep(engine.Platform()) {}

  REPAIR_OUTCOME Run() {
    try {
      RunToCompletion();
    } catch (const std::exception& e) {
      Abort(FromRuntimeText(e.what()));
    } catch (...) {
      Abort(L"unknown exception");
    }
    if (!m_outcome.completed) return m_outcome;

    // The registry backup stays when it holds anything to merge back: whatever the sweep really
    // deleted (every key and value, the part of a tree removed before its repair failed
    // included), the undo section of a block, or (with nothing of the registry deleted) the
    // shortcuts this repair moved, whose list a restore finds by the backup's name.
    const std::size_t keep = m_sweep.DeletedCount() + m_blocked + m_shortcutsMoved;
    if (keep != 0) m_outcome.registryBackupPath = m_backups.RegistryFilePath();
    KeepFirstError(m_backups.EndRegistryBackup(keep));

    m_repaired.clear();
    m_engine.Problems().Clear();
    m_engine.ForgetPaths();
    m_outcome.exclusionSaveError = m_exclusions.SaveExclusionListsIfChanged();
    return m_outcome;
  }

 private:
  void RunToCompletion() {
    Log(m_engine, kLogStartedFixing);
    if (m_options.restorePoint) CreateRestorePoint();
    m_sink.OnRestorePointEnded();
    Pause(kRestorePointPauseMs);

    OpenBackups();
    Log(m_engine, kLogGettingCount);
    Log(m_engine, kLogCheckedRegistry);
    Log(m_engine, kLogDeclaredProblems);
    m_repaired.clear();
    RepairEach();

    const std::size_t moved =
        m_backups.ShortcutBackup() != nullptr ? m_backups.ShortcutBackup()->MovedCount() : 0;
    if (moved != 0) m_outcome.shortcutListPath = m_backups.ShortcutListPath();
    KeepFirstError(m_backups.EndShortcutBackup());
    m_sink.OnRepairCompleted(m_engine);
    m_outcome.completed = true;
    Verify();
  }

  void Pause(std::uint32_t milliseconds) {
    if (m_options.pacing) m_engine.Platform().clock.Sleep(milliseconds);
  }

  void KeepFirstError(ErrorCode rc) {
    if (m_outcome.backupEndError == kErrorSuccess) m_outcome.backupEndError = rc;
  }

  void CreateRestorePoint() {
    m_outcome.restorePointAsked = true;
    m_sink.OnRestorePointStarting();
    Log(m_engine, kLogCreatingRestorePoint);
    if (m_options.systemRestore != nullptr) {
      m_outcome.restorePoint = m_options.systemRestore->CreateRestorePoint(kRestorePointDescription);
    }
    const RESTORE_POINT_OUTCOME& point = m_outcome.restorePoint;
    if (point.result == RESTORE_POINT_RESULT::kReused && point.time) {
      IClock& clock = m_engine.Platform().clock;
      m_outcome.restorePointTime = FormatTime(kBackupDateFormat, clock.ToLocalTime(*point.time));
    }
    Log(m_engine, RestorePointLogLine(point, m_outcome.restorePointTime));
    const bool made = point.result == RESTORE_POINT_RESULT::kCreated ||
                      point.result == RESTORE_POINT_RESULT::kReused;
    if (made && !point.ended) {
      Log(m_engine, FormatWithStrings(kLogRestorePointNotEnded, {DecimalText(point.sequenceNumber),
                                                                 DecimalText(point.endStatus)}));
    }
    if (point.result == RESTORE_POINT_RESULT::kFailed) m_sink.OnRestorePointFailed();
  }

  void OpenBackups() {
    m_outcome.registryBackupError = m_backups.OpenBackUpRegistryFile();
    Log(m_engine, kLogOpenBackUpRegistryFile);
    if (m_outcome.registryBackupError != kErrorSuccess) {
      Log(m_engine, FormatWithNumber(kLogNoRegistryBackup, m_outcome.registryBackupError,
                                     {m_backups.RegistryFilePath()}));
    }
    m_outcome.shortcutBackupError = m_backups.OpenBackUpShrtctFile();
    Log(m_engine, kLogOpenBackUpShrtctFile);
    m_sweep.SetRegBackupFile(m_backups.RegistryFile());
    Log(m_engine, kLogSweepSetRegBackupFile);
    m_sweep.SetLnkBackupFile(m_backups.ShortcutBackup());
    Log(m_engine, kLogSweepSetLnkBackupFile);
  }

  void RepairEach() {
    CProblemList& problems = m_engine.Problems();
    const std::size_t count = problems.size();
    for (std::size_t i = 0; i < count; ++i) {
      m_sink.OnProblemStarting(i, count);
      Pause(kProblemPauseMs);
      CRegistryProblem* problem = problems.At(i);
      if (problem == nullptr) continue;
      Log(m_engine, std::wstring(kLogTryingToFix) + problem->key);
      const int category = static_cast<int>(problem->type);
      if (!problem->selected || !m_engine.ScanCategory(category)) {
        ++m_outcome.skipped;
        continue;
      }
      Log(m_engine, FormatWithNumber(kLogFixingErrorNumber, static_cast<std::int64_t>(i) + 1, {}));
      const ErrorCode result = RepairByCategory(m_sweep, *problem);
      After(i, *problem, result);
    }
  }

  void After(std::size_t index, CRegistryProblem& problem, ErrorCode result) {
    const int category = static_cast<int>(problem.type);
    REPAIR_ITEM item = MakeItem(index, problem, result);
    // A registry entry already gone is as good as repaired; a shortcut that was not there to be
    // moved is a failure.
    const bool alreadyGone = result == kErrorFileNotFound && category != REGPROBLEM_SHORTCUT;
    if (result == kErrorSuccess || alreadyGone) {
      Log(m_engine, FormatWithStrings(RepairSuccessFormat(category),
                                      {problem.key, problem.name, problem.data}));
      m_engine.CountFixed(category);
      if (category == REGPROBLEM_SHORTCUT) {
        ++m_shortcutsMoved;
      } else if (result == kErrorSuccess) {
        m_repaired.push_back({index, &problem});
      }
      m_outcome.fixed.push_back(std::move(item));
      return;
    }
    Log(m_engine, FormatWithNumber(kLogFailedToFix, static_cast<std::int64_t>(result),
                                   {problem.key, problem.name}) +
                      FormatWithStrings(kLogFailureReasonFormat,
                                        {RepairFailureReason(result, WORDING::kEnglish)}));
    // A shortcut that could not be moved is where it was; a scan finds it again.
    if (category != REGPROBLEM_SHORTCUT && result != kErrorNoBackupFile) {
      item.blocked = Block(m_exclusions, m_backups.RegistryFile(), problem);
      if (item.blocked) ++m_blocked;
    }
    m_outcome.failed.push_back(std::move(item));
  }

  void Verify() {
    IRegistry& registry = m_engine.Platform().registry;
    for (const auto& [index, problem] : m_repaired) {
      if (!RepairedEntryStillPresent(registry, *problem)) continue;
      REPAIR_ITEM item = MakeItem(index, *problem, kErrorSuccess);
      item.blocked = Block(m_exclusions, m_backups.RegistryFile(), *problem);
      if (item.blocked) ++m_blocked;
      m_outcome.stillPresent.push_back(std::move(item));
    }
  }

  void Abort(std::wstring message) {
    if (message.size() > kLogCrashMessageMaxChars) message.resize(kLogCrashMessageMaxChars);
    Log(m_engine, std::wstring(kLogCrash) + message);
    m_outcome.completed = false;
    m_outcome.abortMessage = std::move(message);
    // Both files are closed and kept, whatever they hold.
    if (m_backups.ShortcutBackup() != nullptr) {
      m_outcome.shortcutListPath = m_backups.ShortcutListPath();
      KeepFirstError(m_backups.ShortcutBackup()->List().Close());
    }
    if (m_backups.RegistryFile() != nullptr) {
      m_outcome.registryBackupPath = m_backups.RegistryFilePath();
      KeepFirstError(m_backups.RegistryFile()->Close());
    }
  }

  // Exception texts are 8-bit; only their ASCII part is kept as it is.
  static std::wstring FromRuntimeText(const char* text) {
    std::wstring result;
    for (const char* c = text != nullptr ? text : ""; *c != '\0'; ++c) {
      const auto byte = static_cast<unsigned char>(*c);
      result.push_back(byte < 0x80 ? static_cast<wchar_t>(byte) : L'?');
    }
    return result;
  }

  struct REPAIRED {
    std::size_t index;
    CRegistryProblem* problem;
  };

  CRegistryCleaner& m_engine;
  CExclusionLists& m_exclusions;
  const REPAIR_OPTIONS& m_options;
  IRepairSink& m_sink;
  CRepairBackups m_backups;
  CCleanSweep m_sweep;
  std::vector<REPAIRED> m_repaired;
  std::size_t m_shortcutsMoved = 0;
  std::size_t m_blocked = 0;
  REPAIR_OUTCOME m_outcome;
};

}  // namespace

std::wstring_view RestorePointStatusReason(std::uint32_t status, WORDING wording) {
  switch (status) {
    case kRestoreStatusServiceDisabled:
      return Tr(kRestoreStatusOff, wording);
    case kRestoreStatusSafeMode:
      return Tr(kRestoreStatusSafeModeText, wording);
    case kRestoreStatusDiskFull:
      return Tr(kRestoreStatusDiskFullText, wording);
    case kRestoreStatusInternalError:
      return Tr(kRestoreStatusInternalErrorText, wording);
    case kRestoreStatusInvalidSequence:
      return Tr(kRestoreStatusInvalidSequenceText, wording);
    case kRestoreStatusTimeout:
      return Tr(kRestoreStatusTimeoutText, wording);
    case kRestoreStatusSuccess:
      return Tr(kRestoreStatusNoReason, wording);
    default:
      return Tr(kRestoreStatusRefused, wording);
  }
}

std::wstring_view RepairSuccessFormat(int category) {
  return IsValidCategory(category) ? kSuccessFormats[static_cast<std::size_t>(category)]
                                   : std::wstring_view();
}

ErrorCode RepairByCategory(CCleanSweep& sweep, const CRegistryProblem& problem) {
  const int category = static_cast<int>(problem.type);
  switch (category) {
    case REGPROBLEM_COM:
    case REGPROBLEM_EMPTY_KEY:
    case REGPROBLEM_FILE_ASSOCIATION:
      return sweep.CleanKey(CategoryKeyRoot(category), problem.key);
    case REGPROBLEM_UNINSTALL:
      return sweep.CleanKey(kHkeyLocalMachine, JoinPath(problem.key, problem.name));
    case REGPROBLEM_FONT:
    case REGPROBLEM_SHARED_DLL:
    case REGPROBLEM_HELP_FILE:
      return sweep.CleanValue(kHkeyLocalMachine, problem.key, problem.name);
    case REGPROBLEM_APP_PATH:
      // The application's own key below App Paths; its default value names the program.
      return sweep.CleanValue(kHkeyLocalMachine, JoinPath(problem.key, problem.name), L"");
    case REGPROBLEM_STARTUP:
      if (IsMenuOrderKey(problem)) return sweep.CleanKey(kHkeyCurrentUser, problem.key);
      return sweep.CleanValue(kNullRegHandle, problem.key, problem.name);
    case REGPROBLEM_FILE_PATH:
      return sweep.CleanValue(kNullRegHandle, problem.key, problem.name);
    case REGPROBLEM_SHORTCUT:
      return sweep.MoveShortcut(problem.key);
    default:
      return static_cast<ErrorCode>(-1);
  }
}

bool RepairedEntryStillPresent(IRegistry& registry, const CRegistryProblem& problem) {
  const int category = static_cast<int>(problem.type);
  const RegHandle fallback = CategoryKeyRoot(category);
  switch (category) {
    case REGPROBLEM_COM:
    case REGPROBLEM_EMPTY_KEY:
    case REGPROBLEM_FILE_ASSOCIATION:
      return KeyStillThere(registry, problem.key, fallback);
    case REGPROBLEM_UNINSTALL:
      return KeyStillThere(registry, JoinPath(problem.key, problem.name), fallback);
    case REGPROBLEM_FONT:
    case REGPROBLEM_SHARED_DLL:
    case REGPROBLEM_HELP_FILE:
    case REGPROBLEM_FILE_PATH:
      return ValueStillThere(registry, problem.key, problem.name, fallback);
    case REGPROBLEM_APP_PATH:
      return ValueStillThere(registry, JoinPath(problem.key, problem.name), L"", fallback);
    case REGPROBLEM_STARTUP:
      // Looked for as what the repair removed: a menu-order key as a key, a Run entry as a value
      // (its Run key stays, whichever root it is in).
      if (IsMenuOrderKey(problem)) return KeyStillThere(registry, problem.key, kHkeyCurrentUser);
      return ValueStillThere(registry, problem.key, problem.name, fallback);
    default:
      return false;
  }
}

REPAIR_OUTCOME RepairProblems(CRegistryCleaner& engine, CExclusionLists& exclusions,
                              const REPAIR_OPTIONS& options, IRepairSink& sink) {
  CRepairRun run(engine, exclusions, options, sink);
  return run.Run();
}

}  // namespace qv
