// Path references in registry data: the engine's folder table, the expansion of the product's
// folder placeholders, the two command-line cleaning steps, and the two existence tests that
// decide whether a registry entry points at something that is gone.
//
// Registry data rarely holds a clean path: it holds command lines with quotes and arguments,
// rundll/regsvr32 invocations, environment variables and folder placeholders. The existence
// tests err towards "exists": text that cannot be judged counts as valid, so only clearly
// missing local paths become problems.
//
// Lengths are counted in UTF-16 code units in both builds (MAX_PATH is 260).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/hash_index.h"
#include "platform/platform.h"

namespace qv {

inline constexpr std::size_t kMaxPathChars = 260;
// Limit of CleanPath's environment expansion, terminator included.
inline constexpr std::size_t kCleanPathExpandChars = 1024;

// The fifteen folders the engine resolves once, in resolution order.
enum ENGINE_FOLDER : int {
  FOLDER_APPDATA = 0,
  FOLDER_STARTUP,
  FOLDER_COMMON_FILES,
  FOLDER_DESKTOP_DIRECTORY,
  FOLDER_FAVORITES,
  FOLDER_PROGRAM_FILES,
  FOLDER_PROGRAMS,
  FOLDER_START_MENU,
  FOLDER_COMMON_START_MENU,
  FOLDER_COMMON_STARTUP,
  FOLDER_SYSTEM,
  FOLDER_TEMP,
  FOLDER_PROFILE,
  FOLDER_WINDOWS,
  FOLDER_COOKIES,
};
inline constexpr int kEngineFolderCount = 15;

class CFolderTable {
 public:
  // Every folder empty.
  CFolderTable() = default;

  // Resolves the fifteen folders in order through the shell: the special folders with
  // SHGetFolderPathW semantics (no window, no token, current path), Temp by expanding "%temp%"
  // into 260 characters. A folder that cannot be resolved, does not fit 260 characters, or (Temp)
  // stays an unexpanded variable is the empty text.
  [[nodiscard]] static CFolderTable Resolve(IShell& shell);

  [[nodiscard]] const std::wstring& Path(ENGINE_FOLDER folder) const;
  void SetPath(ENGINE_FOLDER folder, std::wstring path);

 private:
  std::array<std::wstring, kEngineFolderCount> m_paths;
};

// The CSIDL a folder is resolved with; -1 for Temp, which comes from the environment.
[[nodiscard]] int FolderCsidl(ENGINE_FOLDER folder);

struct PLACEHOLDER {
  std::wstring_view marker;  // lower case
  ENGINE_FOLDER folder;
};
// The placeholders in replacement order. Some markers differ from their folder's wording:
// "%common_programs%" is the Common Files folder, "%autostart%" the user's Startup folder and
// "%startup%" the user's Programs menu folder.
extern const std::array<PLACEHOLDER, 18> kPlaceholders;

// Lower-cases the whole text, then replaces every occurrence of each placeholder, in table
// order, by its folder's path. Inserted paths keep their own case and are not searched again
// for the same placeholder.
[[nodiscard]] std::wstring ExpandPlaceholders(std::wstring_view text, const CFolderTable& folders);

// ---- How a program of the 32-bit registry view resolves a path ----
//
// On 64-bit Windows a 32-bit program keeps its settings in the 32-bit view of the registry and
// opens the paths written there through the file system redirector: the system folder
// (System32) is SysWOW64 to it, except a few of its subfolders, and Sysnative is the real
// System32; its environment names the x86 folders as %ProgramFiles% and %CommonProgramFiles%.
// A path found in that view is judged as that program resolves it. The default view (the 64-bit
// one, and every view of a 32-bit Windows) resolves every path as it is written.
class CPathView {
 public:
  CPathView() = default;

