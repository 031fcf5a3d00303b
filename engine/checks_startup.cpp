// Categories 6 (Windows Startups) and 10 (File Association References).
#include <memory>
#include <string>
#include <utility>

#include "base/text.h"
#include "engine/check_support.h"
#include "engine/checks.h"
#include "engine/key_naming.h"
#include "engine/registry_cleaner.h"
#include "platform/shell.h"

namespace qv {
namespace {

// Whether a menu folder is there (or the drive cannot tell, or it is on a drive not judged).
bool MenuFolderThere(CRegistryCleaner& engine, std::wstring_view folder) {
  return !StartsWithDrivePath(folder) || engine.JudgePath(folder) != PATH_STANDING::kMissing;
}

// The open command of a file type as HKEY_CLASSES_ROOT shows it: a type the user's classes hold
// is the user's copy with everything below it (the merged view takes nothing of the machine's
// copy of that type then), any other the machine's.
bool ReadOpenCommand(IRegistry& registry, std::wstring_view type, std::wstring* command) {
  const CLASSES_HIVE& hive =
      ReferencedKeyExists(registry, kUserClasses.root, JoinPath(kUserClasses.key, type))
          ? kUserClasses
          : kMachineClasses;
  CRegKey key(registry);
  return key.Open(hive.root, JoinPath(hive.key, std::wstring(type) + std::wstring(kOpenCommandSuffix)),
                  kKeyReadWriteCreate) == kErrorSuccess &&
         key.QueryString(L"", kComValueBytes, command) == kErrorSuccess;
}

// The file-name extensions of one hive's classes whose type's open command names a missing
// program. The type and its command are looked up as HKEY_CLASSES_ROOT merges the two hives, so
// a user's extension naming a type registered for the machine is judged by the machine's
// command, and a machine's extension whose type the user registered again by the user's.
void CheckHiveFileAssociations(CRegistryCleaner& engine, const CLASSES_HIVE& hive) {
  IRegistry& registry = engine.Platform().registry;
  CRegKey classes(registry);
  if (classes.Open(hive.root, hive.key, kKeyReadWriteCreate) != kErrorSuccess) return;
  if (engine.ShouldStop()) return;
  const std::wstring classesText = JoinPath(RootKeyName(hive.root), hive.key);
  std::wstring extension;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = classes.EnumKeyName(index, kWalkKeyNameChars, &extension);
    if (EndsEnumeration(rc)) break;
    if (engine.ShouldStop()) return;
    if (rc != kErrorSuccess || extension.empty() || extension.front() != L'.' ||
        PassOverNulName(engine, classesText, extension)) {
      continue;
    }

    CRegKey extensionKey(registry);
    std::wstring className;
    if (extensionKey.Open(classes.get(), extension, kKeyReadWriteCreate) != kErrorSuccess ||
        extensionKey.QueryString(L"", kComValueBytes, &className) != kErrorSuccess) {
      continue;
    }
    engine.ReportEntryExamined(className + std::wstring(kOpenCommandSuffix));
    if (auto problem = JudgeFileType(engine, hive, extension, className)) {
      engine.AddProblem(std::move(problem));
    }
  }
}

}  // namespace

void CheckStartup(CRegistryCleaner& engine) {
  CheckValueReferences(engine, kHkeyLocalMachine, kRunKey, REGPROBLEM_STARTUP);
  CheckValueReferences(engine, kHkeyCurrentUser, kRunKey, REGPROBLEM_STARTUP);

  engine.ReportEntryExamined(std::wstring(kShellFoldersKey));
  std::wstring commonPrograms;
  CRegKey shellFolders(engine.Platform().registry);
  if (shellFolders.Open(kHkeyLocalMachine, kShellFoldersKey, kKeyReadWriteCreate) !=
          kErrorSuccess ||
      shellFolders.QueryString(kCommonProgramsValue, kNamedValueBytes, &commonPrograms) !=
          kErrorSuccess) {
    commonPrograms.clear();
  }
  CheckMenuOrder(engine, kMenuOrderKey, commonPrograms);
  CheckMenuOrder(engine, kMenuOrder2Key, commonPrograms);

  // The machine's Run key of the 32-bit view, where 32-bit programs start themselves. The user's
  // Run key is one key for both views.
  for (const REGISTRY_VIEW view : SoftwareViews(engine.Platform().registry)) {
    if (view == VIEW_64BIT) continue;
    if (engine.IsCancelled()) return;
    CheckValueReferences(engine, kHkeyLocalMachine, SoftwareKeyInView(kRunKey, view),
                         REGPROBLEM_STARTUP, view);
  }
}

void CheckMenuOrder(CRegistryCleaner& engine, std::wstring_view menuOrderKey,
                    std::wstring_view commonPrograms) {
  std::wstring userPrograms;
  if (engine.Platform().shell.GetSpecialFolderPath(kCsidlPrograms, false, &userPrograms) !=
      kErrorSuccess) {
    userPrograms.clear();
  }
  engine.ReportEntryExamined(std::wstring(menuOrderKey));
  CRegKey order(engine.Platform().registry);
  if (order.Open(kHkeyCurrentUser, menuOrderKey, kKeyReadWriteCreate) != kErrorSuccess) return;
  std::wstring entry;
  const std::wstring orderText = JoinPath(kHkeyCurrentUserName, menuOrderKey);
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = order.EnumKeyName(index, kCheckKeyNameChars, &entry);
    if (EndsEnumeration(rc) || engine.ShouldStop()) return;
    if (rc != kErrorSuccess || PassOverNulName(engine, orderText, entry)) continue;
    std::wstring common = JoinPath(commonPrograms, entry);
    std::wstring user = JoinPath(userPrograms, entry);
    if (MenuFolderThere(engine, common) || MenuFolderThere(engine, user)) continue;
    PROBLEM_EVIDENCE evidence{EVIDENCE_NO_MENU_FOLDER, common, std::move(user)};
    AddProblemWithEvidence(engine, JoinPath(orderText, entry),
                           entry, std::move(common), REGPROBLEM_STARTUP, std::move(evidence));
  }
}

std::unique_ptr<CRegistryProblem> JudgeFileType(CRegistryCleaner& engine,
                                                const CLASSES_HIVE& hive,
                                                std::wstring_view extension,
                                                std::wstring_view typeName) {
  std::wstring command;
  if (typeName.empty() || !ReadOpenCommand(engine.Platform().registry, typeName, &command)) {
    return nullptr;
  }
  const REFERENCE_JUDGEMENT reference = engine.JudgeReference(command);
  const std::wstring extensionText = HiveClassesKeyText(hive, extension, VIEW_64BIT);
  engine.PassOver(REGPROBLEM_FILE_ASSOCIATION, extensionText, std::wstring(kDefaultNameProblem),
                  reference.reading.named, reference);
  if (!reference.missing) return nullptr;
  auto problem = std::make_unique<CRegistryProblem>(extensionText,
                                                    std::wstring(kDefaultNameProblem),
                                                    reference.reading.named,
                                                    REGPROBLEM_FILE_ASSOCIATION);
  problem->evidence = ReferenceEvidence(engine, reference, command, VIEW_64BIT);
  return problem;
}

void CheckFileAssociations(CRegistryCleaner& engine) {
  for (const CLASSES_HIVE& hive : kClassesHives) {
    if (engine.IsCancelled()) return;
    CheckHiveFileAssociations(engine, hive);
  }
}

}  // namespace qv
