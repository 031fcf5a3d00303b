// Categories 1-5: the well-known lists of installed software (uninstall commands, fonts, shared
// DLLs, application paths, help folders) and the value-reference check they share with the
// startup check. Each entry is judged by whether the file or folder it names still exists.
// Uninstall entries and application paths are examined for the machine and for the current user
// (programs installed for one user register in that user's hive). Uninstall entries, shared DLLs
// and help folders are examined in both registry views of a 64-bit Windows (the 32-bit view's
// keys below SOFTWARE\Wow6432Node), each path judged as a program of its view resolves it; fonts
// and application paths are one key shared by both views.
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

// Uninstall commands that are never judged: Windows Installer's and an old uninstaller's,
// whose arguments name a product, not a file. Compared against a lower-cased copy of the command.
constexpr std::wstring_view kUnjudgedUninstallers[] = {L"msiexec.exe", L"s3uninst.exe"};

// The hives whose software keys hold installed programs: the machine's, and the current user's.
constexpr RegHandle kProgramHives[] = {kHkeyLocalMachine, kHkeyCurrentUser};

std::wstring MachineKeyText(std::wstring_view subkey) {
  return JoinPath(kHkeyLocalMachineName, subkey);
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

// The uninstall entries of one hive's registry view.
void CheckUninstallView(CRegistryCleaner& engine, RegHandle hive, REGISTRY_VIEW view) {
  IRegistry& registry = engine.Platform().registry;
  const std::wstring uninstallKey = SoftwareKeyInView(kUninstallKey, view);
  const std::wstring uninstallText = JoinPath(RootKeyName(hive), uninstallKey);
  CRegKey uninstall(registry);
  if (uninstall.Open(hive, uninstallKey, kKeyReadWriteCreate) != kErrorSuccess) return;
  std::wstring entry;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = uninstall.EnumKeyName(index, kCheckKeyNameChars, &entry);
    if (EndsEnumeration(rc) || engine.ShouldStop()) return;
    if (rc != kErrorSuccess || PassOverNulName(engine, uninstallText, entry)) continue;
    engine.ReportEntryExamined(JoinPath(uninstallKey, entry));
    CRegKey entryKey(registry);
    std::wstring command;
    if (entryKey.Open(uninstall.get(), entry, kKeyReadWriteCreate) != kErrorSuccess ||
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

    const REFERENCE_JUDGEMENT reference = engine.JudgeReference(command, view);
    engine.PassOver(REGPROBLEM_UNINSTALL, uninstallText, entry, reference.reading.named,
                    reference);
    if (!reference.missing) continue;
    AddProblemWithEvidence(engine, uninstallText, entry, reference.reading.named,
                           REGPROBLEM_UNINSTALL,
                           ReferenceEvidence(engine, reference, reference.reading.named, view));
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
    // The name is the path itself: it is judged as it stands, not read as a command.
    const REFERENCE_JUDGEMENT reference = JudgePlainPath(engine, dll, view);
    engine.PassOver(REGPROBLEM_SHARED_DLL, MachineKeyText(sharedDllsKey), dll, L"", reference);
    if (reference.missing) {
      AddProblemWithEvidence(engine, MachineKeyText(sharedDllsKey), dll, std::wstring(),
                             REGPROBLEM_SHARED_DLL,
                             MissingPathEvidence(engine, reference.missingPaths.front()));
    }
  }
}

}  // namespace

void CheckUninstallEntries(CRegistryCleaner& engine) {
  for (const RegHandle hive : kProgramHives) {
    for (const REGISTRY_VIEW view : SoftwareViews(engine.Platform().registry, hive)) {
      if (engine.IsCancelled()) return;
      CheckUninstallView(engine, hive, view);
    }
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
      // An absolute path is looked for at that path only, as any other reference is judged.
      const REFERENCE_JUDGEMENT reference = JudgePlainPath(engine, file, VIEW_64BIT);
      engine.PassOver(REGPROBLEM_FONT, MachineKeyText(kFontsKey), name, file, reference);
      found = !reference.missing;
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
  for (const RegHandle hive : kProgramHives) {
    const std::wstring appPathsText = JoinPath(RootKeyName(hive), kAppPathsKey);
    CRegKey appPaths(registry);
    if (appPaths.Open(hive, kAppPathsKey, kKeyReadWriteCreate) != kErrorSuccess) continue;
    std::wstring program;
    for (std::uint32_t index = 0;; ++index) {
      const ErrorCode rc = appPaths.EnumKeyName(index, kCheckKeyNameChars, &program);
      if (EndsEnumeration(rc)) break;
      if (engine.ShouldStop()) return;
      if (rc != kErrorSuccess || PassOverNulName(engine, appPathsText, program)) continue;
      engine.ReportEntryExamined(JoinPath(kAppPathsKey, program));
      CRegKey programKey(registry);
      std::wstring command;
      if (programKey.Open(appPaths.get(), program, kKeyReadWriteCreate) != kErrorSuccess ||
          programKey.QueryString(L"", kNamedValueBytes, &command) != kErrorSuccess) {
        continue;
      }
      const REFERENCE_JUDGEMENT reference = engine.JudgeReference(command);
      engine.PassOver(REGPROBLEM_APP_PATH, appPathsText, program, command, reference);
      if (!reference.missing) continue;
      AddProblemWithEvidence(engine, appPathsText, program, command, REGPROBLEM_APP_PATH,
                             ReferenceEvidence(engine, reference, command, VIEW_64BIT));
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
  const std::wstring keyText = JoinPath(RootKeyName(root), subkey);
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc =
        EnumValueText(key, index, kCheckValueNameChars, kCheckValueDataBytes, &name, &data);
    if (EndsEnumeration(rc) || engine.ShouldStop()) return;
    // A value too large for the buffers (a Run or Help value of thousands of characters) is
    // passed over; the entries after it are still judged.
    if (rc != kErrorSuccess || PassOverNulName(engine, keyText, name)) continue;
    engine.ReportEntryExamined(data);
    const REFERENCE_JUDGEMENT reference = engine.JudgeReference(data, view);
    engine.PassOver(type, keyText, name, data, reference);
    if (!reference.missing) continue;
    AddProblemWithEvidence(engine, keyText, name, data, type,
                           ReferenceEvidence(engine, reference, data, view));
  }
}

}  // namespace qv
