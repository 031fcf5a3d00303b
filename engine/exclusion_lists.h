// The safe list and the ignore list: what the scan never reports.
//
// A problem is excluded when the user ignored it, when an earlier repair removed it and it came
// back (a blocked problem), or when it touches a row of the safe lists. The lists:
//  - K, M and V lists (the safe lists): the built-in rows (safe_list_rows.h), then the rows of
//    that letter read from .wls files;
//  - the ignore list: pairs (category index, identity) from the shipped .wls files beside the
//    program, then from the user's ignore.wls in the product data folder, then from the blocked
//    store in the registry, then the problems ignored while the program runs. The leading entries
//    from shipped files are never shown and never written back; the entries of the blocked store
//    are shown, but stay in the store and are never copied into ignore.wls (so that restoring
//    a repair's backup, which deletes the block, lets the problem be found again, and the file
//    does not gain a copy of every block at each save);
//  - the blocked list: the problems blocked since the program started.
//
// The identity of a problem is "<key>\<name>|<data>", kept in its case. Problems are compared
// with every entry and row in order, stopping at the first match; ASCII letters are the only ones
// whose case is ever ignored.
//
// The lists are read from and written to .wls files (wls_format.h); the blocks are kept in the
// registry (blocked_store.h). A shipped list may also name registry areas that Windows owns
// (windows_owned.h): a problem whose key lies in such an area is never reported.
//
// Threads: the scan thread asks IsProblemExcluded while the interface thread loads, ignores and
// removes and the repair thread blocks and saves. Every list is guarded by one reader-writer
// lock; loading and saving are serialised among themselves and do their file and registry work
// outside that lock, so a query never waits for the disk.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/blocked_store.h"
#include "engine/categories.h"
#include "state/log_interface.h"
#include "engine/problem_filter.h"
#include "engine/registry_problem.h"
#include "engine/windows_owned.h"
#include "engine/wls_format.h"
#include "base/errors.h"
#include "base/language.h"
#include "platform/file_system.h"
#include "platform/platform.h"

namespace qv {

// Where a block's undo section goes: the registry backup file the repair is writing. The repair
// implements it over its open backup file; merging that file back deletes the value named here.
class IBlockUndoLog {
 public:
  virtual ~IBlockUndoLog() = default;
  // Appends a section that deletes the value `valueName` of the key `fullKey` (a full key name,
  // beginning with the root's full name) when the file is merged, and puts it on the disk.
  // Returns 0 once it is there.
  [[nodiscard]] virtual ErrorCode AppendValueDeletion(std::wstring_view fullKey,
                                                      std::wstring_view valueName) = 0;
};

// Fixed names and formats of the exclusion lists.
inline constexpr wchar_t kUserIgnoreFileName[] = L"ignore.wls";
inline constexpr wchar_t kShippedListPattern[] = L"*.wls";
// ignore.wls is read only up to this size: a larger one is not read at all (and that is logged).
inline constexpr std::uint64_t kUserIgnoreMaxBytes = 4u << 20;
// Logged when ignore.wls is there but not read: its path, then why.
inline constexpr wchar_t kUserListNotReadLogFormat[] = L"The ignore list %s is not read: %s.";
inline constexpr wchar_t kIdentityFormat[] = L"%s\\%s|%s";
inline constexpr wchar_t kShortcutSubjectFormat[] = L"%s/%s";
inline constexpr wchar_t kIgnoredLogFormat[] = L"Ignored %s problem key:%s valueName:%s value:%s";
// "<key>\<name>|<data>".
[[nodiscard]] std::wstring ProblemIdentity(const CRegistryProblem& problem);
class CExclusionLists final : public IProblemFilter {
 public:
  // Starts with the built-in rows in the three safe lists and nothing else. The platform and the
  // log (may be null: nothing is logged) must outlive the object. productName names the product
  // key under HKEY_LOCAL_MACHINE\SOFTWARE.
  CExclusionLists(const CPlatform& platform, IActivityLog* log, std::wstring productName);
  ~CExclusionLists() override = default;
  CExclusionLists(const CExclusionLists&) = delete;
  CExclusionLists& operator=(const CExclusionLists&) = delete;

