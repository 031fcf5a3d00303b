// What the drive answered during one scan (CPathMemo): each folder listed once, and every later
// question about its entries answered from the listing. Asks the drive only through IFileSystem.
#include "engine/path_references.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/text.h"
#include "base/text_case.h"
#include "engine/path_text.h"

namespace qv {

using namespace path_text;

namespace {

constexpr std::uint8_t kEntryFolder = 1;
constexpr std::uint8_t kEntryJudged = 2;  // a judged path named it

// Upper case for comparing names: ASCII inline, the rest through the case table.
inline wchar_t FoldChar(wchar_t c) {
  if (c < 0x80) return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 0x20) : c;
  return ToUpperChar(c);
}

// The text in upper case into a string the caller keeps.
void UpperInto(std::wstring_view text, std::wstring* upper) {
  upper->resize(text.size());
  wchar_t* out = upper->data();
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = FoldChar(text[i]);
}

// The longest name a file system holds (NTFS, FAT32's long names).
constexpr std::size_t kMaxNameChars = 255;

// Names Windows opens as a device in any folder, with any extension.
constexpr std::wstring_view kDeviceNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$",
                                              L"CONOUT$", L"CLOCK$"};

bool IsDeviceName(std::wstring_view name) {
  // The part before the first dot, without the blanks Windows drops after it.
  std::wstring_view base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  for (std::wstring_view device : kDeviceNames) {
    if (EqualsNoCase(base, device)) return true;
  }
  // COM0-COM9, LPT0-LPT9.
  return base.size() == 4 && (EqualsNoCase(base.substr(0, 3), L"COM") ||
                              EqualsNoCase(base.substr(0, 3), L"LPT")) &&
         base[3] >= L'0' && base[3] <= L'9';
}

// Whether a name a folder's listing does not hold is not there: the name opens nothing but itself
// (see CPathMemo).
bool ListingTellsAbsence(std::wstring_view name) {
  if (name.empty() || name.size() > kMaxNameChars || name == L"." || name == L"..") return false;
  if (name.back() == L'.' || name.back() == L' ') return false;
  for (const wchar_t c : name) {
    if (c < 0x20 || c > 0x7E || c == L'~' || c == L':' || c == L'\\' || c == L'/' || c == L'*' ||
        c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|') {
      return false;
    }
  }
  return !IsDeviceName(name);
}

// A hash of an upper-case name, by which a listing's entries are ordered: the names of one folder
// often begin alike (file1.dll, file2.dll; api-ms-win-...), and a search that meets an entry of
// another hash need not read its name.
std::uint32_t NameHash(std::wstring_view upper) {
  const std::uint64_t hash = std::hash<std::wstring_view>{}(upper);
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

// Whether the path is a drive path whose folder a listing can answer for: "x:\\" and at least
// one element, no empty element, no trailing backslash.
bool HasListedFolder(std::wstring_view path) {
  if (path.size() < 4 || path[1] != L':' || path[2] != L'\\' || path[3] == L'\\') return false;
  if (path.back() == L'\\') return false;
  // (A search for the pair as a text would compare two units at every backslash.)
  for (std::size_t i = 4; i < path.size(); ++i) {
    if (path[i] == L'\\' && path[i - 1] == L'\\') return false;
  }
  return true;
}

// The folder that holds a path HasListedFolder accepts ("C:\\a\\b" gives "C:\\a", "C:\\a" gives
// "C:\\").
std::wstring_view FolderOf(std::wstring_view path) {
  const std::size_t slash = path.rfind(L'\\');
  return slash == 2 ? path.substr(0, 3) : path.substr(0, slash);
}

}  // namespace

CPathMemo::CPathMemo() = default;
CPathMemo::~CPathMemo() = default;

void CPathMemo::Forget() {
  m_folders.clear();
  m_folderIndex.Clear();
  m_asked.clear();
  m_judgedAbsent.Clear();
  for (RECENT& recent : m_recent) recent.folder = nullptr;
  m_hasLast = false;
  m_judged = 0;
}

