#include "repair/repair_driver.h"

#include <array>
#include <exception>
#include <memory>
#include <unordered_set>

#include "base/text.h"
#include "engine/key_naming.h"
#include "engine/repair_chains.h"
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

// The roots a category repairs in (null for the categories whose root the key names).
RegHandle DefaultCategoryRoot(int category) {
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

// The root a problem's repair works in: the root its key names when the category repairs there,
// otherwise the category's own root (which the sweep then refuses for a key naming another).
// Classes problems lie in the machine's or the current user's classes, or are named by the
// merged view; uninstall entries and application paths in the machine's or the user's software.
RegHandle CategoryKeyRoot(const CRegistryProblem& problem) {
  const int category = static_cast<int>(problem.type);
  const RegHandle fallback = DefaultCategoryRoot(category);
  const RegHandle named = ParseRootKey(problem.key).root;
  switch (category) {
    case REGPROBLEM_COM:
    case REGPROBLEM_FILE_ASSOCIATION:
      if ((named == kHkeyLocalMachine || named == kHkeyCurrentUser) &&
          IsClassesKeyText(problem.key)) {
        return named;
      }
      return fallback;
    case REGPROBLEM_UNINSTALL:
    case REGPROBLEM_APP_PATH:
      return named == kHkeyCurrentUser ? named : fallback;
    default:
      return fallback;
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
    FollowUncovered();

    const std::size_t moved =
        m_backups.ShortcutBackup() != nullptr ? m_backups.ShortcutBackup()->MovedCount() : 0;
    if (moved != 0) m_outcome.shortcutListPath = m_backups.ShortcutListPath();
    KeepFirstError(m_backups.EndShortcutBackup());
    // The counts the completion reports are those of entries really gone.
    Verify();
    m_outcome.deleted = m_sweep.DeletedCount();
    m_outcome.shortcutsMoved = m_shortcutsMoved;
    m_outcome.completed = true;
    m_sink.OnRepairCompleted(m_engine, m_outcome);
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
    REPAIR_ITEM item = MakeItem(index, problem, result);
    if (Settle(problem, result, &item)) {
      m_outcome.fixed.push_back(std::move(item));
    } else {
      m_outcome.failed.push_back(std::move(item));
    }
  }

  // What a problem's repair result means: logged, counted and kept for the second look when it
  // is repaired (true), logged and blocked when it is not. What it changed in the registry goes
  // to the changes the next look at what the repair uncovered starts from.
  bool Settle(CRegistryProblem& problem, ErrorCode result, REPAIR_ITEM* item) {
    const int category = static_cast<int>(problem.type);
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
        m_repaired.push_back({item->index, &problem});
        const REPAIR_TARGET target = RepairTargetOf(problem);
        m_changes.push_back({target.keyPath, target.valueName, target.kind == REPAIR_TARGET::kKey});
      }
      return true;
    }
    Log(m_engine, FormatWithNumber(kLogFailedToFix, static_cast<std::int64_t>(result),
                                   {problem.key, problem.name}) +
                      FormatWithStrings(kLogFailureReasonFormat,
                                        {RepairFailureReason(result, WORDING::kEnglish)}));
    // A shortcut that could not be moved is where it was; a scan finds it again.
    if (category != REGPROBLEM_SHORTCUT && result != kErrorNoBackupFile) {
      item->blocked = Block(m_exclusions, m_backups.RegistryFile(), problem);
      if (item->blocked) ++m_blocked;
    }
    return false;
  }

  // The rounds of what the repairs uncovered (see the top of repair_driver.h).
  void FollowUncovered() {
    std::unordered_set<std::wstring> known;
    const CProblemList& problems = m_engine.Problems();
    for (std::size_t i = 0; i < problems.size(); ++i) {
      if (const CRegistryProblem* problem = problems.At(i)) {
        known.insert(UncoveredIdentity(*problem));
      }
    }
    std::vector<REGISTRY_CHANGE> changes = std::move(m_changes);
    for (int round = 1; !changes.empty(); ++round) {
      std::vector<UNCOVERED_PROBLEM> found = FindUncoveredProblems(m_engine, changes, &known);
      if (found.empty()) return;
      const bool follow = m_options.followUncovered && round <= kMaxUncoveredRounds;
      if (m_options.followUncovered && !follow) {
        m_outcome.uncoveredRoundLimit = true;
        Log(m_engine, FormatWithNumber(kLogUncoveredRoundLimit, kMaxUncoveredRounds, {}));
      }
      m_changes.clear();
      for (UNCOVERED_PROBLEM& uncovered : found) {
        CRegistryProblem& problem = *m_uncovered.emplace_back(std::move(uncovered.problem));
        const std::wstring because = changes[uncovered.because].Text();
        REPAIR_ITEM item = MakeItem(0, problem, kErrorSuccess);
        item.because = because;
        item.round = round;
        // Found either way: what is only listed is found and not fixed.
        m_engine.CountUncovered(static_cast<int>(problem.type));
        if (!follow) {
          Log(m_engine,
              FormatWithStrings(kLogUncoveredListed, {because, problem.key, problem.name}));
          m_outcome.uncovered.push_back(std::move(item));
          continue;
        }
        Log(m_engine, FormatWithStrings(kLogUncovered, {because, problem.key, problem.name}));
        item.error = RepairByCategory(m_sweep, problem);
        static_cast<void>(Settle(problem, item.error, &item));
        m_outcome.chained.push_back(std::move(item));
      }
      if (!follow) return;
      changes = std::move(m_changes);
    }
  }

  void Verify() {
    IRegistry& registry = m_engine.Platform().registry;
    for (const auto& [index, problem] : m_repaired) {
      if (!RepairedEntryStillPresent(registry, *problem)) continue;
      m_engine.UncountFixed(static_cast<int>(problem->type));
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
  std::vector<REGISTRY_CHANGE> m_changes;  // what the repairs of the round at hand changed
  std::vector<std::unique_ptr<CRegistryProblem>> m_uncovered;  // found by FollowUncovered
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

REPAIR_TARGET RepairTargetOf(const CRegistryProblem& problem) {
  const int category = static_cast<int>(problem.type);
  const RegHandle root = CategoryKeyRoot(problem);
  switch (category) {
    case REGPROBLEM_COM:
    case REGPROBLEM_EMPTY_KEY:
    case REGPROBLEM_FILE_ASSOCIATION:
      return {REPAIR_TARGET::kKey, root, problem.key, L""};
    case REGPROBLEM_UNINSTALL:
      return {REPAIR_TARGET::kKey, root, JoinPath(problem.key, problem.name), L""};
    case REGPROBLEM_FONT:
    case REGPROBLEM_SHARED_DLL:
    case REGPROBLEM_HELP_FILE:
      return {REPAIR_TARGET::kValue, kHkeyLocalMachine, problem.key, problem.name};
    case REGPROBLEM_APP_PATH:
      // The application's own key below App Paths; its default value names the program.
      return {REPAIR_TARGET::kValue, root, JoinPath(problem.key, problem.name), L""};
    case REGPROBLEM_STARTUP:
      if (IsMenuOrderKey(problem)) return {REPAIR_TARGET::kKey, kHkeyCurrentUser, problem.key, L""};
      return {REPAIR_TARGET::kValue, kNullRegHandle, problem.key, problem.name};
    case REGPROBLEM_FILE_PATH:
      return {REPAIR_TARGET::kValue, kNullRegHandle, problem.key, problem.name};
    case REGPROBLEM_SHORTCUT:
      return {REPAIR_TARGET::kShortcut, kNullRegHandle, problem.key, L""};
    default:
      return {};
  }
}

ErrorCode RepairByCategory(CCleanSweep& sweep, const CRegistryProblem& problem) {
  const REPAIR_TARGET target = RepairTargetOf(problem);
  switch (target.kind) {
    case REPAIR_TARGET::kKey: return sweep.CleanKey(target.root, target.keyPath);
    case REPAIR_TARGET::kValue:
      return sweep.CleanValue(target.root, target.keyPath, target.valueName);
    case REPAIR_TARGET::kShortcut: return sweep.MoveShortcut(target.keyPath);
    case REPAIR_TARGET::kNone: break;
  }
  return static_cast<ErrorCode>(-1);
}

bool RepairedEntryStillPresent(IRegistry& registry, const CRegistryProblem& problem) {
  // Looked for as what the repair removed: a key as a key, a value as a value (a Run entry's Run
  // key stays, whichever root it is in); a shortcut is never looked at.
  const REPAIR_TARGET target = RepairTargetOf(problem);
  switch (target.kind) {
    case REPAIR_TARGET::kKey: return KeyStillThere(registry, target.keyPath, target.root);
    case REPAIR_TARGET::kValue:
      return ValueStillThere(registry, target.keyPath, target.valueName, target.root);
    default: return false;
  }
}

REPAIR_TALLY TallyRepair(const REPAIR_OUTCOME& outcome) {
  REPAIR_TALLY tally;
  std::size_t chainedFailed = 0;
  for (const REPAIR_ITEM& item : outcome.chained) {
    if (item.error != kErrorSuccess && item.error != kErrorFileNotFound) ++chainedFailed;
  }
  tally.notRepaired = outcome.failed.size() + chainedFailed + outcome.stillPresent.size();
  // Every entry still there was counted repaired first.
  const std::size_t gone = outcome.fixed.size() + outcome.chained.size() - chainedFailed;
  tally.repaired = gone - std::min(gone, outcome.stillPresent.size());
  tally.selected = tally.repaired + tally.notRepaired;
  tally.changedAnything = outcome.deleted != 0 || outcome.shortcutsMoved != 0;
  tally.leftUncovered = outcome.uncovered.size();
  return tally;
}

REPAIR_OUTCOME RepairProblems(CRegistryCleaner& engine, CExclusionLists& exclusions,
                              const REPAIR_OPTIONS& options, IRepairSink& sink) {
  CRepairRun run(engine, exclusions, options, sink);
  return run.Run();
}

}  // namespace qv