  // The 32-bit view of the machine the shell describes: its 32-bit system folder
  // (CSIDL_SYSTEMX86) and x86 program folders (CSIDL_PROGRAM_FILESX86,
  // CSIDL_PROGRAM_FILES_COMMONX86) beside the 64-bit ones of the folder table. A folder the shell
  // cannot give, or gives as the 64-bit one (a 32-bit Windows), is not mapped.
  [[nodiscard]] static CPathView Resolve32Bit(IShell& shell, const CFolderTable& folders);

  // Whether the view resolves any path differently from the 64-bit view.
  [[nodiscard]] bool MapsPaths() const { return !m_rules.empty() || m_programFiles; }

  // The folder table the view's placeholders expand with: the 64-bit table with Program Files
  // and Common Files replaced by their x86 folders.
  [[nodiscard]] const CFolderTable& Folders() const { return m_folders; }

  // The text with %ProgramFiles% and %CommonProgramFiles% (variable names in any case) written as
  // the view's folders, for the environment expansion that follows. Other variables, and
  // %ProgramW6432% or %ProgramFiles(x86)%, are left to the expansion.
  [[nodiscard]] std::wstring WithViewVariables(std::wstring_view text) const;

  // The expanded path as the view's program opens it, when that differs from the path as
  // written (*mapped then holds it, the folder spelled as the view's folder, the rest as
  // written): the system folder or a path in it becomes the 32-bit system folder's, except the
  // subfolders the redirector leaves alone (catroot, catroot2, driverstore, drivers\etc,
  // logfiles, spool); Sysnative becomes the system folder; lastgood\system32 becomes
  // lastgood\SysWOW64 and the Windows folder's regedit.exe the 32-bit system folder's. Folder
  // names compare without case. False and *mapped unchanged when the path stays as it is.
  [[nodiscard]] bool MapPath(std::wstring_view path, std::wstring* mapped) const;
  // The path as the view's program opens it (itself when it is not mapped).
  [[nodiscard]] std::wstring Resolve(std::wstring_view path) const;

  // The paths as written that the view maps to this path, in no particular order (none when no
  // rule leads to it): what a text may say for a path the view resolved.
  [[nodiscard]] std::vector<std::wstring> WrittenForms(std::wstring_view path) const;

 private:
  struct PATH_RULE {
    std::wstring from;  // a folder (or with `file`, a file) as written
    std::wstring to;    // what the view opens for it
    bool file = false;
  };
  CFolderTable m_folders;
  std::wstring m_windows;              // the Windows folder: every rule lies below it
  std::vector<PATH_RULE> m_rules;      // tried in order, the first that applies
  std::vector<std::wstring> m_exempt;  // below the system folder, never mapped
  std::wstring m_programFilesX86;      // empty: not mapped
  std::wstring m_commonFilesX86;       // empty: not mapped
  bool m_programFiles = false;         // either program folder is mapped
};

// The path part of a command held in registry data (all matches case-sensitive):
//  - text containing "Folder:": the part after the first colon of the text;
//  - else text containing "regsvr32": the leading run of the characters r e g s v 3 2 removed,
//    then the part after the first double quote (the whole rest when there is none);
//  in both cases trailing, then leading double quotes removed. Then at most 260 characters.
[[nodiscard]] std::wstring ExtractCommandPath(std::wstring_view text);

// A command cut down to its program path: leading double quotes skipped and the text cut at the
// next double quote; then cut right after the earliest ".EXE", ".DLL" or ".OCX" (any case) that
// lies wholly within the first 260 characters; then environment variables expanded (limit 1,024
// characters with the terminator). When the expansion fails or does not fit, the unexpanded text
// (at most 1,023 characters) is the result. With a view, %ProgramFiles% and %CommonProgramFiles%
// expand to the view's folders and the result is the path as the view's program opens it.
[[nodiscard]] std::wstring CleanPath(std::wstring_view source, IShell& shell,
                                     const CPathView* view = nullptr);

// What the drive answered during one scan about paths and folders. A registry names the same few
// thousand files hundreds of thousands of times, and on Windows every question is a call into the
// file system: so a folder is asked about once, by listing it, and its listing answers every later
// question about its entries (is a file or folder there, is it a folder, does the folder hold a
// program) without another call. What a listing cannot tell is asked of the drive itself, once
// per path:
//  - a listing that fails with anything but "not found" tells nothing about the folder's entries;
//  - one that fails with "not found" tells that an entry is not there only when the folder itself
//    is not there (asked of its own folder's listing in turn); a file in its place is no answer;
//  - a name a listing does not hold is missing only when it opens nothing but itself: not a name
//    the system reads as another (a short 8.3 alias with "~", a name ending in a dot or a blank, a
//    device name such as NUL or COM1, "name:stream", "." and ".."), one longer than a name can be,
//    or one with a character outside printable ASCII, which the file system may fold to another
//    case than this program does;
//  - a drive's root, and a path with empty elements, are asked as they are.
// So every answer is the one the drive would give to the path itself (only "not found" is
// missing). Names compare without case. Forget() before a scan, and before a check looks again
// after a repair: files may have changed since. Not for use by two threads at once.
class CPathMemo {
 public:
  CPathMemo();
  ~CPathMemo();
  CPathMemo(const CPathMemo&) = delete;
  CPathMemo& operator=(const CPathMemo&) = delete;

