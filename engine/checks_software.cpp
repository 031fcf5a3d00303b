// Categories 1-5: the well-known lists of installed software (uninstall commands, fonts, shared
// DLLs, application paths, help folders) and the value-reference check they share with the
// startup check. Each entry is judged by whether the file or folder it names still exists.
// Uninstall entries, shared DLLs and help folders are examined in both registry views of a 64-bit
// Windows (the 32-bit view's keys below SOFTWARE\Wow6432Node), each path judged as a program of
// its view resolves it; fonts and application paths are one key shared by both views.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/check_support.h"
#include "engine/checks.h"
#include "engine/key_naming.h"
#include "engine/registry_cleaner.h"
#include "base/text.h"
#include "base/text_case.h"

namespace qv {
namespace {

// Uninstall commands that are never judged: they name a system program with arguments that
// the path cleaning cannot take apart. Compared against a lower-cased copy of the command.
constexpr std::wstring_view kUnjudgedUninstallers[] = {L"rundll", L"msiexec.exe",
                                                       L"s3uninst.exe"};

std::wstring MachineKeyText(std::wstring_view subkey) {
  return JoinPath(kHkeyLocalMachineName, subkey);
}

// The evidence of a reference of the view judged missing by IsValidReference: its first missing
// path as the view's program opens it, in the case the data writes it, placed on the drive.
PROBLEM_EVIDENCE ReferenceEvidence(CRegistryCleaner& engine, std::wstring_view data,
                                   const std::vector<std::wstring>& missing, REGISTRY_VIEW view) {
  if (missing.empty()) return MissingPathEvidence(engine, engine.ResolvePath(data, view));
  return MissingPathEvidence(engine, engine.ReadablePath(missing.front(), data, view));
}

// The Fonts folder value of one of the user's shell-folder keys, as read (not expanded).
std::optional<std::wstring> ReadFontsFolder(CRegistryCleaner& engine, std::wstring_view subkey) {
  engine.ReportEntryExamined(std::wstring(subkey));
  CRegKey key(engine.Platform().registry);
  std::wstring folder;
  if (key.Open(kHkeyCurrentUser, subkey, kKeyReadWriteCreate) != kErrorSuccess ||
      key.QueryString(kFontsValue, kNamedValueBytes, &folder) != kErrorSuccess) {
    return std::nullopt;
  }
  return folder;
}

// The font's file: the data itself when it holds a colon (an absolute path), otherwise the data
// appended to the folder; empty when that does not fit a path.
std::wstring FontFilePath(std::wstring_view folder, std::wstring_view font) {
  std::wstring path;
  if (font.find(L':') != std::wstring_view::npos) {
    path = font;
  } else if (!AppendPath(folder, font, &path)) {
    path.clear();
  }
  return path;
}

// FindFirstFileW on the font's file (see FontFilePath).
bool FontFileFound(CRegistryCleaner& engine, std::wstring_view folder, std::wstring_view font) {
  const std::wstring path = FontFilePath(folder, font);
  if (path.empty()) return false;
  std::vector<CFindData> entries;
  return engine.Platform().files.FindFiles(path, &entries) == kErrorSuccess;
}

// The uninstall entries of one registry view.
void CheckUninstallView(CRegistryCleaner& engine, REGISTRY_VIEW view) {
  IRegistry& registry = engine.Platform().registry;
  const std::wstring uninstallKey = SoftwareKeyInView(kUninstallKey, view);
  CRegKey uninstall(registry);
  if (uninstall.Open(kHkeyLocalMachine, uninstallKey, kKeyReadWriteCreate) != kErrorSuccess) {
    return;
  }
  std::wstring entry;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = uninstall.EnumKeyName(index, kCheckKeyNameChars, &entry);
    if (EndsEnumeration(rc) || engine.ShouldStop()) return;
    if (rc != kErrorSuccess || PassOverNulName(engine, MachineKeyText(uninstallKey), entry)) {
      continue;
    }
    const std::wstring entryPath = JoinPath(uninstallKey, entry);
    engine.ReportEntryExamined(entryPath);
    CRegKey entryKey(registry);
    std::wstring command;
    if (entryKey.Open(kHkeyLocalMachine, entryPath, kKeyReadWriteCreate) != kErrorSuccess ||
        entryKey.QueryString(kUninstallStringValue, kNamedValueBytes, &command) !=
            kErrorSuccess) {
      continue;
    }
    const std::wstring lower = ToLower(command);
    bool judged = true;
    for (std::wstring_view program : kUnjudgedUninstallers) {
      if (lower.find(program) != std::wstring::npos) judged = false;
    }
    if (!judged) continue;

    std::wstring path = engine.CleanPath(ExtractCommandPath(command), view);
    if (engine.Platform().files.FileExists(path)) continue;
    // Only a missing file on a local drive is reported (not a share, not a bare name).
    if (path.size() > 1 && path[1] == L':' && !TrimWhiteSpace(path).empty()) {
      PROBLEM_EVIDENCE evidence = MissingPathEvidence(engine, path);
      AddProblemWithEvidence(engine, MachineKeyText(uninstallKey), entry, std::move(path),
                             REGPROBLEM_UNINSTALL, std::move(evidence));
    }
  }
}

// The shared-DLL reference counts of one registry view.
void CheckSharedDllsView(CRegistryCleaner& engine, REGISTRY_VIEW view) {
  const std::wstring sharedDllsKey = SoftwareKeyInView(kSharedDllsKey, view);
  CRegKey sharedDlls(engine.Platform().registry);
  if (sharedDlls.Open(kHkeyLocalMachine, sharedDllsKey, kKeyReadWriteCreate) != kErrorSuccess) {
    return;
  }
  std::wstring dll;
  // Only the names are read: no data buffer is passed, so the 1,024-byte data limit of the other
  // value-by-value checks does not apply here. That is intended: the reference count is never
  // looked at, and a value whose count data is oversized must not end the enumeration and hide
  // every entry after it.
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = EnumValueText(sharedDlls, index, kCheckValueNameChars, 0, &dll, nullptr);
    if (EndsEnumeration(rc) || engine.ShouldStop()) return;
    if (rc != kErrorSuccess || PassOverNulName(engine, MachineKeyText(sharedDllsKey), dll)) {
      continue;
    }
    engine.ReportEntryExamined(dll);
    if (!engine.FileExists(dll, view)) {
      AddProblemWithEvidence(engine, MachineKeyText(sharedDllsKey), dll, std::wstring(),
                             REGPROBLEM_SHARED_DLL,
                             MissingPathEvidence(engine, engine.ResolvePath(dll, view)));
    }
  }
}

}  // namespace

