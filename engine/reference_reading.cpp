#include "engine/reference_reading.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"

namespace qv {
namespace {

// The text that marks a folder reference in some programs' data ("Folder:C:\Data").
constexpr std::wstring_view kFolderMarker = L"Folder:";
constexpr std::wstring_view kExeExtension = L".exe";

bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring_view TrimBlanksRight(std::wstring_view text) {
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view end) {
  return text.size() >= end.size() && EqualsNoCase(text.substr(text.size() - end.size()), end);
}

// The last element of a path ("app.exe" of "C:\App\app.exe").
std::wstring_view LastElement(std::wstring_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (path[i - 1] == L'\\' || path[i - 1] == L'/') return path.substr(i);
  }
  return path;
}

// Whether the text holds, from `from` on, a character no file name holds (* ? < > | " /): a path
// with one is a pattern or not a path at all.
bool HoldsNoNameCharacter(std::wstring_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    switch (text[i]) {
      case L'*': case L'?': case L'<': case L'>': case L'|': case L'"': case L'/': return true;
      default: break;
    }
  }
  return false;
}

// Whether the text with its terminator fits a path buffer (fewer than kMaxPathChars UTF-16
// units); the units are counted only when the characters alone cannot tell.
bool FitsPathBuffer(std::wstring_view text) {
  if (text.size() + 1 >= kMaxPathChars) return false;
  if (2 * text.size() + 1 < kMaxPathChars) return true;
  return Utf16Length(text) + 1 < kMaxPathChars;
}

// Whether the program path names one of the hosts, with or without ".exe".
template <std::size_t N>
bool IsHost(std::wstring_view program, const std::wstring_view (&hosts)[N]) {
  std::wstring_view name = LastElement(program);
  if (EndsWithNoCase(name, kExeExtension)) name.remove_suffix(kExeExtension.size());
  for (std::wstring_view host : hosts) {
    if (EqualsNoCase(name, host)) return true;
  }
  return false;
}

// The text without an icon or resource index at its end (",0", ", -101"); *index receives it.
std::wstring_view WithoutIndex(std::wstring_view text, std::wstring_view* index) {
  const std::size_t comma = text.rfind(L',');
  if (comma == std::wstring_view::npos) return text;
  std::wstring_view number = TrimWhiteSpace(text.substr(comma + 1));
  if (!number.empty() && number.front() == L'-') number.remove_prefix(1);
  if (number.empty()) return text;
  for (const wchar_t c : number) {
    if (!IsDigit(c)) return text;
  }
  *index = text.substr(comma);
  return TrimBlanksRight(text.substr(0, comma));
}

// Where a switch begins: a blank, then "/" or "-" (or "--"), then a letter, a digit or "?". A
// hyphen between blanks ("App - Copy") or inside a name ("Gone-App") is part of the name.
std::size_t FindSwitch(std::wstring_view text) {
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    if (text[i] != L' ' || (text[i + 1] != L'/' && text[i + 1] != L'-')) continue;
    std::size_t next = i + 2;
    if (text[i + 1] == L'-' && text[next] == L'-') ++next;
    if (next < text.size() && (IsLetter(text[next]) || IsDigit(text[next]) || text[next] == L'?')) {
      return i;
    }
  }
  return std::wstring_view::npos;
}

// Where the earliest program file name ends: after a program extension followed by a blank, a
// comma or the end of the text.
std::size_t FindProgramEnd(std::wstring_view text) {
  std::size_t best = std::wstring_view::npos;
  for (std::size_t dot = text.find(L'.'); dot != std::wstring_view::npos && dot < best;
       dot = text.find(L'.', dot + 1)) {
    for (std::wstring_view extension : kProgramExtensions) {
      const std::size_t end = dot + extension.size();
      if (end > text.size() || !EqualsNoCase(text.substr(dot, extension.size()), extension)) {
        continue;
      }
      if (end == text.size() || text[end] == L' ' || text[end] == L',') {
        best = end;
        break;
      }
    }
  }
  return best;
}

struct SPLIT {
  std::wstring_view path;
  std::wstring_view arguments;
};