  void Forget();

  // Whether the judged path (an expanded local drive path on a drive whose content stays) is
  // there or the drive cannot tell; a name without an extension is also looked for as a program
  // (name.exe), as a command line finds it. Counted among the judged paths.
  [[nodiscard]] bool PathThere(std::wstring_view path, IFileSystem& files);
  // What GetFileAttributesW would answer about the path (IFileSystem::QueryExistence): 0, a
  // "not found" code, or another error.
  [[nodiscard]] ErrorCode Existence(std::wstring_view path, IFileSystem& files);
  // Whether a folder is there (GetFileAttributesW succeeds and gives a folder).
  [[nodiscard]] bool IsFolder(std::wstring_view folder, IFileSystem& files);
  // Whether a program file (.exe or .dll) lies directly in the folder or in one of its immediate
  // subfolders. A subfolder that is a reparse point is not looked into: what a link leads to is
  // no program's own content. A folder that cannot be listed holds none.
  [[nodiscard]] bool HoldsProgram(std::wstring_view folder, IFileSystem& files);

  // How many distinct paths were judged (PathThere) since the last Forget, counted only while
  // counting is on (off at first: a figure for measuring the memo, which costs a lookup in a
  // table of the absent names for every judgement).
  [[nodiscard]] std::size_t Size() const { return m_judged; }
  void CountJudged(bool count) { m_countJudged = count; }

 private:
  struct ENTRY {
    std::uint32_t offset;  // of its name in FOLDER::names
    std::uint32_t hash;    // NameHash of its name: most steps of a search stop at it
    std::uint16_t length;
    std::uint8_t flags;  // kEntry...
  };
  // A folder as its listing found it.
  struct FOLDER {
    bool listed = false;  // asked of the drive
    ErrorCode error = 0;  // FindFiles's answer
    bool program = false;  // a program file directly in it
    signed char holds = -1;  // HoldsProgram: -1 not known yet, 0 no, 1 yes
    std::wstring key;  // its path in upper case
    std::uint64_t hash = 0;  // of its key: where the memo's index files it
    std::wstring names;  // the entries' names in upper case, one after another
    std::vector<ENTRY> entries;  // sorted by their hashes, then names
    // The names of its subfolders that are no reparse points, as the listing spells them, each
    // ended by a NUL (the drive is asked about a folder by its own name).
    std::wstring subfolders;
  };
  // A path asked of the drive itself.
  struct ASKED {
    ErrorCode existence = 0;
    signed char folder = -1;  // IsDirectory: -1 not asked
    bool existenceAsked = false;
    bool judged = false;
  };

