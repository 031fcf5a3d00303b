// The repair of the last scan's problems: the thread procedure that the progress dialog starts
// and the console runs on its own thread, reporting to a sink.
//
// In order: "Started fixing..." in the log; the restore point when asked for; the registry backup
// file and the shortcut backup; every problem of the list, in list order (only a selected one of
// a category the scan ran is repaired); then what those repairs uncovered (below); a second look
// at what was repaired; the completion report; the end of both backup files; the problem list
// released and the exclusion lists saved.
//
// What a repair uncovers: deleting an entry may leave another broken (a key emptied of its last
// value, a ProgID whose class is gone: engine/repair_chains.h). After the list, the checks look
// again at what the repairs changed, and only there; what they find is repaired in the same run,
// into the same backup file, and that round's changes are looked at in turn, for at most
// kMaxUncoveredRounds rounds. With REPAIR_OPTIONS::followUncovered off, what they find is only
// listed (the next scan finds it).
//
// Nothing is deleted without its backup on disk: a key's whole tree or a value is written to the
// registry backup file first, a shortcut is moved into the shortcut folder and listed. When the
// registry backup file cannot be created, no registry entry is deleted in that repair (each
// fails with kErrorNoBackupFile) and the outcome says so.
//
// A problem's result:
//   0   repaired: counted as fixed for its category, looked at again before the completion;
//   2   the entry was already gone: counted as fixed, not looked at again;
//   other  failed: logged with the failure line and its reason, not counted, and blocked (its
//       undo section goes to the registry backup file) so the next scan does not offer it again.
//       A failure of the repair's own making (no backup file) blocks nothing: the entry is as it
//       was. An entry outside its category's root is never touched: it fails with 6.
// A repaired entry still there when looked at again (whatever its size) is blocked the same way,
// and no longer counted as fixed.
//
// The registry backup file is deleted at the end only when the repair deleted nothing of the
// registry (by what the sweep really deleted, not by the fixed counts), blocked nothing and moved
// no shortcut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "engine/exclusion_lists.h"
#include "engine/registry_cleaner.h"
#include "engine/registry_problem.h"
#include "platform/system_restore.h"
#include "repair/clean_sweep.h"
#include "repair/repair_texts.h"

