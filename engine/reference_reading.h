// How registry data names a file or folder: the path a program or the shell opens for it, and
// what follows as its arguments. Every check that judges a reference reads it here, so a form
// an installer writes is understood the same way in every category.
//
// The forms, each read for the path the system itself would open:
//   C:\App\app.exe                             the path as it stands
//   "C:\Program Files\App\app.exe" /min        a quoted path ends at its closing quote
//   C:\Program Files\App\app.exe -min          an unquoted path with blanks: the longest part of
//                                              the text that names an existing file or folder;
//                                              when none does, the text up to the first switch
//                                              (" /x", " -x", " --x") or up to the end of a
//                                              program file's name (".exe" and the like)
//   C:\App\app.exe,0   "C:\App\app.exe",-101   an icon or resource index is no part of the path
//   @%SystemRoot%\system32\shell32.dll,-22067  an indirect string: the file that holds it
//   rundll32.exe C:\App\x.dll,Entry            a DLL entry point run by rundll32: the DLL
//   regsvr32 /s "C:\App\x.ocx"                 a server registered by regsvr32: the server
//   wscript.exe "C:\App\start.vbs"             a script run by a script host: the script
//   C:\a.dll;C:\b.dll   C:\a.dat,C:\b.dat      several paths: each one
// A hyphen, a brace, a dot, a comma or a blank inside a name is part of the name: only the
// forms above end a path.
//
// Not judged: whatever is not a local drive path, such as a bare or relative program name
// ("MsiExec.exe /X{...}", "notepad.exe %1"), a network path (\\server\share), a URL, a path with
// wildcard or other characters no file name holds, or one of 260 characters or more. A list is
// judged only when every one of its parts is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/path_references.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace qv {

// Asked while an unquoted path with blanks is read, to find where the path ends: whether a
// local drive path names an existing file or folder (or cannot be told about: an answer other
// than "not found" counts as there).
class IPathProbe {
 public:
  virtual ~IPathProbe() = default;
  [[nodiscard]] virtual bool PathExists(std::wstring_view path) = 0;
};

struct PATH_READING {
  // The local drive paths the text names, expanded, as written in it (a registry view's mapping
  // is the judge's business); empty when nothing in the text is judged.
  std::vector<std::wstring> paths;
  // The part of the expanded text that names them: the path, or the whole list.
  std::wstring named;
  // What follows the path (an index, switches, a host program's entry point); empty for a list.
  std::wstring arguments;

  [[nodiscard]] bool Judged() const { return !paths.empty(); }
};

// Program file extensions at which an unquoted path that names nothing existing ends, when a
// blank, a comma or the end of the text follows them.
inline constexpr std::wstring_view kProgramExtensions[] = {
    L".exe", L".com", L".bat", L".cmd", L".dll", L".ocx", L".cpl", L".scr", L".msc", L".sys",
    L".drv", L".ax",  L".vbs", L".js",  L".wsf", L".ps1", L".msi", L".lnk"};

// Programs that run the file their arguments name: the file is what the reference depends on.
// Compared without case with the last element of the program path, with or without ".exe".
inline constexpr std::wstring_view kRundllHosts[] = {L"rundll32", L"rundll"};
inline constexpr std::wstring_view kArgumentHosts[] = {L"regsvr32", L"wscript", L"cscript"};

// Reads the text: the product's folder placeholders and then the environment's variables are
// expanded (with a view, %ProgramFiles% and %CommonProgramFiles% as that view's program sees
// them); text whose expansion does not fit 1,024 characters is read unexpanded. `probe` may be
// null: an unquoted path with blanks then ends at a switch or a program extension only.
[[nodiscard]] PATH_READING ReadPathReference(std::wstring_view text, const CFolderTable& folders,
                                             IShell& shell, const CPathView* view,
                                             IPathProbe* probe);

// The same reading of text that is already expanded.
[[nodiscard]] PATH_READING ReadExpandedReference(std::wstring_view text, IPathProbe* probe);

// Whether the text begins with a local drive path ("x:\").
[[nodiscard]] bool StartsWithDrivePath(std::wstring_view text);

// A reference read and each path it names judged on the drive.
struct REFERENCE_JUDGEMENT {
  PATH_READING reading;
  // The reference is judged and every path it names is missing.
  bool missing = false;
  // Those paths as the drive was asked about them (a view's mapping applied), in order.
  std::vector<std::wstring> missingPaths;
  // The first path that was not judged for the drive it is on, and why (kPresent: none was).
  PATH_STANDING passedOver = PATH_STANDING::kPresent;
  std::wstring passedOverPath;
};

// Reads the text (ReadPathReference) and judges each path it names as the view's program opens it
// (JudgeDrivePath through the memos, which may be null). A path that exists, cannot be told about
// or lies on a drive that is not judged keeps the reference.
[[nodiscard]] REFERENCE_JUDGEMENT JudgeReference(std::wstring_view text,
                                                 const CFolderTable& folders,
                                                 const CPlatform& platform, CPathMemo* memo,
                                                 CDriveMemo* drives, const CPathView* view);

// True when the text refers to something that exists or cannot be judged; false only when it
// names local files or folders that are all missing (JudgeReference). When the answer is false
// and `missing` is given, it receives those paths as the drive was asked about them.
[[nodiscard]] bool IsValidReference(std::wstring_view text, const CFolderTable& folders,
                                    const CPlatform& platform, CPathMemo* memo = nullptr,
                                    std::vector<std::wstring>* missing = nullptr,
                                    const CPathView* view = nullptr);

// The same judgement for one path-like token, read as a path and nothing else: false only for a
// local drive path (x:\..., after the environment's variables are expanded and doubled
// backslashes made single) that is missing. Empty text, a relative or network path, one with
// wildcard characters, and one of 260 characters or more are not judged (true).
[[nodiscard]] bool PathTokenExists(std::wstring_view token, const CPlatform& platform,
                                   CPathMemo* memo = nullptr, const CPathView* view = nullptr);

}  // namespace qv