  FOLDER& Listed(std::wstring_view folder, IFileSystem& files);
  ASKED& Asked(std::wstring_view path);
  ErrorCode AskExistence(std::wstring_view path, IFileSystem& files, bool judged);
  ErrorCode Answer(std::wstring_view path, IFileSystem& files, bool judged);
  // The entry of the folder's listing with the name (compared without case); null when it holds
  // none. Leaves the name in upper case in m_name.
  const ENTRY* Find(const FOLDER& folder, std::wstring_view name);
  // Counts the name Find was last asked for as judged not to be in the folder, once.
  void CountAbsent(const FOLDER& folder);

  std::deque<FOLDER> m_folders;  // elements stay put
  CHashIndex m_folderIndex;      // m_folders by the hash of their keys
  // The folders Listed found last, as they were asked for (elements of m_folders stay put).
  struct RECENT {
    std::wstring text;
    FOLDER* folder = nullptr;
  };
  static constexpr std::size_t kRecentFolders = 4;
  std::array<RECENT, kRecentFolders> m_recent;
  std::size_t m_nextRecent = 0;
  std::unordered_map<std::wstring, ASKED> m_asked;      // by upper-case path
  std::wstring m_key;  // reused, so a lookup allocates nothing once it has grown
  std::wstring m_name;  // the name Find looked for, in upper case
  // The names judged not to be in their folders, as a hash of the name and the folder.
  CHashIndex m_judgedAbsent;
  bool m_countJudged = false;
  std::wstring m_lastPath;  // the last path PathThere answered, and its answer
  bool m_lastThere = false;
  bool m_hasLast = false;
  std::size_t m_judged = 0;
};

// Registry data with the product's folder placeholders (any case; the rest of the text keeps its
// own) and then the environment's variables expanded, as a reference is read: with a view,
// %ProgramFiles% and %CommonProgramFiles% are that view's folders. When the expansion does not
// fit 1,024 characters (terminator included) the text comes back with only its placeholders
// replaced.
[[nodiscard]] std::wstring ExpandReferenceText(std::wstring_view text, const CFolderTable& folders,
                                               IShell& shell, const CPathView* view = nullptr);

// A path found in a text after its placeholders were expanded (as a reference's judgement found
// it, in any case), in the case the text itself writes it: the part of the expanded text that
// equals the path without case, or the path as given when there is none. With a view, a path the
// view resolved is also looked for as written (System32 for a path it resolved into SysWOW64),
// and given back resolved, in the case the text writes the rest.
[[nodiscard]] std::wstring ReadablePath(std::wstring_view path, std::wstring_view text,
                                        const CFolderTable& folders,
                                        const CPathView* view = nullptr);

// How a local drive path (x:\...) stands.
enum class PATH_STANDING {
  kPresent,         // a file or folder is there, or the drive could not tell (it counts as there)
  kMissing,         // the drive answered that there is none
  // Not judged, for the drive the path is on:
  kDriveAbsent,     // no drive has the letter now (a card, a USB disk, a network drive that is
                    // not connected)
  kRemovableDrive,  // a removable drive, whose content comes and goes
  kOpticalDrive,    // a CD or DVD drive
  kNetworkDrive,    // a network drive
  kUnknownDrive,    // a drive Windows cannot tell the kind of
};
[[nodiscard]] constexpr bool IsPassedOver(PATH_STANDING standing) {
  return standing >= PATH_STANDING::kDriveAbsent;
}

// The kind of each drive letter, asked once per scan. Forget() whenever CPathMemo forgets (a
// drive may be connected between two scans). Not for use by two threads at once.
class CDriveMemo {
 public:
  [[nodiscard]] DRIVE_KIND Kind(wchar_t letter, IFileSystem& files);
  void Forget() { m_kinds.fill(-1); }

