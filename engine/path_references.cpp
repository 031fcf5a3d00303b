#include "engine/path_references.h"

#include <algorithm>
#include <cstdint>

#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"

namespace qv {

namespace {

// A CSIDL for each folder in resolution order; -1 marks Temp.
constexpr std::array<int, kEngineFolderCount> kFolderCsidls = {
    kCsidlAppData,       kCsidlStartup,         kCsidlProgramFilesCommon,
    kCsidlDesktopDirectory, kCsidlFavorites,    kCsidlProgramFiles,
    kCsidlPrograms,      kCsidlStartMenu,       kCsidlCommonStartMenu,
    kCsidlCommonStartup, kCsidlSystem,          -1,
    kCsidlProfile,       kCsidlWindows,         kCsidlCookies,
};

constexpr std::wstring_view kTempVariable = L"%temp%";

bool IsDriveRoot(std::wstring_view path) {
  return (path.size() == 2 || (path.size() == 3 && path[2] == L'\\')) && path[1] == L':';
}

// The path without trailing backslashes, a drive root keeping its own ("C:\").
std::wstring_view WithoutTrailingSlash(std::wstring_view path) {
  while (path.size() > 3 && path.back() == L'\\') path.remove_suffix(1);
  return path;
}

// Whether a file's name is a program's: .exe or .dll, any case.
bool IsProgramFileName(std::wstring_view name) {
  if (name.size() < 4) return false;
  const std::wstring_view extension = name.substr(name.size() - 4);
  return EqualsNoCase(extension, L".exe") || EqualsNoCase(extension, L".dll");
}

// Whether the path is the folder or lies in it (compared without case).
bool IsInFolder(std::wstring_view path, std::wstring_view folder) {
  if (folder.empty() || path.size() < folder.size()) return false;
  if (!EqualsNoCase(path.substr(0, folder.size()), folder)) return false;
  return path.size() == folder.size() || folder.back() == L'\\' || path[folder.size()] == L'\\';
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The number of leading characters of the text that fit into `units` UTF-16 code units without
// splitting a surrogate pair, so a cut lands in the same place in both builds.
std::size_t FittingPrefix(std::wstring_view text, std::size_t units) {
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t width = 1;  // code units
    std::size_t chars = 1;  // characters of the text
    // Above U+FFFF a character takes a surrogate pair in UTF-16 (only a 32-bit wchar_t holds
    // one; the comparison is made on a 32-bit copy so the 16-bit build compiles it too).
    const auto codePoint = static_cast<std::uint32_t>(text[i]);
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      width = 2;
      chars = 2;
    } else if (codePoint > 0xFFFFu) {
      width = 2;
    }
    if (used + width > units) break;
    used += width;
    i += chars;
  }
  return i;
}

std::wstring_view Prefix(std::wstring_view text, std::size_t units) {
  return text.substr(0, FittingPrefix(text, units));
}



// Environment expansion of text without a percent sign changes nothing: the shell is asked only
// when there is a variable to expand. The result and the size the expansion needs are those of
// ExpandEnvironmentStringsW.
std::uint32_t Expand(IShell& shell, std::wstring_view text, std::uint32_t capacity,
                     std::wstring* expanded) {
  if (text.find(L'%') != std::wstring_view::npos) {
    return shell.ExpandEnvironment(text, capacity, expanded);
  }
  const auto needed = static_cast<std::uint32_t>(Utf16Length(text) + 1);
  if (needed <= capacity) expanded->assign(text);
  return needed;
}

}  // namespace

const std::array<PLACEHOLDER, 18> kPlaceholders = {{
    {L"%systemroot%", FOLDER_WINDOWS},
    {L"%profile%", FOLDER_PROFILE},
    {L"%temp%", FOLDER_TEMP},
    {L"%windir%", FOLDER_WINDOWS},
    {L"%window%", FOLDER_WINDOWS},
    {L"%program_files%", FOLDER_PROGRAM_FILES},
    {L"%common_programs%", FOLDER_COMMON_FILES},
    {L"%autostart%", FOLDER_STARTUP},
    {L"%desktopdirectory%", FOLDER_DESKTOP_DIRECTORY},
    {L"%appdata%", FOLDER_APPDATA},
    {L"%startup%", FOLDER_PROGRAMS},
    {L"%common_startup%", FOLDER_COMMON_STARTUP},
    {L"%startmenu%", FOLDER_START_MENU},
    {L"%common_startmenu%", FOLDER_COMMON_START_MENU},
    {L"%cookie%", FOLDER_COOKIES},
    {L"%system%", FOLDER_SYSTEM},
    {L"%windows%", FOLDER_WINDOWS},
    {L"%favoriztes%", FOLDER_FAVORITES},
}};