  // Rebuilds every list from scratch, discarding what was held (unsaved changes included):
  //  1. shipped count 0, ignore and blocked lists empty;
  //  2. K, M, V lists = the built-in rows, each trimmed;
  //  3. every non-empty *.wls file in the program's folder, in listing order (the user's own
  //     file excepted, should the data folder be the program's folder): its ignore entries count
  //     as shipped, its owned areas are Windows' own configuration;
  //  4. ignore.wls in the product data folder, when the folder and the file are trusted
  //     (state/trusted_files.h) and the file is no larger than kUserIgnoreMaxBytes; a file that
  //     is there but not read is logged with the reason;
  //  5. the blocked store: for each category 0-10, every value of its subkey with non-empty data
  //     (read up to its first NUL) is an ignore entry, until a value whose name is longer than
  //     1023 characters or whose data is larger than 2048 bytes, or the end;
  //  6. both change flags cleared.
  // A source that cannot be opened adds nothing.
  void LoadExclusionLists();

  // True when the problem must not be reported. With L the lower-cased identity:
  //  1. L equals an ignore-list entry or a blocked-list entry, ignoring ASCII case;
  //  2. M list: a row is a substring of L (category 8: of "<key>/<name>" lower-cased, the row
  //     lower-cased);
  //  3. K list: a row is a substring of "<key>/<name>", case-sensitive (category 8: both
  //     lower-cased);
  //  4. V list: the same against the data;
  //  5. the problem's key lies in an owned area of a shipped list (Windows' own configuration).
  [[nodiscard]] bool IsProblemExcluded(const CRegistryProblem& problem) override;

  // The results page's "Ignore": logs "Ignored <category> problem key:... valueName:...
  // value:...", appends (category, identity) to the ignore list and saves. kErrorInvalidParameter
  // (and nothing done) for a problem whose type is not a category; otherwise the save's result.
  [[nodiscard]] ErrorCode IgnoreProblem(const CRegistryProblem& problem);

  // Called by the repair for a removed problem that is to stay hidden: appends the undo section
  // (an empty line, "[HKEY_LOCAL_MACHINE\SOFTWARE\<product>\blocked\<category value name>]",
  // "\"<hash>\"=-") to the repair's open backup file, and once it is on disk appends (category, identity)
  // to the blocked list and marks it changed. When the section cannot be written the problem is
  // not blocked (merging the backup could not lift the block) and the error is returned.
  [[nodiscard]] ErrorCode BlockProblem(const CRegistryProblem& problem, IBlockUndoLog& undoLog);

  // Writes what changed. Ignore list changed: ignore.wls is deleted when no visible entry other
  // than those of the blocked store is left, otherwise those entries are written to a new file
  // beside it under a name nobody can guess, which then replaces ignore.wls in one step (on any
  // failure the old file stays as it was and the new one is removed). Nothing is written into a
  // data folder that is not trusted (ProductDataFolder's error is the result). Blocked list changed: the product key and its "blocked" subkey are created
  // or opened, then for each blocked entry in order the subkey of its category (opened once per
  // save) gets the REG_SZ value named by the identity hash holding the identity; a subkey that
  // cannot be created or a value that cannot be written ends the save. Values already in the
  // store stay. A list whose save failed stays marked changed, so the next save writes it again
  // (nothing the user ignored or a repair blocked is lost to one failed write). Result: the
  // first failure, 0 when all that was to be written was written.
  [[nodiscard]] ErrorCode SaveExclusionListsIfChanged();

  // The user-visible part of the ignore list (every entry after the shipped ones), for the ignore
  // list page. Position p is ignore-list index shipped count + p.
  [[nodiscard]] std::size_t VisibleCount() const;
  // False (and *entry unchanged) when the position is past the end.
  [[nodiscard]] bool VisibleEntry(std::size_t position, EXCLUSION_ENTRY* entry) const;
  // A consistent copy of every visible entry, in order.
  [[nodiscard]] std::vector<EXCLUSION_ENTRY> VisibleEntries() const;
  // Removes the entry at the position (text and category) and marks the ignore list changed.
  // False when the position is past the end.
  [[nodiscard]] bool RemoveVisibleEntry(std::size_t position);
  // The page's removal of a checked row in one step: removes the first visible entry whose
  // identity equals the text ignoring ASCII case. False when none does.
  [[nodiscard]] bool RemoveFirstVisibleMatch(std::wstring_view identity);
  // Removes the entry at the position only when it is still `expected` (category and identity
  // exactly), in one step, and marks the ignore list changed: a row shown before the lists were
  // reloaded never takes another entry with it. *fromBlockedStore (may be null) tells whether the
  // entry was read from the blocked store (RemoveBlockedValue then takes it out of the store).
  // False (nothing changed, *fromBlockedStore unchanged) otherwise.
  [[nodiscard]] bool RemoveVisibleEntryIf(std::size_t position, const EXCLUSION_ENTRY& expected,
                                          bool* fromBlockedStore = nullptr);
  // Deletes from the category's subkey of the blocked store the first value (in enumeration
  // order, read as the load reads the store) whose data is exactly the identity: the value an
  // entry read from the store came from, which would otherwise bring it back at the next load.
  // No such value, store or subkey: 0. Otherwise the error of opening or deleting.
  [[nodiscard]] ErrorCode RemoveBlockedValue(int category, std::wstring_view identity);

