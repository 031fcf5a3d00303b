// The exclusion lists in memory (exclusion_lists.h): what they hold, the question the scan asks
// of them for every problem, the user's ignoring and removing, a repair's blocking, and their
// loading and saving. The files go through the .wls format (wls_format.h), the blocks through
// the blocked store (blocked_store.h) and Windows' own areas through windows_owned.h; the code
// here touches only the lists, under their lock.
#include "engine/exclusion_lists.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <utility>

#include "engine/engine_texts.h"
#include "engine/key_naming.h"
#include "engine/safe_list_rows.h"
#include "base/text.h"
#include "base/text_case.h"
#include "platform/registry.h"
#include "state/data_folder.h"
#include "state/state_texts.h"
#include "state/trusted_files.h"

namespace qv {
namespace {

CExclusionLists::CSafeRow SafeRow(std::wstring row, std::wstring folded) {
  return {std::move(row), std::move(folded)};
}

using CRowIndex = CExclusionLists::CRowIndex;

// The index of a character in a pair; a character beyond ASCII counts as 127.
std::uint32_t CharIndex(wchar_t c) {
  const auto code = static_cast<std::uint32_t>(c);
  return code < 128 ? code : 127;
}

// The index of a pair of characters.
std::uint32_t PairIndex(wchar_t first, wchar_t second) {
  return CharIndex(first) * 128 + CharIndex(second);
}

CRowIndex IndexRows(const std::vector<CExclusionLists::CSafeRow>& rows, bool folded) {
  static std::atomic<std::uint64_t> lastId{0};
  CRowIndex index;
  index.id = ++lastId;
  index.starts.assign(CRowIndex::kPairs / 64, 0);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::wstring& text = folded ? rows[i].folded : rows[i].row;
    index.longest = std::max(index.longest, text.size());
    if (text.size() < 2) {  // (an empty row would be found in every subject)
      index.single.push_back(static_cast<std::uint32_t>(i));
      continue;
    }
    const std::uint32_t pair = PairIndex(text[0], text[1]);
    index.starts[pair / 64] |= std::uint64_t{1} << (pair % 64);
    index.firsts[CharIndex(text[0]) / 64] |= std::uint64_t{1} << (CharIndex(text[0]) % 64);
    index.byPair.emplace_back(pair, static_cast<std::uint32_t>(i));
  }
  std::sort(index.byPair.begin(), index.byPair.end());
  return index;
}

void IndexAllRows(CExclusionLists::CListState* state) {
  for (int folded = 0; folded < 2; ++folded) {
    state->kIndex[folded] = IndexRows(state->kRows, folded != 0);
    state->mIndex[folded] = IndexRows(state->mRows, folded != 0);
    state->vIndex[folded] = IndexRows(state->vRows, folded != 0);
  }
}

// The last subject a search of one kind was made in, and whether a row was found in it.
struct ROW_SEARCH {
  std::uint64_t index = 0;  // CRowIndex::id; 0: none yet
  std::wstring subject;
  bool found = false;
};

// Whether a row that starts at or after `from` occurs in the subject.
bool AnyRowFrom(const std::vector<CExclusionLists::CSafeRow>& rows, const CRowIndex& index,
                std::wstring_view subject, bool folded, std::size_t from) {
  for (const std::uint32_t row : index.single) {
    const std::wstring& text = folded ? rows[row].folded : rows[row].row;
    if (subject.find(text, from) != std::wstring_view::npos) return true;
  }
  for (std::size_t i = from; i + 1 < subject.size(); ++i) {
    // Most characters begin no row: looked up alone before the pair is.
    const std::uint32_t first = CharIndex(subject[i]);
    if ((index.firsts[first / 64] & (std::uint64_t{1} << (first % 64))) == 0) continue;
    const std::uint32_t pair = first * 128 + CharIndex(subject[i + 1]);
    if ((index.starts[pair / 64] & (std::uint64_t{1} << (pair % 64))) == 0) continue;
    const std::wstring_view rest = subject.substr(i);
    auto at = std::lower_bound(index.byPair.begin(), index.byPair.end(),
                               std::pair<std::uint32_t, std::uint32_t>(pair, 0));
    for (; at != index.byPair.end() && at->first == pair; ++at) {
      const std::wstring& text = folded ? rows[at->second].folded : rows[at->second].row;
      if (rest.starts_with(text)) return true;
    }
  }
  return false;
}

// Whether a row occurs in the subject (`folded`: a lower-cased row in a lower-cased subject).
// The problems of a scan come in runs that share most of their text (the values of one key, the
// empty subkeys of one parent): when no row was found in the last subject searched with the same
// index, a row wholly within the text both begin with is not there either, and only the rest is
// searched.
bool AnyRowIn(const std::vector<CExclusionLists::CSafeRow>& rows, const CRowIndex (&indexes)[2],
              std::wstring_view subject, bool folded, ROW_SEARCH& last) {
  const CRowIndex& index = indexes[folded ? 1 : 0];
  std::size_t from = 0;
  if (last.index == index.id && !last.found) {
    const std::size_t shared = static_cast<std::size_t>(
        std::mismatch(subject.begin(), subject.end(), last.subject.begin(), last.subject.end())
            .first -
        subject.begin());
    if (shared + 1 > index.longest) from = shared + 1 - index.longest;
  }
  last.index = index.id;
  last.subject.assign(subject);
  last.found = AnyRowFrom(rows, index, subject, folded, from);
  return last.found;
}

std::vector<CExclusionLists::CSafeRow> BuiltInRows() {
  std::vector<CExclusionLists::CSafeRow> rows;
  rows.reserve(kBuiltInSafeRows.size());
  for (const std::wstring_view row : kBuiltInSafeRows) {
    std::wstring trimmed(TrimWhiteSpace(row));
    std::wstring folded = ToLowerAscii(trimmed);
    rows.push_back(SafeRow(std::move(trimmed), std::move(folded)));
  }
  return rows;
}

void AppendRows(const std::vector<std::wstring>& rows,
                std::vector<CExclusionLists::CSafeRow>* list) {
  for (const std::wstring& row : rows) list->push_back(SafeRow(row, ToLowerAscii(row)));
}

std::size_t FoldedHash(std::wstring_view folded) { return std::hash<std::wstring_view>{}(folded); }

// The parts one after another, ASCII letters lower-cased, into a string the caller keeps.
void AssignLowerAscii(std::wstring* text, std::initializer_list<std::wstring_view> parts) {
  std::size_t size = 0;
  for (const std::wstring_view part : parts) size += part.size();
  text->resize(size);
  wchar_t* out = text->data();
  for (const std::wstring_view part : parts) {
    for (const wchar_t c : part) {
      *out++ = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c;
    }
  }
}

CExclusionLists::CStoredEntry Stored(int category, std::wstring identity) {
  std::wstring folded = ToLowerAscii(identity);
  const std::size_t hash = FoldedHash(folded);
  return {{category, std::move(identity)}, std::move(folded), false, hash};
}

void AppendEntries(const std::vector<EXCLUSION_ENTRY>& entries,
                   std::vector<CExclusionLists::CStoredEntry>* list) {
  for (const EXCLUSION_ENTRY& entry : entries)
    list->push_back(Stored(entry.category, entry.identity));
}

void MarkEntryHash(CExclusionLists::CListState* state, std::size_t hash) {
  const std::size_t bit = hash % CExclusionLists::CListState::kEntryBits;
  state->entryBits[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

bool MayHoldEntryHash(const CExclusionLists::CListState& state, std::size_t hash) {
  const std::size_t bit = hash % CExclusionLists::CListState::kEntryBits;
  return (state.entryBits[bit / 64] & (std::uint64_t{1} << (bit % 64))) != 0;
}

// Whether an entry's folded identity is the text; `hash` is FoldedHash of the text, so only an
// entry with the same hash is compared.
bool AnyEntryEquals(const std::vector<CExclusionLists::CStoredEntry>& entries,
                    std::wstring_view folded, std::size_t hash) {
  for (const CExclusionLists::CStoredEntry& entry : entries) {
    if (entry.hash == hash && entry.folded == folded) return true;
  }
  return false;
}

std::vector<EXCLUSION_ENTRY> Plain(const std::vector<CExclusionLists::CStoredEntry>& entries,
                                   std::size_t from = 0) {
  std::vector<EXCLUSION_ENTRY> plain;
  if (from >= entries.size()) return plain;
  plain.reserve(entries.size() - from);
  for (std::size_t i = from; i < entries.size(); ++i) plain.push_back(entries[i].entry);
  return plain;
}

std::vector<std::wstring> RowTexts(const std::vector<CExclusionLists::CSafeRow>& rows) {
  std::vector<std::wstring> texts;
  texts.reserve(rows.size());
  for (const CExclusionLists::CSafeRow& row : rows) texts.push_back(row.row);
  return texts;
}

}  // namespace

std::wstring ProblemIdentity(const CRegistryProblem& problem) {
  return FormatWithStrings(kIdentityFormat, {problem.key, problem.name, problem.data});
}

CExclusionLists::CExclusionLists(const CPlatform& platform, IActivityLog* log,
                                 std::wstring productName)
    : m_platform(platform), m_log(log), m_productName(std::move(productName)) {
  m_state.kRows = BuiltInRows();
  m_state.mRows = m_state.kRows;
  m_state.vRows = m_state.kRows;
  IndexAllRows(&m_state);
}

std::wstring CExclusionLists::UserListPath(ErrorCode* folderError) const {
  std::wstring folder = ProductDataFolder(m_platform.shell, m_platform.files, L"", folderError);
  folder.push_back(L'\\');
  folder += kUserIgnoreFileName;
  return folder;
}

std::wstring CExclusionLists::BlockedKeyPath(int category) const {
  return BlockedStoreKeyPath(m_productName, category);
}

void CExclusionLists::LoadExclusionLists() {
  std::lock_guard storage(m_storageMutex);

  CListState state;
  state.kRows = BuiltInRows();
  state.mRows = state.kRows;
  state.vRows = state.kRows;

  IFileSystem& files = m_platform.files;
  ErrorCode folderError = kErrorSuccess;
  const std::wstring userPath = UserListPath(&folderError);

  const auto addContent = [&state](const WLS_CONTENT& content, bool shipped) {
    AppendEntries(content.entries, &state.ignore);
    AppendRows(content.kRows, &state.kRows);
    AppendRows(content.mRows, &state.mRows);
    AppendRows(content.vRows, &state.vRows);
    // Only a list shipped beside the program says what Windows owns.
    if (shipped) {
      state.owned.insert(state.owned.end(), content.ownedAreas.begin(), content.ownedAreas.end());
    }
  };

  const std::wstring programFolder = ProgramFolder(m_platform.shell);
  // Whether the shipped list of Windows' own areas was read, with at least one row.
  bool ownedListRead = false;
  std::vector<CFindData> found;
  std::wstring pattern = programFolder + L"\\";
  pattern += kShippedListPattern;
  if (files.FindFiles(pattern, &found) == kErrorSuccess) {
    for (const CFindData& item : found) {
      if (item.directory || item.size == 0) continue;
      const std::wstring path = programFolder + L"\\" + item.name;
      // When the data folder falls back to the program's folder the user's own list lies among
      // the shipped ones; it is read once, as the user's.
      if (EqualsIgnoringAsciiCase(path, userPath)) continue;
      WLS_CONTENT content;
      if (ReadWlsFile(files, path, &content) != kErrorSuccess) continue;
      if (EqualsNoCase(item.name, kWindowsOwnedListName) && !content.ownedAreas.empty()) {
        ownedListRead = true;
      }
      addContent(content, true);
      state.shippedCount += content.entries.size();
    }
  }
  // Never a scan without Windows' own areas: a copy of the programs without the list (or with
  // one that cannot be read, or that holds no row) uses the rows built into the program, and
  // says so.
  if (!ownedListRead) {
    WLS_CONTENT builtIn;
    ParseWlsBytes(BuiltInWindowsOwnedList(), &builtIn);
    state.owned.insert(state.owned.end(), builtIn.ownedAreas.begin(), builtIn.ownedAreas.end());
    state.ownedNoticePath = JoinPath(programFolder, kWindowsOwnedListName);
  }

  // The user's list is trusted as the data folder is: a list another account wrote could hide
  // any problem.
  std::string bytes;
  ErrorCode userRead = folderError != kErrorSuccess && files.FileExists(userPath)
                           ? folderError
                           : ReadTrustedFile(files, userPath, kUserIgnoreMaxBytes, &bytes);
  if (userRead == kErrorSuccess) {
    WLS_CONTENT user;
    ParseWlsBytes(bytes, &user);
    addContent(user, false);
  } else if (userRead != kErrorFileNotFound && userRead != kErrorPathNotFound && m_log != nullptr) {
    const std::wstring reason =
        userRead == kErrorFileTooLarge
            ? TrFormat(kUntrustedTooLargeFormat,
                       {DecimalText(static_cast<std::int64_t>(kUserIgnoreMaxBytes))},
                       WORDING::kEnglish)
            : UntrustedReasonText(userRead, WORDING::kEnglish);
    static_cast<void>(
        m_log->WriteLog(FormatWithStrings(kUserListNotReadLogFormat, {userPath, reason})));
  }

  for (EXCLUSION_ENTRY& entry : ReadBlockedStore(m_platform.registry, m_productName)) {
    state.ignore.push_back(Stored(entry.category, std::move(entry.identity)));
    state.ignore.back().fromBlockedStore = true;
  }

  state.ignoreChanged = false;
  state.blockedChanged = false;
  IndexAllRows(&state);
  for (const std::vector<CStoredEntry>* list : {&state.ignore, &state.blocked}) {
    for (const CStoredEntry& entry : *list) MarkEntryHash(&state, entry.hash);
  }

  std::unique_lock lock(m_lock);
  m_state = std::move(state);
}

bool CExclusionLists::IsProblemExcluded(const CRegistryProblem& problem) {
  // The texts the problem is compared as, made in buffers of the calling thread, which keep their
  // storage from one problem to the next (the scan asks once for each problem it finds).
  thread_local std::wstring lowered;
  thread_local std::wstring keyAndName;
  thread_local std::wstring loweredKeyAndName;
  thread_local std::wstring loweredData;
  thread_local std::wstring loweredMerged;
  // "<key>\<name>|<data>" (ProblemIdentity) and "<key>/<name>" (kShortcutSubjectFormat).
  AssignLowerAscii(&lowered, {problem.key, L"\\", problem.name, L"|", problem.data});
  const bool shortcut = problem.type == REGPROBLEM_SHORTCUT;
  keyAndName.assign(problem.key);
  keyAndName += L'/';
  keyAndName += problem.name;
  // The lower-cased subjects are only those of a shortcut.
  if (shortcut) {
    AssignLowerAscii(&loweredKeyAndName, {keyAndName});
    AssignLowerAscii(&loweredData, {problem.data});
  }

  // Classes problems used to be named by the merged view (HKEY_CLASSES_ROOT\...); an entry the
  // user ignored, or a repair blocked, in that form still holds for the key where it really is.
  loweredMerged.clear();
  std::wstring_view belowClasses;
  if (!problem.key.starts_with(kHkeyClassesRootName) &&
      IsClassesKeyText(problem.key, &belowClasses)) {
    AssignLowerAscii(&loweredMerged, {kHkeyClassesRootName, L"\\", belowClasses, L"\\",
                                      problem.name, L"|", problem.data});
  }

  const std::size_t loweredHash = FoldedHash(lowered);
  const std::size_t mergedHash = loweredMerged.empty() ? 0 : FoldedHash(loweredMerged);

  std::shared_lock lock(m_lock);
  if (MayHoldEntryHash(m_state, loweredHash) &&
      (AnyEntryEquals(m_state.ignore, lowered, loweredHash) ||
       AnyEntryEquals(m_state.blocked, lowered, loweredHash))) {
    return true;
  }
  if (!loweredMerged.empty() && MayHoldEntryHash(m_state, mergedHash) &&
      (AnyEntryEquals(m_state.ignore, loweredMerged, mergedHash) ||
       AnyEntryEquals(m_state.blocked, loweredMerged, mergedHash))) {
    return true;
  }
  // The last search of each list on this thread.
  thread_local ROW_SEARCH lastM;
  thread_local ROW_SEARCH lastK;
  thread_local ROW_SEARCH lastV;
  if (AnyRowIn(m_state.mRows, m_state.mIndex, shortcut ? loweredKeyAndName : lowered, shortcut,
               lastM)) {
    return true;
  }
  if (AnyRowIn(m_state.kRows, m_state.kIndex, shortcut ? loweredKeyAndName : keyAndName,
               shortcut, lastK)) {
    return true;
  }
  if (AnyRowIn(m_state.vRows, m_state.vIndex,
               shortcut ? std::wstring_view(loweredData) : std::wstring_view(problem.data),
               shortcut, lastV)) {
    return true;
  }
  return AnyOwnedAreaCovers(m_state.owned, problem.type, problem.key);
}

ErrorCode CExclusionLists::IgnoreProblem(const CRegistryProblem& problem) {
  if (!IsValidCategory(problem.type)) return kErrorInvalidParameter;
  if (m_log != nullptr) {
    const std::wstring line = FormatWithStrings(
        kIgnoredLogFormat,
        {CategoryDisplayName(problem.type), problem.key, problem.name, problem.data});
    static_cast<void>(m_log->WriteLog(line));  // a log that cannot be written stops nothing
  }
  {
    std::unique_lock lock(m_lock);
    m_state.ignore.push_back(Stored(problem.type, ProblemIdentity(problem)));
    MarkEntryHash(&m_state, m_state.ignore.back().hash);
    m_state.ignoreChanged = true;
  }
  return SaveExclusionListsIfChanged();
}

ErrorCode CExclusionLists::BlockProblem(const CRegistryProblem& problem,
                                        IBlockUndoLog& undoLog) {
  if (!IsValidCategory(problem.type)) return kErrorInvalidParameter;
  std::wstring identity = ProblemIdentity(problem);
  const ErrorCode rc =
      undoLog.AppendValueDeletion(BlockedKeyPath(problem.type), IdentityHashText(identity));
  if (rc != kErrorSuccess) return rc;
  std::unique_lock lock(m_lock);
  m_state.blocked.push_back(Stored(problem.type, std::move(identity)));
  MarkEntryHash(&m_state, m_state.blocked.back().hash);
  m_state.blockedChanged = true;
  return kErrorSuccess;
}

ErrorCode CExclusionLists::SaveExclusionListsIfChanged() {
  std::lock_guard storage(m_storageMutex);
  bool saveIgnore = false;
  bool saveBlocked = false;
  std::vector<EXCLUSION_ENTRY> visible;
  std::vector<EXCLUSION_ENTRY> blocked;
  {
    std::unique_lock lock(m_lock);
    saveIgnore = m_state.ignoreChanged;
    saveBlocked = m_state.blockedChanged;
    if (saveIgnore) {
      for (std::size_t i = m_state.shippedCount; i < m_state.ignore.size(); ++i) {
        if (!m_state.ignore[i].fromBlockedStore) visible.push_back(m_state.ignore[i].entry);
      }
    }
    if (saveBlocked) blocked = Plain(m_state.blocked);
    m_state.ignoreChanged = false;
    m_state.blockedChanged = false;
  }
  // The flags were cleared above, so a change made while the files are written marks them
  // again; a save that fails marks them again too, and the next save tries once more.
  ErrorCode first = kErrorSuccess;
  if (saveIgnore) {
    first = SaveUserList(visible);
    if (first != kErrorSuccess) {
      std::unique_lock lock(m_lock);
      m_state.ignoreChanged = true;
    }
  }
  if (saveBlocked) {
    const ErrorCode rc = WriteBlockedStore(m_platform.registry, m_productName, blocked);
    if (rc != kErrorSuccess) {
      std::unique_lock lock(m_lock);
      m_state.blockedChanged = true;
    }
    if (first == kErrorSuccess) first = rc;
  }
  return first;
}

ErrorCode CExclusionLists::SaveUserList(const std::vector<EXCLUSION_ENTRY>& visible) {
  IFileSystem& files = m_platform.files;
  ErrorCode folderError = kErrorSuccess;
  const std::wstring path = UserListPath(&folderError);
  if (folderError != kErrorSuccess) return folderError;
  if (visible.empty()) {
    const ErrorCode rc = files.RemoveFile(path);
    return rc == kErrorFileNotFound ? kErrorSuccess : rc;
  }
  // The old list stays whole until the new one is completely on the disk; the new one is made
  // where nobody can have prepared a file or link for it.
  std::wstring newPath;
  std::unique_ptr<IFile> file;
  ErrorCode rc = CreateTemporaryBeside(files, path, &newPath, &file);
  if (rc != kErrorSuccess) return rc;
  rc = WriteWlsRecords(files, std::move(file), visible);
  if (rc == kErrorSuccess) rc = files.ReplaceFile(newPath, path);
  if (rc != kErrorSuccess) static_cast<void>(files.RemoveFile(newPath));  // best effort
  return rc;
}

std::size_t CExclusionLists::VisibleCount() const {
  std::shared_lock lock(m_lock);
  return m_state.ignore.size() - std::min(m_state.shippedCount, m_state.ignore.size());
}

bool CExclusionLists::VisibleEntry(std::size_t position, EXCLUSION_ENTRY* entry) const {
  std::shared_lock lock(m_lock);
  const std::size_t index = m_state.shippedCount + position;
  if (position >= m_state.ignore.size() || index >= m_state.ignore.size()) return false;
  *entry = m_state.ignore[index].entry;
  return true;
}

std::vector<EXCLUSION_ENTRY> CExclusionLists::VisibleEntries() const {
  std::shared_lock lock(m_lock);
  return Plain(m_state.ignore, m_state.shippedCount);
}

bool CExclusionLists::RemoveVisibleEntry(std::size_t position) {
  std::unique_lock lock(m_lock);
  const std::size_t index = m_state.shippedCount + position;
  if (position >= m_state.ignore.size() || index >= m_state.ignore.size()) return false;
  m_state.ignore.erase(m_state.ignore.begin() + static_cast<std::ptrdiff_t>(index));
  m_state.ignoreChanged = true;
  return true;
}

bool CExclusionLists::RemoveFirstVisibleMatch(std::wstring_view identity) {
  const std::wstring folded = ToLowerAscii(identity);
  std::unique_lock lock(m_lock);
  for (std::size_t i = m_state.shippedCount; i < m_state.ignore.size(); ++i) {
    if (m_state.ignore[i].folded == folded) {
      m_state.ignore.erase(m_state.ignore.begin() + static_cast<std::ptrdiff_t>(i));
      m_state.ignoreChanged = true;
      return true;
    }
  }
  return false;
}

bool CExclusionLists::RemoveVisibleEntryIf(std::size_t position, const EXCLUSION_ENTRY& expected,
                                           bool* fromBlockedStore) {
  std::unique_lock lock(m_lock);
  const std::size_t index = m_state.shippedCount + position;
  if (position >= m_state.ignore.size() || index >= m_state.ignore.size()) return false;
  if (m_state.ignore[index].entry != expected) return false;
  if (fromBlockedStore != nullptr) *fromBlockedStore = m_state.ignore[index].fromBlockedStore;
  m_state.ignore.erase(m_state.ignore.begin() + static_cast<std::ptrdiff_t>(index));
  m_state.ignoreChanged = true;
  return true;
}

ErrorCode CExclusionLists::RemoveBlockedValue(int category, std::wstring_view identity) {
  if (!IsValidCategory(category)) return kErrorInvalidParameter;
  std::lock_guard storage(m_storageMutex);
  return DeleteBlockedValue(m_platform.registry, m_productName, category, identity);
}

std::wstring CExclusionLists::OwnedRowsNotice(WORDING wording) const {
  std::shared_lock lock(m_lock);
  if (m_state.ownedNoticePath.empty()) return {};
  return TrFormat(kBuiltInOwnedRowsNotice, {m_state.ownedNoticePath}, wording);
}

std::size_t CExclusionLists::ShippedCount() const {
  std::shared_lock lock(m_lock);
  return m_state.shippedCount;
}

std::vector<EXCLUSION_ENTRY> CExclusionLists::IgnoreList() const {
  std::shared_lock lock(m_lock);
  return Plain(m_state.ignore);
}

std::vector<EXCLUSION_ENTRY> CExclusionLists::BlockedList() const {
  std::shared_lock lock(m_lock);
  return Plain(m_state.blocked);
}

std::vector<std::wstring> CExclusionLists::KRows() const {
  std::shared_lock lock(m_lock);
  return RowTexts(m_state.kRows);
}

std::vector<std::wstring> CExclusionLists::MRows() const {
  std::shared_lock lock(m_lock);
  return RowTexts(m_state.mRows);
}

std::vector<std::wstring> CExclusionLists::VRows() const {
  std::shared_lock lock(m_lock);
  return RowTexts(m_state.vRows);
}

bool CExclusionLists::IgnoreListChanged() const {
  std::shared_lock lock(m_lock);
  return m_state.ignoreChanged;
}

bool CExclusionLists::BlockedListChanged() const {
  std::shared_lock lock(m_lock);
  return m_state.blockedChanged;
}

}  // namespace qv