CPathMemo::FOLDER& CPathMemo::Listed(std::wstring_view folder, IFileSystem& files) {
  // One reference's judgement asks after the same few folders again and again (the path's own,
  // the one above it on the climb), spelled the same way: those are found without a lookup.
  for (const RECENT& recent : m_recent) {
    // Folders of one length mostly differ in their last name: its last character is looked at
    // before the whole text is compared.
    if (recent.folder != nullptr && recent.text.size() == folder.size() && !folder.empty() &&
        recent.text.back() == folder.back() && recent.text == folder) {
      return *recent.folder;
    }
  }
  UpperInto(folder, &m_key);
  const std::uint64_t hash = std::hash<std::wstring_view>{}(m_key);
  const std::uint32_t at = m_folderIndex.Find(
      hash, [this](std::uint32_t index) { return m_folders[index].key == m_key; });
  if (at == CHashIndex::kNone) {
    m_folderIndex.Add(hash, static_cast<std::uint32_t>(m_folders.size()));
    FOLDER& added = m_folders.emplace_back();
    added.key = m_key;
    added.hash = hash;
  }
  FOLDER& state = at == CHashIndex::kNone ? m_folders.back() : m_folders[at];
  RECENT& slot = m_recent[m_nextRecent];
  m_nextRecent = (m_nextRecent + 1) % kRecentFolders;
  slot.text.assign(folder);
  slot.folder = &state;
  if (state.listed) return state;
  state.listed = true;
  std::wstring pattern(folder);
  if (!pattern.ends_with(L'\\')) pattern += L'\\';
  pattern += L'*';
  std::vector<CFindData> found;
  state.error = files.FindFiles(pattern, &found);
  if (state.error != kErrorSuccess) return state;
  std::size_t chars = 0;
  for (const CFindData& entry : found) chars += entry.name.size();
  state.names.resize(chars);
  state.entries.reserve(found.size());
  std::size_t used = 0;
  for (const CFindData& entry : found) {
    if (entry.name == L"." || entry.name == L".." || entry.name.size() > 0xFFFF) continue;
    std::uint8_t flags = 0;
    if (entry.directory) flags |= kEntryFolder;
    if (!entry.directory && IsProgramFileName(entry.name)) state.program = true;
    if (entry.directory && !entry.reparsePoint) {
      state.subfolders += entry.name;
      state.subfolders += L'\0';
    }
    const std::size_t start = used;
    for (const wchar_t c : entry.name) state.names[used++] = FoldChar(c);
    state.entries.push_back(
        {static_cast<std::uint32_t>(start),
         NameHash(std::wstring_view(state.names).substr(start, entry.name.size())),
         static_cast<std::uint16_t>(entry.name.size()), flags});
  }
  state.names.resize(used);
  // By their hashes, and names of one hash in the order of their upper-case code units.
  const std::wstring_view names(state.names);
  std::sort(state.entries.begin(), state.entries.end(), [names](const ENTRY& a, const ENTRY& b) {
    if (a.hash != b.hash) return a.hash < b.hash;
    return names.substr(a.offset, a.length) < names.substr(b.offset, b.length);
  });
  return state;
}

