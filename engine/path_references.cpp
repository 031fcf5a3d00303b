#include "engine/path_references.h"

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

void ReplaceAll(std::wstring* text, std::wstring_view from, std::wstring_view to) {
  std::size_t position = 0;
  while ((position = text->find(from, position)) != std::wstring::npos) {
    text->replace(position, from.size(), to);
    position += to.size();
  }
}

// A set of ASCII delimiter characters, tested with one bit each.
class CDelimiters {
 public:
  constexpr explicit CDelimiters(std::wstring_view characters) {
    for (const wchar_t c : characters) m_bits[static_cast<std::size_t>(c) / 64] |= Bit(c);
  }
  [[nodiscard]] constexpr bool Has(wchar_t c) const {
    const auto code = static_cast<std::uint32_t>(c);
    return code < 128 && (m_bits[code / 64] & Bit(c)) != 0;
  }

 private:
  static constexpr std::uint64_t Bit(wchar_t c) {
    return std::uint64_t{1} << (static_cast<std::uint32_t>(c) % 64);
  }
  std::uint64_t m_bits[2] = {0, 0};
};

// Tokens separated by runs of delimiters, left to right; empty tokens are never produced.
class CTokenizer {
 public:
  CTokenizer(std::wstring_view text, const CDelimiters& delimiters)
      : m_text(text), m_delimiters(delimiters) {}

  bool Next(std::wstring_view* token) {
    while (m_position < m_text.size() && IsDelimiter(m_text[m_position])) ++m_position;
    if (m_position >= m_text.size()) return false;
    const std::size_t start = m_position;
    while (m_position < m_text.size() && !IsDelimiter(m_text[m_position])) ++m_position;
    *token = m_text.substr(start, m_position - start);
    return true;
  }

 private:
  bool IsDelimiter(wchar_t c) const { return m_delimiters.Has(c); }

  std::wstring_view m_text;
  const CDelimiters& m_delimiters;
  std::size_t m_position = 0;
};

constexpr CDelimiters kRundllDelimiters(L"/ ");
constexpr CDelimiters kReferenceDelimiters(L"/*?<>|;=,-\"%");
constexpr CDelimiters kUnjudgedPathCharacters(L"/*?<>|");