void CheckUninstallEntries(CRegistryCleaner& engine) {
  for (const REGISTRY_VIEW view : SoftwareViews(engine.Platform().registry)) {
    if (engine.IsCancelled()) return;
    CheckUninstallView(engine, view);
  }
}

void CheckFonts(CRegistryCleaner& engine) {
  const std::optional<std::wstring> userFolder = ReadFontsFolder(engine, kUserShellFoldersKey);
  std::optional<std::wstring> shellFolder = ReadFontsFolder(engine, kShellFoldersKey);
  // Without the Shell Folders value the fonts are looked for where Windows keeps them, the
  // Fonts folder of the Windows folder; the User Shell Folders value is usually stored
  // unexpanded and cannot stand in for it. When even the Windows folder is unknown, a font
  // given by a bare file name cannot be located and is not judged.
  std::wstring windowsFonts;
  if (!shellFolder && !engine.FolderPath(FOLDER_WINDOWS).empty() &&
      AppendPath(engine.FolderPath(FOLDER_WINDOWS), kWindowsFontsFolder, &windowsFonts)) {
    shellFolder = std::move(windowsFonts);
  }

  engine.ReportEntryExamined(std::wstring(kFontsKey));
  CRegKey fonts(engine.Platform().registry);
  if (fonts.Open(kHkeyLocalMachine, kFontsKey, kKeyReadWriteCreate) != kErrorSuccess) return;

  std::wstring name;
  std::wstring file;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc =
        EnumValueText(fonts, index, kCheckValueNameChars, kCheckValueDataBytes, &name, &file);
    if (EndsEnumeration(rc) || engine.ShouldStop()) return;
    // A value too large for the buffers is passed over; the fonts after it are still judged.
    if (rc != kErrorSuccess || PassOverNulName(engine, MachineKeyText(kFontsKey), name)) {
      continue;
    }
    bool found = false;
    if (file.find(L':') != std::wstring::npos) {
      // An absolute path is looked for at that path only.
      found = FontFileFound(engine, L"", file);
    } else if (shellFolder || userFolder) {
      found = (shellFolder && FontFileFound(engine, *shellFolder, file)) ||
              (userFolder && FontFileFound(engine, *userFolder, file));
    } else {
      continue;
    }
    if (found) continue;
    // The evidence names the first place the file was looked for.
    std::wstring tested = FontFilePath(shellFolder ? *shellFolder : userFolder.value_or(L""), file);
    if (tested.empty()) tested = file;
    AddProblemWithEvidence(engine, MachineKeyText(kFontsKey), name, file, REGPROBLEM_FONT,
                           MissingPathEvidence(engine, tested));
  }
}