const CPathMemo::ENTRY* CPathMemo::Find(const FOLDER& folder, std::wstring_view name) {
  UpperInto(name, &m_name);
  const std::wstring_view upper(m_name);
  const std::uint32_t hash = NameHash(upper);
  const std::wstring_view names(folder.names);
  std::size_t low = 0;
  std::size_t high = folder.entries.size();
  while (low < high) {
    const std::size_t mid = (low + high) / 2;
    const ENTRY& entry = folder.entries[mid];
    const int order = entry.hash != hash ? (entry.hash < hash ? -1 : 1)
                                         : names.substr(entry.offset, entry.length).compare(upper);
    if (order == 0) return &entry;
    if (order < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return nullptr;
}

CPathMemo::ASKED& CPathMemo::Asked(std::wstring_view path) {
  UpperInto(path, &m_key);
  return m_asked[m_key];
}

ErrorCode CPathMemo::AskExistence(std::wstring_view path, IFileSystem& files, bool judged) {
  ASKED& asked = Asked(path);
  if (!asked.existenceAsked) {
    asked.existence = files.QueryExistence(path);
    asked.existenceAsked = true;
  }
  if (judged && !asked.judged) {
    asked.judged = true;
    ++m_judged;
  }
  return asked.existence;
}

void CPathMemo::CountAbsent(const FOLDER& folder) {
  // The name Find was last asked for (m_name, upper case) in the folder, as one of 2^64 values:
  // a count, not an answer, so a hash stands for the pair.
  const std::uint64_t hash =
      std::hash<std::wstring_view>{}(m_name) ^ (folder.hash * 0x9E3779B97F4A7C15ULL);
  if (m_judgedAbsent.Find(hash, [](std::uint32_t) { return true; }) != CHashIndex::kNone) return;
  m_judgedAbsent.Add(hash, 0);
  ++m_judged;
}

ErrorCode CPathMemo::Answer(std::wstring_view path, IFileSystem& files, bool judged) {
  if (!HasListedFolder(path)) return AskExistence(path, files, judged);
  const std::wstring_view name = NameOf(path);
  FOLDER& folder = Listed(FolderOf(path), files);
  if (folder.error == kErrorSuccess) {
    if (const ENTRY* entry = Find(folder, name)) {
      if (judged && (entry->flags & kEntryJudged) == 0) {
        const_cast<ENTRY*>(entry)->flags |= kEntryJudged;
        ++m_judged;
      }
      return kErrorSuccess;
    }
    if (!ListingTellsAbsence(name)) return AskExistence(path, files, judged);
    if (judged) CountAbsent(folder);
    return kErrorFileNotFound;
  }
  // A folder that is not there holds nothing; one whose listing failed otherwise, or a file in
  // the folder's place, is no answer.
  if (IsNotFound(folder.error) && IsNotFound(Answer(FolderOf(path), files, false))) {
    if (judged) {
      UpperInto(name, &m_name);
      CountAbsent(folder);  // element references outlive later insertions
    }
    return kErrorPathNotFound;
  }
  return AskExistence(path, files, judged);
}

ErrorCode CPathMemo::Existence(std::wstring_view path, IFileSystem& files) {
  return Answer(path, files, false);
}

bool CPathMemo::PathThere(std::wstring_view path, IFileSystem& files) {
  // A reference's reading and its judgement ask after the same path one after the other.
  if (m_hasLast && path == m_lastPath) return m_lastThere;
  bool there = !IsNotFound(Answer(path, files, m_countJudged));
  if (!there && MayBeAProgramName(path)) {
    std::wstring program(path);
    program += L".exe";
    there = !IsNotFound(Answer(program, files, false));
  }
  m_lastPath.assign(path);
  m_lastThere = there;
  m_hasLast = true;
  return there;
}

bool CPathMemo::IsFolder(std::wstring_view folder, IFileSystem& files) {
  folder = WithoutTrailingSlash(folder);
  if (HasListedFolder(folder)) {
    const FOLDER& listed = Listed(folder, files);
    if (listed.error == kErrorSuccess) return true;
    if (IsNotFound(listed.error)) {
      // Not a folder that lists (a link whose target is gone, a file): what its own folder's
      // listing says of it, as GetFileAttributesW reads the entry.
      const FOLDER& above = Listed(FolderOf(folder), files);
      if (above.error == kErrorSuccess) {
        const std::wstring_view name = NameOf(folder);
        if (const ENTRY* entry = Find(above, name)) return (entry->flags & kEntryFolder) != 0;
        if (ListingTellsAbsence(name)) return false;
      }
    }
  }
  ASKED& asked = Asked(folder);
  if (asked.folder < 0) asked.folder = files.IsDirectory(folder) ? 1 : 0;
  return asked.folder == 1;
}

bool CPathMemo::HoldsProgram(std::wstring_view folder, IFileSystem& files) {
  folder = WithoutTrailingSlash(folder);
  FOLDER& state = Listed(folder, files);  // element references outlive later insertions
  if (state.holds >= 0) return state.holds == 1;
  bool holds = state.program;
  std::wstring subfolder(folder);
  if (!subfolder.ends_with(L'\\')) subfolder += L'\\';
  const std::size_t folderChars = subfolder.size();
  const std::wstring_view subfolders(state.subfolders);
  for (std::size_t at = 0; !holds && at < subfolders.size();) {
    const std::size_t end = subfolders.find(L'\0', at);
    subfolder.resize(folderChars);
    subfolder.append(subfolders.substr(at, end - at));
    at = end + 1;
    holds = Listed(subfolder, files).program;
  }
  state.holds = holds ? 1 : 0;
  return holds;
}

}  // namespace qv