int FolderCsidl(ENGINE_FOLDER folder) {
  const int index = static_cast<int>(folder);
  if (index < 0 || index >= kEngineFolderCount) return -1;
  return kFolderCsidls[static_cast<std::size_t>(index)];
}

CFolderTable CFolderTable::Resolve(IShell& shell) {
  CFolderTable table;
  for (int i = 0; i < kEngineFolderCount; ++i) {
    const auto folder = static_cast<ENGINE_FOLDER>(i);
    std::wstring path;
    if (folder == FOLDER_TEMP) {
      const std::uint32_t needed =
          shell.ExpandEnvironment(kTempVariable, static_cast<std::uint32_t>(kMaxPathChars), &path);
      // A variable that is not set comes back as written; that is no folder.
      if (needed == 0 || needed > kMaxPathChars || ToLower(path) == kTempVariable) path.clear();
    } else if (shell.GetFolderPath(FolderCsidl(folder), &path) != kErrorSuccess) {
      path.clear();
    }
    // The folder must fit a buffer of 260 characters with its terminator.
    if (Utf16Length(path) >= kMaxPathChars) path.clear();
    table.m_paths[static_cast<std::size_t>(i)] = std::move(path);
  }
  return table;
}

const std::wstring& CFolderTable::Path(ENGINE_FOLDER folder) const {
  static const std::wstring kNone;
  const int index = static_cast<int>(folder);
  if (index < 0 || index >= kEngineFolderCount) return kNone;
  return m_paths[static_cast<std::size_t>(index)];
}

void CFolderTable::SetPath(ENGINE_FOLDER folder, std::wstring path) {
  const int index = static_cast<int>(folder);
  if (index < 0 || index >= kEngineFolderCount) return;
  m_paths[static_cast<std::size_t>(index)] = std::move(path);
}

namespace {

// Replaces every placeholder of the lower-case text, in table order, by its folder's path; the
// same spans of `kept` (the same text in its own case, as long) when it is given.
void ReplacePlaceholders(std::wstring* lower, std::wstring* kept, const CFolderTable& folders) {
  // Every marker starts with a percent sign: text without one has nothing to replace.
  if (lower->find(L'%') == std::wstring::npos) return;
  for (const PLACEHOLDER& placeholder : kPlaceholders) {
    const std::wstring& path = folders.Path(placeholder.folder);
    std::size_t position = 0;
    while ((position = lower->find(placeholder.marker, position)) != std::wstring::npos) {
      lower->replace(position, placeholder.marker.size(), path);
      if (kept != nullptr) kept->replace(position, placeholder.marker.size(), path);
      position += path.size();
    }
  }
}

}  // namespace

std::wstring ExpandPlaceholders(std::wstring_view text, const CFolderTable& folders) {
  std::wstring result = ToLower(text);
  ReplacePlaceholders(&result, nullptr, folders);
  return result;
}

std::wstring ExpandReferenceText(std::wstring_view text, const CFolderTable& folders,
                                IShell& shell, const CPathView* view) {
  std::wstring kept(text);
  if (text.find(L'%') == std::wstring_view::npos) return kept;
  std::wstring lower = ToLower(text);
  ReplacePlaceholders(&lower, &kept, folders);
  if (view != nullptr) kept = view->WithViewVariables(kept);
  std::wstring expanded;
  const std::uint32_t needed =
      Expand(shell, kept, static_cast<std::uint32_t>(kCleanPathExpandChars), &expanded);
  if (needed == 0 || needed > kCleanPathExpandChars) return kept;
  return expanded;
}

namespace {

// The first position at which the text holds the part, compared without case; npos for none.
std::size_t FindNoCase(std::wstring_view text, std::wstring_view part) {
  if (part.empty() || part.size() > text.size()) return part.empty() ? 0 : std::wstring_view::npos;
  const wchar_t first = ToUpperChar(part[0]);
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (text[at] != part[0] && ToUpperChar(text[at]) != first) continue;
    if (EqualsNoCase(text.substr(at, part.size()), part)) return at;
  }
  return std::wstring_view::npos;
}

}  // namespace