void CheckSharedDlls(CRegistryCleaner& engine) {
  for (const REGISTRY_VIEW view : SoftwareViews(engine.Platform().registry)) {
    if (engine.IsCancelled()) return;
    CheckSharedDllsView(engine, view);
  }
}

void CheckAppPaths(CRegistryCleaner& engine) {
  IRegistry& registry = engine.Platform().registry;
  CRegKey appPaths(registry);
  if (appPaths.Open(kHkeyLocalMachine, kAppPathsKey, kKeyReadWriteCreate) != kErrorSuccess) return;
  std::wstring program;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = appPaths.EnumKeyName(index, kCheckKeyNameChars, &program);
    if (EndsEnumeration(rc) || engine.ShouldStop()) return;
    if (rc != kErrorSuccess || PassOverNulName(engine, MachineKeyText(kAppPathsKey), program)) {
      continue;
    }
    const std::wstring programPath = JoinPath(kAppPathsKey, program);
    engine.ReportEntryExamined(programPath);
    CRegKey programKey(registry);
    std::wstring command;
    if (programKey.Open(kHkeyLocalMachine, programPath, kKeyReadWriteCreate) != kErrorSuccess ||
        programKey.QueryString(L"", kNamedValueBytes, &command) != kErrorSuccess) {
      continue;
    }
    const std::wstring path = engine.CleanPath(ExtractCommandPath(command));
    std::vector<std::wstring> missing;
    if (!engine.IsValidReference(path, &missing)) {
      AddProblemWithEvidence(engine, MachineKeyText(kAppPathsKey), program, command,
                             REGPROBLEM_APP_PATH,
                             ReferenceEvidence(engine, path, missing, VIEW_64BIT));
    }
  }
}

void CheckHelpFiles(CRegistryCleaner& engine) {
  for (const REGISTRY_VIEW view : SoftwareViews(engine.Platform().registry)) {
    if (engine.IsCancelled()) return;
    for (const std::wstring_view key : {kHelpKey, kHtmlHelpKey}) {
      CheckValueReferences(engine, kHkeyLocalMachine, SoftwareKeyInView(key, view),
                           REGPROBLEM_HELP_FILE, view);
    }
  }
}

void CheckValueReferences(CRegistryCleaner& engine, RegHandle root, std::wstring_view subkey,
                          REGPROBLEM_TYPE type, REGISTRY_VIEW view) {
  engine.ReportEntryExamined(std::wstring(subkey));
  CRegKey key(engine.Platform().registry);
  if (key.Open(root, subkey, kKeyReadWriteCreate) != kErrorSuccess) return;
  std::wstring name;
  std::wstring data;
  std::vector<std::wstring> missing;
  const std::wstring keyText = JoinPath(RootKeyName(root), subkey);
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc =
        EnumValueText(key, index, kCheckValueNameChars, kCheckValueDataBytes, &name, &data);
    if (EndsEnumeration(rc) || engine.ShouldStop()) return;
    // A value too large for the buffers (a Run or Help value of thousands of characters) is
    // passed over; the entries after it are still judged.
    if (rc != kErrorSuccess || PassOverNulName(engine, keyText, name)) continue;
    engine.ReportEntryExamined(data);
    if (engine.FileExists(data, view) || engine.IsValidReference(data, &missing, view)) continue;
    AddProblemWithEvidence(engine, keyText, name, data, type,
                           ReferenceEvidence(engine, data, missing, view));
  }
}

}  // namespace qv