// An unquoted text that begins with a drive path: the whole that names something existing, or the
// longest part ending before a blank that names an existing file (its last element has an
// extension: a part naming a folder, such as "C:\Program Files" of "C:\Program Files (x86)\...",
// is the beginning of a longer path, not a path followed by arguments); otherwise up to the first
// switch or program name's end.
SPLIT SplitUnquoted(std::wstring_view text, IPathProbe* probe) {
  std::wstring_view index;
  const std::wstring_view base = WithoutIndex(text, &index);
  if (probe != nullptr) {
    // The whole text first, then each part that ends before a blank, longest first. A path that
    // does not fit a path buffer with its terminator names nothing a program can open.
    std::size_t end = base.size();
    while (true) {
      const std::wstring_view candidate = TrimBlanksRight(base.substr(0, end));
      // A part holding a character no file name holds is not asked about: the drive could not
      // tell, and what it cannot tell about counts as there.
      if (candidate.size() > 3 && FitsPathBuffer(candidate) &&
          (end == base.size() || LastElement(candidate).find(L'.') != std::wstring_view::npos) &&
          !HoldsNoNameCharacter(candidate, 2) && probe->PathExists(candidate)) {
        return {candidate, text.substr(candidate.size())};
      }
      const std::size_t blank = end == 0 ? std::wstring_view::npos : base.rfind(L' ', end - 1);
      if (blank == std::wstring_view::npos || blank < 3) break;
      end = blank;
    }
  }
  std::size_t cut = base.size();
  if (const std::size_t at = FindSwitch(base); at < cut) cut = at;
  if (const std::size_t at = FindProgramEnd(base); at < cut) cut = at;
  const std::wstring_view path = TrimBlanksRight(base.substr(0, cut));
  return {path, text.substr(path.size())};
}

// The first element of a text that does not begin with a drive path: a quoted part, or up to the
// first blank.
SPLIT SplitFirstElement(std::wstring_view text) {
  if (text.starts_with(L'"')) {
    const std::size_t close = text.find(L'"', 1);
    if (close == std::wstring_view::npos) return {text.substr(1), {}};
    return {text.substr(1, close - 1), text.substr(close + 1)};
  }
  const std::size_t blank = text.find(L' ');
  if (blank == std::wstring_view::npos) return {text, {}};
  return {text.substr(0, blank), text.substr(blank)};
}

// The path itself, in the form the drive is asked about: doubled backslashes after the drive
// made single, trailing backslashes and blanks removed. Empty when it is no local drive path a
// file system holds.
std::wstring JudgedForm(std::wstring_view path) {
  path = TrimWhiteSpace(path);
  if (!StartsWithDrivePath(path) || HoldsNoNameCharacter(path, 2)) return {};
  // Trailing backslashes and blanks go (the drive's own backslash stays), and doubled
  // backslashes after the drive are made single.
  std::size_t end = path.size();
  while (end > 3 && (path[end - 1] == L'\\' || path[end - 1] == L' ')) --end;
  std::wstring result;
  result.reserve(end);
  result.append(path.substr(0, 3));
  for (std::size_t i = 3; i < end; ++i) {
    if (path[i] == L'\\' && result.back() == L'\\') continue;
    result += path[i];
  }
  // With its terminator the path must fit a path buffer, and leave room for the system to end it.
  if (!FitsPathBuffer(result)) return {};
  return result;
}

PATH_READING Judged(std::wstring_view path, std::wstring_view arguments) {
  PATH_READING reading;
  std::wstring judged = JudgedForm(path);
  if (judged.empty()) return reading;
  reading.paths.push_back(std::move(judged));
  reading.named = TrimWhiteSpace(path);
  reading.arguments = TrimWhiteSpace(arguments);
  return reading;
}

