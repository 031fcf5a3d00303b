// The engine's folder table, the product's folder placeholders and their expansion, the readable
// form of a path found in a text, the two command-line cleaning steps, and the judgement of one
// drive path (the drive's kind asked once per scan, then the path itself). Asks the shell and the
// drive only through the platform seam. The 32-bit view's paths are in path_view.cpp, what the
// drive answered during a scan in path_memo.cpp, whose folder a missing path lies in in
// missing_paths.cpp, and how a reference is read in reference_reading.cpp.
#include "engine/path_references.h"

#include <algorithm>
#include <cstdint>

#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"
#include "engine/path_text.h"

namespace qv {

using namespace path_text;

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

}  // namespace qv