  // What the last load had to say about Windows' own areas: kBuiltInOwnedRowsNotice with the
  // list's path when the rows built into the program apply, empty when the shipped file does.
  // In the process's language for a person, in English for the log and the console's JSON.
  [[nodiscard]] std::wstring OwnedRowsNotice(WORDING wording = WORDING::kUser) const;

  // Inspection.
  [[nodiscard]] std::size_t ShippedCount() const;
  [[nodiscard]] std::vector<EXCLUSION_ENTRY> IgnoreList() const;
  [[nodiscard]] std::vector<EXCLUSION_ENTRY> BlockedList() const;
  [[nodiscard]] std::vector<std::wstring> KRows() const;
  [[nodiscard]] std::vector<std::wstring> MRows() const;
  [[nodiscard]] std::vector<std::wstring> VRows() const;
  [[nodiscard]] bool IgnoreListChanged() const;
  [[nodiscard]] bool BlockedListChanged() const;

  // <product data folder>\ignore.wls (the folder is created when missing). *folderError (may be
  // null) gets ProductDataFolder's error: the file is not to be used when it is not 0.
  [[nodiscard]] std::wstring UserListPath(ErrorCode* folderError = nullptr) const;
  // HKEY_LOCAL_MACHINE\SOFTWARE\<product>\blocked\<category value name>.
  [[nodiscard]] std::wstring BlockedKeyPath(int category) const;

  // One ignore-list or blocked-list entry with its identity lower-cased (ASCII) for comparison.
  struct CStoredEntry {
    EXCLUSION_ENTRY entry;
    std::wstring folded;
    bool fromBlockedStore = false;  // read from the blocked store by the load
    std::size_t hash = 0;  // of `folded` (std::hash), so a query compares only equal hashes
  };
  // One safe row, and its lower-cased form for category 8.
  struct CSafeRow {
    std::wstring row;
    std::wstring folded;
  };
  // A list's rows by the pair of characters each begins with (non-ASCII characters count as one),
  // so that a subject is searched for every row in one pass: only at a position where a row's
  // first pair stands is that row compared. `folded` indexes the lower-cased rows.
  struct CRowIndex {
    static constexpr std::size_t kPairs = 128 * 128;
    std::array<std::uint64_t, 2> firsts{};  // a bit for each character some row begins with
    std::vector<std::uint64_t> starts;  // a bit for each pair some row begins with
    std::vector<std::pair<std::uint32_t, std::uint32_t>> byPair;  // (pair, row), sorted
    std::vector<std::uint32_t> single;  // rows of fewer than two characters
    std::size_t longest = 0;  // characters of the longest row
    std::uint64_t id = 0;     // this index and no other (see the memo of IsProblemExcluded)
  };
  // Everything the lists hold.
  struct CListState {
    std::vector<CSafeRow> kRows;
    std::vector<CSafeRow> mRows;
    std::vector<CSafeRow> vRows;
    // Each list's rows indexed, as written ([0]) and lower-cased ([1]).
    CRowIndex kIndex[2];
    CRowIndex mIndex[2];
    CRowIndex vIndex[2];
    std::vector<CStoredEntry> ignore;
    std::size_t shippedCount = 0;
    std::vector<CStoredEntry> blocked;
    // A bit for the hash of every entry ever stored in `ignore` or `blocked` (the hash modulo
    // kEntryBits): a problem whose hash has no bit set is in neither list. A removed entry leaves
    // its bit, which costs only a search that finds nothing.
    static constexpr std::size_t kEntryBits = 4096;
    std::array<std::uint64_t, kEntryBits / 64> entryBits{};
    std::vector<OWNED_AREA> owned;
    // kBuiltInOwnedRowsNotice when the built-in rows apply; empty when the shipped file does.
    std::wstring ownedNoticePath;
    bool ignoreChanged = false;
    bool blockedChanged = false;
  };

 private:
  ErrorCode SaveUserList(const std::vector<EXCLUSION_ENTRY>& visible);

  CPlatform m_platform;
  IActivityLog* m_log;
  std::wstring m_productName;

  // Serialises loads and saves (taken before m_lock, never while holding it).
  std::mutex m_storageMutex;
  mutable std::shared_mutex m_lock;  // guards m_state
  CListState m_state;
};

}  // namespace qv