 private:
  std::array<signed char, 26> m_kinds = [] {
    std::array<signed char, 26> kinds{};
    kinds.fill(-1);
    return kinds;
  }();
};

// The drive's answer about an expanded local drive path, asked through the memos (each may be
// null: the drive is asked afresh, the path itself with GetFileAttributesW). Only a drive whose
// content stays (a hard disk or a RAM disk) is asked about its paths; on any other the path is
// passed over with the drive's standing. Only "not found" (kErrorFileNotFound,
// kErrorPathNotFound) is missing: access denied, a sharing violation, a drive that is not ready or
// any other failure counts as present. A name without an extension is also looked for as a
// program (name.exe), as a command line finds it.
[[nodiscard]] PATH_STANDING JudgeDrivePath(std::wstring_view path, IFileSystem& files,
                                           CPathMemo* memo, CDriveMemo* drives);

// ---- Whose folder a missing path lies in ----
//
// A path that names nothing may still belong to a program that is installed: programs name
// files and folders they make on first use (a settings file, a log folder inside their own
// folder). The nearest folder on the path's way that exists tells: a program's own folder that
// still holds a program file keeps the path; one that holds none any more, or a folder that holds
// programs rather than being one, does not.

// Folders that hold programs rather than being one: a drive's root, Program Files and Program
// Files (x86), both Common Files folders, the common application-data folder, the temporary
// files' folder, the folder holding the users' profiles, every profile in it and each profile's
// roaming and local application-data folders (the current user's folders give their place inside
// a profile; where one lies outside the profile it counts as it is). Names compare without case.
class CContainerFolders {
 public:
  // Nothing but drive roots.
  CContainerFolders() = default;

  // The folders through the shell (the CSIDLs of the folders above; the users' folder is the
  // folder holding the current user's profile); the Temp folder as the folder table has it. A
  // folder the shell cannot give is left out.
  [[nodiscard]] static CContainerFolders Resolve(IShell& shell, const CFolderTable& folders);

  // Whether the folder (a drive path without a trailing backslash, or a root "x:\") is one.
  [[nodiscard]] bool Contains(std::wstring_view folder) const;

 private:
  std::vector<std::wstring> m_folders;         // upper case
  std::wstring m_users;                        // upper case; empty when unknown
  std::vector<std::wstring> m_profileFolders;  // inside a profile, upper case ("APPDATA\\LOCAL")
};

// Where a missing local path (x:\...) stands.
enum class MISSING_PATH_STANDING {
  kMissingFile,    // the folder that holds it (`folder`) is there
  kMissingFolder,  // the folder that should hold it is not: `folder` is the first missing one
                   // on its way (below the nearest one that exists; the drive when none does)
  kNoProgram,      // its nearest existing folder `folder` is a program's own, with no program left
  kProgramFolder,  // its nearest existing folder `folder` is a program's own that holds a program
  kWindows,        // it lies in the Windows folder (`folder`): Windows' own, not judged
};

struct MISSING_PATH {
  MISSING_PATH_STANDING standing = MISSING_PATH_STANDING::kMissingFile;
  std::wstring folder;  // a folder on the path's way, spelled as the path spells it
};

// The folders on the path's way, from its own folder up: kMissingFile when its folder exists,
// otherwise kMissingFolder. A null memo asks the drive afresh (each folder once in the call).
[[nodiscard]] MISSING_PATH LocateMissingPath(std::wstring_view path, IFileSystem& files,
                                             CPathMemo* memo);

// The same, with the installed-program rule: inside the Windows folder (`windows`, may be empty)
// kWindows; else when the nearest existing folder is no container folder, kProgramFolder if it or
// a folder above it below the nearest container folder holds a program (directly or in an
// immediate subfolder; `folder` is the one that does), kNoProgram if none does; else as
// LocateMissingPath. Only kMissingFile, kMissingFolder and kNoProgram leave the path missing.
[[nodiscard]] MISSING_PATH JudgeMissingPath(std::wstring_view path, std::wstring_view windows,
                                            const CContainerFolders& containers,
                                            IFileSystem& files, CPathMemo* memo);

}  // namespace qv