// Whether the text, lower-cased, holds the (lower-case) needle; no lower-cased copy is made.
bool ContainsNoCase(std::wstring_view text, std::wstring_view needle) {
  if (needle.empty()) return true;
  for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && ToLowerChar(text[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
  }
  return false;
}

bool HasAny(std::wstring_view text, const CDelimiters& characters) {
  for (const wchar_t c : text) {
    if (characters.Has(c)) return true;
  }
  return false;
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

std::wstring ExpandPlaceholders(std::wstring_view text, const CFolderTable& folders) {
  std::wstring result = ToLower(text);
  // Every marker starts with a percent sign: text without one has nothing to replace.
  if (result.find(L'%') == std::wstring::npos) return result;
  for (const PLACEHOLDER& placeholder : kPlaceholders) {
    ReplaceAll(&result, placeholder.marker, folders.Path(placeholder.folder));
  }
  return result;
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

std::wstring CleanPath(std::wstring_view source, IShell& shell) {
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

  std::wstring expanded;
  const std::uint32_t needed =
      Expand(shell, path, static_cast<std::uint32_t>(kCleanPathExpandChars), &expanded);
  if (needed == 0 || needed > kCleanPathExpandChars) {
    return std::wstring(Prefix(path, kCleanPathExpandChars - 1));
  }
  return expanded;
}

const bool* CPathMemo::Find(std::wstring_view path) {
  m_key.assign(path);
  const auto found = m_answers.find(m_key);
  return found == m_answers.end() ? nullptr : &found->second;
}

void CPathMemo::Remember(std::wstring_view path, bool exists) {
  m_answers.insert_or_assign(std::wstring(path), exists);
}

namespace {

// Whether the drive knows the absolute path as a file or folder, a root, or on the search path.
bool DriveKnows(std::wstring_view path, const CPlatform& platform) {
  if (platform.files.FileExists(path) || platform.files.IsRoot(path)) return true;
  std::wstring onPath = ToLower(path);
  return platform.files.FindOnPath(&onPath);
}

}  // namespace

bool PathTokenExists(std::wstring_view token, const CPlatform& platform, CPathMemo* memo) {
  std::wstring_view trimmed = token;
  while (!trimmed.empty() && IsWhiteSpace(trimmed.front())) trimmed.remove_prefix(1);
  while (!trimmed.empty() && (trimmed.back() == L'\\' || trimmed.back() == L' ')) {
    trimmed.remove_suffix(1);
  }
  trimmed = TrimWhiteSpace(trimmed);

  if (trimmed.empty() || trimmed.front() == L'\\' || Utf16Length(trimmed) >= kMaxPathChars ||
      HasAny(trimmed, kUnjudgedPathCharacters)) {
    return true;
  }
  // Without a variable to expand the token stays as it is: one that is no drive path
  // (c:\...) is not judged, and needs no more work to say so. (Every test below that answers
  // true may be made first: true is the answer of each of them.)
  const bool variables = trimmed.find(L'%') != std::wstring_view::npos;
  if (!variables && (trimmed.size() < 3 || trimmed[1] != L':' || trimmed[2] != L'\\')) {
    return true;
  }

  // What the shell's path tests are asked about: the token itself when there is nothing to
  // collapse and nothing to expand, otherwise the collapsed and expanded text. Letter case is no
  // matter to them (the file system compares names without case), so the tests below are made
  // without case instead of on a lower-cased copy.
  std::wstring expandedPath;
  std::wstring_view judged = trimmed;
  if (!variables && trimmed.find(L"\\\\") == std::wstring_view::npos) {
    if (Utf16Length(trimmed) + 1 >= kMaxPathChars) return true;  // the expansion's size test
  } else {
    std::wstring path(trimmed);
    ReplaceAll(&path, L"\\\\", L"\\");
    const std::uint32_t needed =
        Expand(platform.shell, path, static_cast<std::uint32_t>(kMaxPathChars + 1), &expandedPath);
    if (needed == 0 || needed >= kMaxPathChars) return true;
    judged = expandedPath;
  }
  if (judged.starts_with(L'0') || judged.find(L'?') != std::wstring_view::npos ||
      ContainsNoCase(judged, L"-k") || ContainsNoCase(judged, L"file:/")) {
    return true;
  }
  // Only absolute local paths (c:\...) are judged.
  if (judged.size() < 3 || judged[1] != L':' || judged[2] != L'\\') return true;

  if (memo == nullptr) return DriveKnows(judged, platform);
  if (const bool* known = memo->Find(judged)) return *known;
  const bool exists = DriveKnows(judged, platform);
  memo->Remember(judged, exists);
  return exists;
}

bool IsValidReference(std::wstring_view text, const CFolderTable& folders,
                      const CPlatform& platform, CPathMemo* memo) {
  std::wstring upper = ExpandPlaceholders(text, folders);
  for (wchar_t& c : upper) c = ToUpperChar(c);
  std::wstring_view reference = upper;

  if (reference.starts_with(L'"')) {
    reference.remove_prefix(1);
    const std::size_t closingQuote = reference.find(L'"');
    if (closingQuote != std::wstring_view::npos) reference = reference.substr(0, closingQuote);
    if (Utf16Length(reference) < 4) return true;
  }

  const std::size_t rundll = reference.find(L"RUNDLL");
  if (rundll != std::wstring_view::npos) {
    CTokenizer tokens(reference.substr(rundll + 1), kRundllDelimiters);
    std::wstring_view program;
    std::wstring_view argument;
    if (!tokens.Next(&program) || !tokens.Next(&argument)) return true;
    if (PathTokenExists(argument, platform, memo)) return true;
  }

  CTokenizer tokens(reference, kReferenceDelimiters);
  std::wstring_view token;
  bool judged = false;
  while (tokens.Next(&token)) {
    if (PathTokenExists(token, platform, memo)) return true;
    judged = true;
  }
  // Text without a single path-like token names nothing that could be missing.
  return !judged;
}

}  // namespace qv