std::wstring ReadablePath(std::wstring_view path, std::wstring_view text,
                          const CFolderTable& folders, const CPathView* view) {
  if (path.empty()) return std::wstring(path);
  std::wstring kept(text);
  // Every placeholder is written with a percent sign.
  if (text.find(L'%') != std::wstring_view::npos) {
    std::wstring lower = ToLower(text);
    ReplacePlaceholders(&lower, &kept, folders);
  }
  const std::size_t found = FindNoCase(kept, path);
  if (found != std::wstring::npos) return kept.substr(found, path.size());
  if (view != nullptr) {
    for (const std::wstring& written : view->WrittenForms(path)) {
      const std::size_t at = FindNoCase(kept, written);
      if (at != std::wstring::npos) return view->Resolve(kept.substr(at, written.size()));
    }
  }
  return std::wstring(path);
}

// ---- The 32-bit view ----

namespace {

// The subfolders of the system folder that the file system redirector leaves alone.
constexpr std::array<std::wstring_view, 6> kUnredirectedSystemFolders = {
    L"catroot", L"catroot2", L"driverstore", L"drivers\\etc", L"logfiles", L"spool"};
// Below the Windows folder: the name a 32-bit program opens the real system folder by, the
// folder of the last known good system files, and the registry editor (which has a 32-bit twin
// in the 32-bit system folder).
constexpr std::wstring_view kSysnativeFolder = L"Sysnative";
constexpr std::wstring_view kLastGoodFolder = L"lastgood";
constexpr std::wstring_view kRegistryEditorFile = L"regedit.exe";
// The variables a 32-bit program's environment sets to the x86 folders.
constexpr std::wstring_view kProgramFilesVariable = L"ProgramFiles";
constexpr std::wstring_view kCommonProgramFilesVariable = L"CommonProgramFiles";

// The last element of a folder path ("SysWOW64" of "C:\Windows\SysWOW64").
std::wstring_view LastElement(std::wstring_view folder) {
  const std::size_t slash = folder.rfind(L'\\');
  return slash == std::wstring_view::npos ? folder : folder.substr(slash + 1);
}

}  // namespace

CPathView CPathView::Resolve32Bit(IShell& shell, const CFolderTable& folders) {
  CPathView view;
  view.m_folders = folders;
  const std::wstring_view windows = WithoutTrailingSlash(folders.Path(FOLDER_WINDOWS));
  const std::wstring_view system = WithoutTrailingSlash(folders.Path(FOLDER_SYSTEM));
  std::wstring wow64;
  if (shell.GetFolderPath(kCsidlSystemX86, &wow64) != kErrorSuccess) wow64.clear();
  const std::wstring_view system32Bit = WithoutTrailingSlash(wow64);
  // A 32-bit Windows gives its one system folder for both.
  if (!windows.empty() && !system32Bit.empty() && !EqualsNoCase(system, system32Bit) &&
      system.size() > windows.size() && IsInFolder(system, windows) &&
      IsInFolder(system32Bit, windows)) {
    view.m_windows = windows;
    for (std::wstring_view folder : kUnredirectedSystemFolders) {
      view.m_exempt.push_back(JoinPath(system, folder));
    }
    const std::wstring lastGood = JoinPath(windows, kLastGoodFolder);
    view.m_rules = {
        {std::wstring(system), std::wstring(system32Bit), false},
        {JoinPath(windows, kSysnativeFolder), std::wstring(system), false},
        {JoinPath(lastGood, LastElement(system)), JoinPath(lastGood, LastElement(system32Bit)),
         false},
        {JoinPath(windows, kRegistryEditorFile), JoinPath(system32Bit, kRegistryEditorFile), true},
    };
  }
  const auto x86 = [&](int csidl, ENGINE_FOLDER folder, std::wstring* mapped) {
    std::wstring path;
    if (shell.GetFolderPath(csidl, &path) != kErrorSuccess) return;
    path = WithoutTrailingSlash(path);
    if (path.empty() || Utf16Length(path) >= kMaxPathChars ||
        EqualsNoCase(path, WithoutTrailingSlash(folders.Path(folder)))) {
      return;
    }
    view.m_folders.SetPath(folder, path);
    *mapped = std::move(path);
    view.m_programFiles = true;
  };
  x86(kCsidlProgramFilesX86, FOLDER_PROGRAM_FILES, &view.m_programFilesX86);
  x86(kCsidlProgramFilesCommonX86, FOLDER_COMMON_FILES, &view.m_commonFilesX86);
  return view;
}