namespace qv {

// Window message numbers of the repair protocol (sent synchronously, wParam and lParam 0).
inline constexpr unsigned kMsgRepairCompleted = 1580;
inline constexpr unsigned kMsgRestorePointEnded = 1588;
inline constexpr unsigned kMsgRestorePointStarting = 1589;
inline constexpr unsigned kMsgProblemStarting = 1590;

// The repair's log lines, in the order they are written.
inline constexpr wchar_t kLogStartedFixing[] = L"Started fixing...";
inline constexpr wchar_t kLogCreatingRestorePoint[] = L"Creating System Restore Point";
inline constexpr wchar_t kLogOpenBackUpRegistryFile[] = L"OpenBackUpRegistryFile";
inline constexpr wchar_t kLogOpenBackUpShrtctFile[] = L"OpenBackUpShrtctFile";
inline constexpr wchar_t kLogSweepSetRegBackupFile[] = L"sweep SetRegBackupFile";
inline constexpr wchar_t kLogSweepSetLnkBackupFile[] = L"sweep SetLnkBackupFile";
inline constexpr wchar_t kLogGettingCount[] = L"getting count";
inline constexpr wchar_t kLogCheckedRegistry[] = L"checked registry";
inline constexpr wchar_t kLogDeclaredProblems[] = L"declared problems";
inline constexpr wchar_t kLogTryingToFix[] = L"Trying to fix ";
inline constexpr wchar_t kLogFixingErrorNumber[] = L"fixing error number : %d";
inline constexpr wchar_t kLogFailedToFix[] = L"--> Failed to fix %s\\%s, error = %d";
// Follows the failure line: why the entry could not be repaired (RepairFailureReason).
inline constexpr wchar_t kLogFailureReasonFormat[] = L": %s";
inline constexpr wchar_t kLogCrash[] = L"application is going to crash now  :";
inline constexpr std::size_t kLogCrashMessageMaxChars = 512;
// Written when the registry backup file cannot be created (nothing of the registry is deleted).
inline constexpr wchar_t kLogNoRegistryBackup[] =
    L"--> No registry backup file could be created (%s, error = %d): no registry entry is "
    L"deleted in this repair";

// The success line of each category ("%s\\%s=%s": key path, value name, data).
[[nodiscard]] std::wstring_view RepairSuccessFormat(int category);

// The restore point's log line, written after kLogCreatingRestorePoint ("%s": the point's number,
// then its time or the reason, then the status code).
inline constexpr wchar_t kLogRestorePointCreated[] = L"System Restore point %s created";
inline constexpr wchar_t kLogRestorePointReused[] =
    L"No new System Restore point: Windows keeps restore point %s of %s (by default it makes "
    L"none within 24 hours of the last)";
inline constexpr wchar_t kLogRestorePointUnconfirmed[] =
    L"No new System Restore point could be confirmed: Windows answered with restore point %s, "
    L"which may be an earlier one";
inline constexpr wchar_t kLogRestorePointFailed[] = L"--> No System Restore point: %s (status %s)";
inline constexpr wchar_t kLogRestorePointUnavailable[] =
    L"--> No System Restore point: this Windows has no System Restore client (SRCLIENT.DLL)";
inline constexpr wchar_t kLogRestorePointNotEnded[] =
    L"--> System Restore refused the end of restore point %s (status %s); the point stays";

// Why System Restore refused a request, in words, from its status code.
[[nodiscard]] std::wstring_view RestorePointStatusReason(std::uint32_t status,
                                                         WORDING wording = WORDING::kUser);

// What a repair uncovers is followed for at most this many rounds.
inline constexpr int kMaxUncoveredRounds = 8;
// The log lines of what a repair uncovered ("%s": the repaired entry, then the key path and the
// value name of what it left broken; "%d": the rounds).
inline constexpr wchar_t kLogUncovered[] = L"The repair of %s left %s\\%s broken: repairing it too";
inline constexpr wchar_t kLogUncoveredListed[] =
    L"The repair of %s left %s\\%s broken: left for the next scan";
inline constexpr wchar_t kLogUncoveredRoundLimit[] =
    L"--> What the repair uncovers was followed for %d rounds; the rest is left for the next scan";

// Waits of the dialog's pacing: after the restore-point step, and before each problem.
inline constexpr std::uint32_t kRestorePointPauseMs = 100;
inline constexpr std::uint32_t kProblemPauseMs = 2;

// One problem as the repair left it.
struct REPAIR_ITEM {
  std::size_t index = 0;  // position in the problem list
  int category = 0;
  std::wstring key;
  std::wstring name;
  std::wstring data;
  ErrorCode error = kErrorSuccess;  // 0 repaired, 2 already gone, otherwise why it failed
  bool blocked = false;             // blocked so the next scan does not offer it again
  // Of what a repair uncovered: the entry whose repair left this one broken (its key, or
  // "<key>\<value name>"), and the round (1 for what the list's repairs uncovered); empty and 0
  // for the problems of the list.
  std::wstring because;
  int round = 0;
};

struct REPAIR_OUTCOME {
  // The loop ran to its end and the completion was reported. False after an exception: the loop
  // ended there, both backup files were closed and kept, the problem list was left as it was.
  bool completed = false;
  std::wstring abortMessage;  // the exception's text when not completed
  bool restorePointAsked = false;
  // What System Restore did (kUnavailable when it could not be asked), and the time of a point it
  // kept, as the log and the reports show it ("December 08, 2026 (07:53:44)", local), when known.
  RESTORE_POINT_OUTCOME restorePoint;
  std::wstring restorePointTime;
  ErrorCode registryBackupError = kErrorSuccess;  // OpenBackUpRegistryFile's result
  ErrorCode shortcutBackupError = kErrorSuccess;  // OpenBackUpShrtctFile's result
  std::wstring registryBackupPath;  // the registry backup file, when it was kept
  std::wstring shortcutListPath;    // the shortcut list, when it was kept
  ErrorCode backupEndError = kErrorSuccess;  // closing or removing the backup files
  std::vector<REPAIR_ITEM> fixed;         // repaired or already gone, in list order
  std::vector<REPAIR_ITEM> failed;        // the failures, in list order
  // Repaired (of `fixed` or `chained`), yet there when looked at again: not counted as fixed.
  std::vector<REPAIR_ITEM> stillPresent;
  std::size_t skipped = 0;                // not selected, or of a category the scan did not run
  // What the repairs uncovered and this repair repaired (error 0), or tried to (its error), in
  // the order found; what it uncovered and left for the next scan (following was off, or the
  // rounds ran out), with `uncoveredRoundLimit` set when the rounds ran out.
  std::vector<REPAIR_ITEM> chained;
  std::vector<REPAIR_ITEM> uncovered;
  bool uncoveredRoundLimit = false;
  // Registry keys and values the repair really deleted, and shortcuts it moved aside: 0 and 0
  // when it changed nothing (the entries were gone already, or every repair failed).
  std::uint32_t deleted = 0;
  std::size_t shortcutsMoved = 0;
  ErrorCode exclusionSaveError = kErrorSuccess;  // SaveExclusionListsIfChanged's result
};

// A repair's outcome in numbers, for its verdict.
struct REPAIR_TALLY {
  std::size_t selected = 0;     // the ticked problems and what the repair uncovered and followed
  std::size_t repaired = 0;     // of those: gone now (repaired, or already gone)
  std::size_t notRepaired = 0;  // failed, or still there when looked at again
  bool changedAnything = false;  // a registry entry deleted or a shortcut moved
  std::size_t leftUncovered = 0;  // uncovered and left for the next scan
};
[[nodiscard]] REPAIR_TALLY TallyRepair(const REPAIR_OUTCOME& outcome);

// The repair's reports. Every call comes from the thread that runs the repair; a window sink
// sends each as the message beside it and returns when the dialog has handled it.
class IRepairSink {
 public:
  virtual ~IRepairSink() = default;
  // A restore point is about to be created (1589).
  virtual void OnRestorePointStarting() = 0;
  // System Restore refused the restore point (show kRestorePointOffMessage); the repair goes on.
  // An earlier point kept instead of a new one is no failure: it is only logged.
  virtual void OnRestorePointFailed() = 0;
  // After the restore-point step, whether or not one was asked for (1588).
  virtual void OnRestorePointEnded() = 0;
  // Before the problem at `index` of `count` (1590); index 0 is the first.
  virtual void OnProblemStarting(std::size_t index, std::size_t count) = 0;
  // Every problem is done and looked at again (1580), with the outcome so far (all but the end of
  // the backup files and the save of the lists). The front end records the counts now
  // (CApplication::CompleteRepair); the repair goes on only when this returns.
  virtual void OnRepairCompleted(const CRegistryCleaner& engine,
                                 const REPAIR_OUTCOME& outcome) = 0;
};

struct REPAIR_OPTIONS {
  bool restorePoint = true;                // the "RESTOREPOINT" setting
  ISystemRestore* systemRestore = nullptr;  // none: no restore point can be made
  bool pacing = true;                       // the dialog's waits (the console has none)
  bool followUncovered = true;              // the "REPAIRUNCOVERED" setting
};

// Repairs the engine's problem list (see the top of this file) and returns what it did. The
// engine's fixed counters grow per repaired problem. Call it on a thread of its own while the
// front end keeps the user away from the list; never throws.
[[nodiscard]] REPAIR_OUTCOME RepairProblems(CRegistryCleaner& engine, CExclusionLists& exclusions,
                                            const REPAIR_OPTIONS& options, IRepairSink& sink);

// What the repair of a problem removes, by its category: a key with its tree, a value, or a
// shortcut file, and the root the category repairs it in (see CCleanSweep for how a key path
// naming another root is refused).
struct REPAIR_TARGET {
  enum KIND { kNone, kKey, kValue, kShortcut } kind = kNone;
  RegHandle root = kNullRegHandle;  // null: the root the key path names
  std::wstring keyPath;             // the key (its full text), or the shortcut's path
  std::wstring valueName;           // kValue: the value; empty: the default value
};
[[nodiscard]] REPAIR_TARGET RepairTargetOf(const CRegistryProblem& problem);

// One problem through the repair of its category: CleanKey, CleanValue or MoveShortcut of its
// target. -1 for a type that is not a category.
[[nodiscard]] ErrorCode RepairByCategory(CCleanSweep& sweep, const CRegistryProblem& problem);

// Whether a repaired problem's entry is still in the registry (shortcuts: never looked at).
[[nodiscard]] bool RepairedEntryStillPresent(IRegistry& registry, const CRegistryProblem& problem);

}  // namespace qv