// The file a host program's arguments name: rundll32's DLL before the comma of its entry point,
// the first argument that is no switch of the others.
PATH_READING ReadHostArgument(std::wstring_view arguments, bool rundll, IPathProbe* probe) {
  std::wstring_view rest = TrimWhiteSpace(arguments);
  while (!rundll && (rest.starts_with(L'/') || rest.starts_with(L'-'))) {
    const std::size_t blank = rest.find(L' ');
    rest = blank == std::wstring_view::npos ? std::wstring_view() : TrimWhiteSpace(rest.substr(blank));
  }
  if (rest.empty()) return {};
  if (rest.starts_with(L'"')) {
    const SPLIT quoted = SplitFirstElement(rest);
    return Judged(quoted.path, quoted.arguments);
  }
  if (rundll) {
    const std::size_t comma = rest.find(L',');
    const std::wstring_view dll = comma == std::wstring_view::npos ? rest : rest.substr(0, comma);
    return Judged(TrimBlanksRight(dll), rest.substr(dll.size()));
  }
  if (!StartsWithDrivePath(rest)) return {};
  const SPLIT split = SplitUnquoted(rest, probe);
  return Judged(split.path, split.arguments);
}

// One reference (not a list).
PATH_READING ReadOne(std::wstring_view text, IPathProbe* probe) {
  text = TrimWhiteSpace(text);
  if (const std::size_t marker = text.find(kFolderMarker); marker != std::wstring_view::npos) {
    text = text.substr(text.find(L':') + 1);
    while (text.ends_with(L'"')) text.remove_suffix(1);
    while (text.starts_with(L'"')) text.remove_prefix(1);
    text = TrimWhiteSpace(text);
  }
  // (A view's data is never null once it holds characters; the optimiser cannot tell.)
  if (text.empty() || text.data() == nullptr) return {};
  if (text.front() == L'@') text.remove_prefix(1);

  const SPLIT first = StartsWithDrivePath(text) ? SplitUnquoted(text, probe)
                                                : SplitFirstElement(text);
  const std::wstring_view program = TrimWhiteSpace(first.path);
  if (IsHost(program, kRundllHosts)) return ReadHostArgument(first.arguments, true, probe);
  if (IsHost(program, kArgumentHosts)) return ReadHostArgument(first.arguments, false, probe);
  return Judged(first.path, first.arguments);
}

// The parts of a list of paths ("C:\a.dll;C:\b.dll", "C:\a,C:\b", "C:\Program Files\App;"): split
// at every semicolon, or else at every comma, when each part then begins with a drive path (after
// blanks and an opening quote); empty parts are left out. No such separator: no list.
std::vector<std::wstring_view> ListParts(std::wstring_view text) {
  for (const wchar_t separator : {L';', L','}) {
    if (text.find(separator) == std::wstring_view::npos) continue;
    std::vector<std::wstring_view> parts;
    bool list = true;
    std::size_t start = 0;
    while (list) {
      const std::size_t end = text.find(separator, start);
      std::wstring_view part = TrimWhiteSpace(
          text.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start));
      if (!part.empty()) {
        std::wstring_view unquoted = part;
        if (unquoted.starts_with(L'"')) unquoted.remove_prefix(1);
        list = StartsWithDrivePath(unquoted);
        parts.push_back(part);
      }
      if (end == std::wstring_view::npos) break;
      start = end + 1;
    }
    if (list && !parts.empty()) return parts;
  }
  return {};
}

}  // namespace

bool StartsWithDrivePath(std::wstring_view text) {
  return text.size() >= 3 && IsLetter(text[0]) && text[1] == L':' && text[2] == L'\\';
}

PATH_READING ReadExpandedReference(std::wstring_view text, IPathProbe* probe) {
  text = TrimWhiteSpace(text);
  const std::vector<std::wstring_view> parts = ListParts(text);
  if (parts.empty()) return ReadOne(text, probe);
  PATH_READING list;
  for (std::wstring_view part : parts) {
    PATH_READING one = ReadOne(part, probe);
    // A part that cannot be judged may name something that is there.
    if (!one.Judged()) return {};
    for (std::wstring& path : one.paths) list.paths.push_back(std::move(path));
  }
  list.named = text;
  return list;
}

namespace {

// The drive's answers, as the view's program opens each path.
class CDriveProbe final : public IPathProbe {
 public:
  CDriveProbe(IFileSystem& files, CPathMemo* memo, CDriveMemo* drives, const CPathView* view)
      : m_files(files), m_memo(memo), m_drives(drives), m_view(view) {}