std::wstring CPathView::WithViewVariables(std::wstring_view text) const {
  std::wstring result(text);
  if (!m_programFiles) return result;
  std::size_t start = result.find(L'%');
  while (start != std::wstring::npos) {
    const std::size_t end = result.find(L'%', start + 1);
    if (end == std::wstring::npos) break;
    const std::wstring_view name = std::wstring_view(result).substr(start + 1, end - start - 1);
    const std::wstring* folder = nullptr;
    if (!m_programFilesX86.empty() && EqualsNoCase(name, kProgramFilesVariable)) {
      folder = &m_programFilesX86;
    } else if (!m_commonFilesX86.empty() && EqualsNoCase(name, kCommonProgramFilesVariable)) {
      folder = &m_commonFilesX86;
    }
    if (folder == nullptr) {
      start = end;  // the closing sign may open the next variable, as the expansion reads it
      continue;
    }
    result.replace(start, end - start + 1, *folder);
    start = result.find(L'%', start + folder->size());
  }
  return result;
}

bool CPathView::MapPath(std::wstring_view path, std::wstring* mapped) const {
  if (m_rules.empty() || !IsInFolder(path, m_windows)) return false;
  for (const std::wstring& exempt : m_exempt) {
    if (IsInFolder(path, exempt)) return false;
  }
  for (const PATH_RULE& rule : m_rules) {
    if (rule.file ? !EqualsNoCase(path, rule.from) : !IsInFolder(path, rule.from)) continue;
    std::wstring result = rule.to;
    result.append(path.substr(rule.from.size()));
    *mapped = std::move(result);
    return true;
  }
  return false;
}

std::wstring CPathView::Resolve(std::wstring_view path) const {
  std::wstring mapped;
  return MapPath(path, &mapped) ? mapped : std::wstring(path);
}

std::vector<std::wstring> CPathView::WrittenForms(std::wstring_view path) const {
  std::vector<std::wstring> forms;
  for (const PATH_RULE& rule : m_rules) {
    if (rule.file ? !EqualsNoCase(path, rule.to) : !IsInFolder(path, rule.to)) continue;
    std::wstring written = rule.from;
    written.append(path.substr(rule.to.size()));
    // Only a form the view maps back to the path (an exempt folder is not).
    if (Resolve(written) == path) forms.push_back(std::move(written));
  }
  return forms;
}

std::wstring ExtractCommandPath(std::wstring_view text) {
  std::wstring_view path = text;
  bool unquote = false;
  if (text.find(L"Folder:") != std::wstring_view::npos) {
    // "Folder:" contains a colon, so there is always a first colon.
    path = text.substr(text.find(L':') + 1);
    unquote = true;
  } else if (text.find(L"regsvr32") != std::wstring_view::npos) {
    const std::size_t programEnd = text.find_first_not_of(L"regsv32");
    path = programEnd == std::wstring_view::npos ? std::wstring_view() : text.substr(programEnd);
    const std::size_t quote = path.find(L'"');
    if (quote != std::wstring_view::npos) path = path.substr(quote + 1);
    unquote = true;
  }
  if (unquote) {
    while (!path.empty() && path.back() == L'"') path.remove_suffix(1);
    while (!path.empty() && path.front() == L'"') path.remove_prefix(1);
  }
  return std::wstring(Prefix(path, kMaxPathChars));
}

namespace {

// The first position of the extension (upper case, as ".EXE") in the text, compared without case.
std::size_t FindExtension(std::wstring_view text, std::wstring_view extension) {
  if (text.size() < extension.size()) return std::wstring_view::npos;
  for (std::size_t i = 0; i + extension.size() <= text.size(); ++i) {
    if (text[i] != L'.') continue;
    std::size_t k = 1;
    while (k < extension.size() && ToUpperChar(text[i + k]) == extension[k]) ++k;
    if (k == extension.size()) return i;
  }
  return std::wstring_view::npos;
}

}  // namespace

std::wstring CleanPath(std::wstring_view source, IShell& shell, const CPathView* view) {
  std::wstring_view path = source;
  while (!path.empty() && path.front() == L'"') path.remove_prefix(1);
  const std::size_t closingQuote = path.find(L'"');
  if (closingQuote != std::wstring_view::npos) path = path.substr(0, closingQuote);

  // The arguments after the program name go: the text ends right after the earliest program
  // extension found in the first 260 characters, compared without case (case conversion keeps
  // every position, so the search needs no upper-case copy).
  const std::wstring_view searched = Prefix(path, kMaxPathChars);
  for (std::wstring_view extension : {L".EXE", L".DLL", L".OCX"}) {
    const std::size_t found = FindExtension(searched, extension);
    if (found != std::wstring_view::npos && found + extension.size() < path.size()) {
      path = path.substr(0, found + extension.size());
    }
  }

  std::wstring viewed;
  if (view != nullptr && path.find(L'%') != std::wstring_view::npos) {
    viewed = view->WithViewVariables(path);
    path = viewed;
  }
  std::wstring expanded;
  const std::uint32_t needed =
      Expand(shell, path, static_cast<std::uint32_t>(kCleanPathExpandChars), &expanded);
  if (needed == 0 || needed > kCleanPathExpandChars) {
    expanded = Prefix(path, kCleanPathExpandChars - 1);
  }
  std::wstring mapped;
  if (view != nullptr && view->MapPath(expanded, &mapped)) return mapped;
  return expanded;
}

DRIVE_KIND CDriveMemo::Kind(wchar_t letter, IFileSystem& files) {
  const wchar_t upper = ToUpperChar(letter);
  if (upper < L'A' || upper > L'Z') return DRIVE_KIND::kAbsent;
  signed char& known = m_kinds[static_cast<std::size_t>(upper - L'A')];
  if (known < 0) known = static_cast<signed char>(files.DriveKind(upper));
  return static_cast<DRIVE_KIND>(known);
}

namespace {

PATH_STANDING DriveStanding(DRIVE_KIND kind) {
  switch (kind) {
    case DRIVE_KIND::kFixed:
    case DRIVE_KIND::kRamDisk: return PATH_STANDING::kPresent;
    case DRIVE_KIND::kAbsent: return PATH_STANDING::kDriveAbsent;
    case DRIVE_KIND::kRemovable: return PATH_STANDING::kRemovableDrive;
    case DRIVE_KIND::kOptical: return PATH_STANDING::kOpticalDrive;
    case DRIVE_KIND::kNetwork: return PATH_STANDING::kNetworkDrive;
    case DRIVE_KIND::kUnknown: break;
  }
  return PATH_STANDING::kUnknownDrive;
}

bool IsNotFound(ErrorCode error) {
  return error == kErrorFileNotFound || error == kErrorPathNotFound;
}

// The last element of a path ("app.exe" of "C:\\App\\app.exe"; all of it without a backslash).
std::wstring_view NameOf(std::wstring_view path) {
  const std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// Whether a command line would find the path as name.exe: its name has no extension.
bool MayBeAProgramName(std::wstring_view path) {
  const std::wstring_view name = NameOf(path);
  return !name.empty() && name.find(L'.') == std::wstring_view::npos;
}

// Whether the drive has the path, or cannot tell, asked of the drive itself.
bool ThereOrUntold(std::wstring_view path, IFileSystem& files) {
  if (!IsNotFound(files.QueryExistence(path))) return true;
  // A command line finds "C:\\App\\app" as C:\\App\\app.exe.
  if (!MayBeAProgramName(path)) return false;
  std::wstring program(path);
  program += L".exe";
  return !IsNotFound(files.QueryExistence(program));
}

}  // namespace

PATH_STANDING JudgeDrivePath(std::wstring_view path, IFileSystem& files, CPathMemo* memo,
                             CDriveMemo* drives) {
  if (path.empty()) return PATH_STANDING::kPresent;
  CDriveMemo once;
  const PATH_STANDING drive = DriveStanding((drives != nullptr ? *drives : once).Kind(path[0], files));
  if (drive != PATH_STANDING::kPresent) return drive;
  const bool there = memo != nullptr ? memo->PathThere(path, files) : ThereOrUntold(path, files);
  return there ? PATH_STANDING::kPresent : PATH_STANDING::kMissing;
}

// ---- What the drive answered during one scan ----

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

// Whether the path is a drive path whose folder a listing can answer for: "x:\\" and at least
// one element, no empty element, no trailing backslash.
bool HasListedFolder(std::wstring_view path) {
  if (path.size() < 4 || path[1] != L':' || path[2] != L'\\' || path[3] == L'\\') return false;
  if (path.back() == L'\\') return false;
  return path.find(L"\\\\", 3) == std::wstring_view::npos;
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
    if (recent.folder != nullptr && recent.text == folder) return *recent.folder;
  }
  UpperInto(folder, &m_key);
  const std::uint64_t hash = std::hash<std::wstring_view>{}(m_key);
  FOLDER* known = nullptr;
  std::size_t probe = m_folderIndex.Start(hash);
  for (std::uint32_t at = m_folderIndex.Next(hash, &probe); at != CHashIndex::kNone;
       at = m_folderIndex.Next(hash, &probe)) {
    if (m_folders[at].key == m_key) {
      known = &m_folders[at];
      break;
    }
  }
  if (known == nullptr) {
    m_folderIndex.Add(hash, static_cast<std::uint32_t>(m_folders.size()));
    known = &m_folders.emplace_back();
    known->key = m_key;
    known->ordinal = m_folders.size();
  }
  FOLDER& state = *known;
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
    state.entries.push_back({static_cast<std::uint32_t>(used),
                             static_cast<std::uint16_t>(entry.name.size()), flags});
    for (const wchar_t c : entry.name) state.names[used++] = FoldChar(c);
  }
  state.names.resize(used);
  // Upper-case names in the order of their code units: the order of names compared without case.
  const std::wstring_view names(state.names);
  std::sort(state.entries.begin(), state.entries.end(), [names](const ENTRY& a, const ENTRY& b) {
    return names.substr(a.offset, a.length) < names.substr(b.offset, b.length);
  });
  return state;
}