  // How the path stands as the view's program opens it.
  PATH_STANDING Judge(std::wstring_view path) {
    std::wstring mapped;
    if (m_view != nullptr && m_view->MapPath(path, &mapped)) {
      return JudgeDrivePath(mapped, m_files, m_memo, m_drives);
    }
    return JudgeDrivePath(path, m_files, m_memo, m_drives);
  }
  // The path the view's program opens for it.
  [[nodiscard]] std::wstring Opened(std::wstring_view path) const {
    return m_view != nullptr ? m_view->Resolve(path) : std::wstring(path);
  }
  bool PathExists(std::wstring_view path) override {
    return Judge(path) != PATH_STANDING::kMissing;
  }

 private:
  IFileSystem& m_files;
  CPathMemo* m_memo;
  CDriveMemo* m_drives;
  const CPathView* m_view;
};

}  // namespace

REFERENCE_JUDGEMENT JudgeReference(std::wstring_view text, const CFolderTable& folders,
                                   const CPlatform& platform, CPathMemo* memo, CDriveMemo* drives,
                                   const CPathView* view) {
  CDriveProbe probe(platform.files, memo, drives, view);
  REFERENCE_JUDGEMENT judgement;
  judgement.reading = ReadPathReference(text, folders, platform.shell, view, &probe);
  if (!judgement.reading.Judged()) return judgement;
  bool allMissing = true;
  for (const std::wstring& path : judgement.reading.paths) {
    const PATH_STANDING standing = probe.Judge(path);
    if (standing == PATH_STANDING::kMissing) {
      judgement.missingPaths.push_back(probe.Opened(path));
      continue;
    }
    allMissing = false;
    if (IsPassedOver(standing) && !IsPassedOver(judgement.passedOver)) {
      judgement.passedOver = standing;
      judgement.passedOverPath = probe.Opened(path);
    }
  }
  judgement.missing = allMissing;
  if (!allMissing) judgement.missingPaths.clear();
  return judgement;
}

bool IsValidReference(std::wstring_view text, const CFolderTable& folders,
                      const CPlatform& platform, CPathMemo* memo,
                      std::vector<std::wstring>* missing, const CPathView* view) {
  REFERENCE_JUDGEMENT judgement = JudgeReference(text, folders, platform, memo, nullptr, view);
  if (!judgement.missing) return true;
  if (missing != nullptr) *missing = std::move(judgement.missingPaths);
  return false;
}

bool PathTokenExists(std::wstring_view token, const CPlatform& platform, CPathMemo* memo,
                     const CPathView* view) {
  std::wstring_view trimmed = TrimWhiteSpace(token);
  if (trimmed.empty() || Utf16Length(trimmed) >= kMaxPathChars) return true;
  std::wstring text(trimmed);
  if (text.find(L'%') != std::wstring::npos) {
    if (view != nullptr) text = view->WithViewVariables(text);
    std::wstring expanded;
    const std::uint32_t needed = platform.shell.ExpandEnvironment(
        text, static_cast<std::uint32_t>(kMaxPathChars + 1), &expanded);
    if (needed == 0 || needed >= kMaxPathChars) return true;
    text = std::move(expanded);
  }
  const std::wstring path = JudgedForm(text);
  if (path.empty()) return true;
  CDriveProbe probe(platform.files, memo, nullptr, view);
  return probe.Judge(path) != PATH_STANDING::kMissing;
}

PATH_READING ReadPathReference(std::wstring_view text, const CFolderTable& folders, IShell& shell,
                               const CPathView* view, IPathProbe* probe) {
  // Placeholders and variables are written with percent signs: without one the text is read as
  // it stands.
  if (text.find(L'%') == std::wstring_view::npos) return ReadExpandedReference(text, probe);
  const std::wstring expanded = ExpandReferenceText(text, folders, shell, view);
  // A file or folder whose name holds percent signs is what the text names as written.
  const std::wstring_view written = TrimWhiteSpace(text);
  if (probe != nullptr && expanded != text && StartsWithDrivePath(written) &&
      FitsPathBuffer(written) && !HoldsNoNameCharacter(written, 2) &&
      probe->PathExists(written)) {
    return Judged(written, {});
  }
  return ReadExpandedReference(expanded, probe);
}

}  // namespace qv