const CPathMemo::ENTRY* CPathMemo::Find(const FOLDER& folder, std::wstring_view name) {
  UpperInto(name, &m_name);
  const std::wstring_view upper(m_name);
  const std::wstring_view names(folder.names);
  std::size_t low = 0;
  std::size_t high = folder.entries.size();
  while (low < high) {
    const std::size_t mid = (low + high) / 2;
    const ENTRY& entry = folder.entries[mid];
    const int order = names.substr(entry.offset, entry.length).compare(upper);
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
      std::hash<std::wstring_view>{}(m_name) ^ (folder.ordinal * 0x9E3779B97F4A7C15ULL);
  std::size_t probe = m_judgedAbsent.Start(hash);
  if (m_judgedAbsent.Next(hash, &probe) != CHashIndex::kNone) return;
  m_judgedAbsent.Add(hash, 0);
  ++m_judged;
}

std::uint32_t CPathMemo::CHashIndex::Next(std::uint64_t hash, std::size_t* probe) const {
  if (m_slots.empty()) return kNone;
  for (;; *probe = (*probe + 1) & m_mask) {
    const SLOT& slot = m_slots[*probe];
    if (slot.index == kNone) return kNone;
    if (slot.hash == hash) {
      *probe = (*probe + 1) & m_mask;
      return slot.index;
    }
  }
}

void CPathMemo::CHashIndex::Add(std::uint64_t hash, std::uint32_t index) {
  if ((m_count + 1) * 2 > m_slots.size()) Grow();
  std::size_t at = hash & m_mask;
  while (m_slots[at].index != kNone) at = (at + 1) & m_mask;
  m_slots[at] = {hash, index};
  ++m_count;
}

void CPathMemo::CHashIndex::Grow() {
  std::vector<SLOT> old = std::move(m_slots);
  m_slots.assign(old.empty() ? 1024 : old.size() * 2, SLOT{});
  m_mask = m_slots.size() - 1;
  m_count = 0;
  for (const SLOT& slot : old) {
    if (slot.index != kNone) Add(slot.hash, slot.index);
  }
}

void CPathMemo::CHashIndex::Clear() {
  m_slots.clear();
  m_mask = 0;
  m_count = 0;
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
  bool there = !IsNotFound(Answer(path, files, true));
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

// ---- Whose folder a missing path lies in ----

namespace {

// How a folder the shell gives counts as a container.
enum class CONTAINER_ROLE {
  kItself,     // the folder itself
  kInProfile,  // its place inside a profile, in every profile (itself when outside the profile)
};

struct CONTAINER_FOLDER {
  int csidl;
  CONTAINER_ROLE role;
};

constexpr std::array<CONTAINER_FOLDER, 7> kContainerFolders = {{
    {kCsidlProgramFiles, CONTAINER_ROLE::kItself},
    {kCsidlProgramFilesX86, CONTAINER_ROLE::kItself},
    {kCsidlProgramFilesCommon, CONTAINER_ROLE::kItself},
    {kCsidlProgramFilesCommonX86, CONTAINER_ROLE::kItself},
    {kCsidlCommonAppData, CONTAINER_ROLE::kItself},
    {kCsidlAppData, CONTAINER_ROLE::kInProfile},
    {kCsidlLocalAppData, CONTAINER_ROLE::kInProfile},
}};


// The folder that holds the path ("C:\a\b" gives "C:\a", "C:\a" gives "C:\"); empty for a root
// or a path without a folder.
std::wstring_view ParentFolder(std::wstring_view path) {
  if (IsDriveRoot(path)) return {};
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring_view::npos) return {};
  if (slash == 2 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
}



// What the climb asks of folders when no memo is given: the drive itself, each folder once in
// the call.
class CFoldersAskedAfresh {
 public:
  bool IsFolder(std::wstring_view folder, IFileSystem& files) {
    signed char& known = m_folders[ToUpper(WithoutTrailingSlash(folder))].exists;
    if (known < 0) known = files.IsDirectory(folder) ? 1 : 0;
    return known == 1;
  }
  bool HoldsProgram(std::wstring_view folder, IFileSystem& files) {
    STATE& state = m_folders[ToUpper(WithoutTrailingSlash(folder))];
    if (state.holds >= 0) return state.holds == 1;
    if (state.program < 0) List(folder, state, files);
    bool holds = state.program == 1;
    for (std::size_t i = 0; !holds && i < state.subfolders.size(); ++i) {
      STATE& subfolder = m_folders[ToUpper(state.subfolders[i])];
      if (subfolder.program < 0) List(state.subfolders[i], subfolder, files);
      holds = subfolder.program == 1;
    }
    state.holds = holds ? 1 : 0;
    return holds;
  }

 private:
  struct STATE {
    signed char exists = -1;
    signed char program = -1;
    signed char holds = -1;
    std::vector<std::wstring> subfolders;
  };
  static void List(std::wstring_view folder, STATE& state, IFileSystem& files) {
    state.program = 0;
    std::wstring pattern(WithoutTrailingSlash(folder));
    if (!pattern.ends_with(L'\\')) pattern += L'\\';
    const std::size_t folderChars = pattern.size();
    pattern += L'*';
    std::vector<CFindData> entries;
    if (files.FindFiles(pattern, &entries) != kErrorSuccess) return;
    for (const CFindData& entry : entries) {
      if (entry.name == L"." || entry.name == L"..") continue;
      if (entry.directory) {
        if (!entry.reparsePoint) state.subfolders.push_back(pattern.substr(0, folderChars) + entry.name);
      } else if (IsProgramFileName(entry.name)) {
        state.program = 1;
      }
    }
  }
  std::unordered_map<std::wstring, STATE> m_folders;  // by upper-case path
};

// The nearest folder on the missing path's way that exists (empty when none does, not even the
// drive), and the first missing folder below it (empty when the path's own folder exists, or
// when the path names no folder at all).
template <typename FOLDERS>
void FindNearestFolder(std::wstring_view path, IFileSystem& files, FOLDERS& memo,
                       std::wstring_view* existing, std::wstring_view* firstMissing) {
  std::wstring_view child = path;
  std::wstring_view folder = ParentFolder(path);
  *existing = {};
  *firstMissing = {};
  if (folder.empty()) return;
  while (!folder.empty()) {
    if (memo.IsFolder(folder, files)) {
      *existing = folder;
      *firstMissing = child == path ? std::wstring_view() : child;
      return;
    }
    child = folder;
    folder = ParentFolder(folder);
  }
  *firstMissing = child;
}

MISSING_PATH Located(std::wstring_view existing, std::wstring_view firstMissing) {
  if (firstMissing.empty()) {
    return {MISSING_PATH_STANDING::kMissingFile, std::wstring(existing)};
  }
  return {MISSING_PATH_STANDING::kMissingFolder, std::wstring(firstMissing)};
}

}  // namespace

CContainerFolders CContainerFolders::Resolve(IShell& shell, const CFolderTable& folders) {
  CContainerFolders containers;
  std::wstring profile;
  if (shell.GetFolderPath(kCsidlProfile, &profile) != kErrorSuccess) profile.clear();
  const std::wstring_view profileFolder = WithoutTrailingSlash(profile);
  const std::wstring_view users = ParentFolder(profileFolder);
  // A profile right below a drive's root leaves no users' folder to tell profiles by.
  if (!users.empty() && !IsDriveRoot(users)) {
    containers.m_users = ToUpper(users);
    containers.m_folders.push_back(containers.m_users);
  }
  for (const CONTAINER_FOLDER& container : kContainerFolders) {
    std::wstring path;
    if (shell.GetFolderPath(container.csidl, &path) != kErrorSuccess) continue;
    const std::wstring_view folder = WithoutTrailingSlash(path);
    if (folder.empty()) continue;
    if (container.role == CONTAINER_ROLE::kInProfile && !containers.m_users.empty() &&
        folder.size() > profileFolder.size() + 1 && IsInFolder(folder, profileFolder)) {
      containers.m_profileFolders.push_back(ToUpper(folder.substr(profileFolder.size() + 1)));
    } else {
      containers.m_folders.push_back(ToUpper(folder));
    }
  }
  const std::wstring_view temp = WithoutTrailingSlash(folders.Path(FOLDER_TEMP));
  if (!temp.empty()) containers.m_folders.push_back(ToUpper(temp));
  return containers;
}

bool CContainerFolders::Contains(std::wstring_view folder) const {
  folder = WithoutTrailingSlash(folder);
  if (IsDriveRoot(folder)) return true;
  // The folders are kept in upper case; the folder is compared without case.
  for (const std::wstring& container : m_folders) {
    if (EqualsNoCase(folder, container)) return true;
  }
  if (m_users.empty() || folder.size() <= m_users.size() + 1 ||
      !EqualsNoCase(folder.substr(0, m_users.size()), m_users) ||
      folder[m_users.size()] != L'\\') {
    return false;
  }
  // Below the users' folder: a profile, or a profile's application-data folder.
  const std::wstring_view inUsers = folder.substr(m_users.size() + 1);
  const std::size_t slash = inUsers.find(L'\\');
  if (slash == std::wstring_view::npos) return true;
  const std::wstring_view inProfile = inUsers.substr(slash + 1);
  for (const std::wstring& inside : m_profileFolders) {
    if (EqualsNoCase(inProfile, inside)) return true;
  }
  return false;
}

namespace {

template <typename FOLDERS>
MISSING_PATH JudgeMissing(std::wstring_view path, std::wstring_view windows,
                          const CContainerFolders& containers, IFileSystem& files,
                          FOLDERS& asked) {
  path = WithoutTrailingSlash(path);
  windows = WithoutTrailingSlash(windows);
  if (IsInFolder(path, windows)) {
    return {MISSING_PATH_STANDING::kWindows, std::wstring(path.substr(0, windows.size()))};
  }
  std::wstring_view existing;
  std::wstring_view firstMissing;
  FindNearestFolder(path, files, asked, &existing, &firstMissing);
  if (!existing.empty() && !containers.Contains(existing)) {
    // A program's own folder may hold folders of its data (Tool\\data, which it made at setup,
    // beside Tool\\tool.exe): the program is looked for in each folder on the way up, until a
    // folder that holds programs rather than being one.
    for (std::wstring_view folder = existing; !folder.empty() && !containers.Contains(folder);
         folder = ParentFolder(folder)) {
      if (asked.HoldsProgram(folder, files)) {
        return {MISSING_PATH_STANDING::kProgramFolder, std::wstring(folder)};
      }
    }
    return {MISSING_PATH_STANDING::kNoProgram, std::wstring(existing)};
  }
  return Located(existing, firstMissing);
}

}  // namespace

MISSING_PATH LocateMissingPath(std::wstring_view path, IFileSystem& files, CPathMemo* memo) {
  std::wstring_view existing;
  std::wstring_view firstMissing;
  if (memo != nullptr) {
    FindNearestFolder(WithoutTrailingSlash(path), files, *memo, &existing, &firstMissing);
  } else {
    CFoldersAskedAfresh once;
    FindNearestFolder(WithoutTrailingSlash(path), files, once, &existing, &firstMissing);
  }
  return Located(existing, firstMissing);
}

MISSING_PATH JudgeMissingPath(std::wstring_view path, std::wstring_view windows,
                              const CContainerFolders& containers, IFileSystem& files,
                              CPathMemo* memo) {
  if (memo != nullptr) return JudgeMissing(path, windows, containers, files, *memo);
  CFoldersAskedAfresh once;
  return JudgeMissing(path, windows, containers, files, once);
}

}  // namespace qv
