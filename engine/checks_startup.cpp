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
  IFileSystem& files = engine.Platform().files;
  std::wstring entry;
  const std::wstring orderText = JoinPath(kHkeyCurrentUserName, menuOrderKey);
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = order.EnumKeyName(index, kCheckKeyNameChars, &entry);
    if (EndsEnumeration(rc) || engine.ShouldStop()) return;
    if (rc != kErrorSuccess || PassOverNulName(engine, orderText, entry)) continue;
    std::wstring common = JoinPath(commonPrograms, entry);
    std::wstring user = JoinPath(userPrograms, entry);
    if (files.FileExists(common) || files.FileExists(user)) continue;
    PROBLEM_EVIDENCE evidence{EVIDENCE_NO_MENU_FOLDER, common, std::move(user)};
    AddProblemWithEvidence(engine, JoinPath(orderText, entry),
                           entry, std::move(common), REGPROBLEM_STARTUP, std::move(evidence));
  }
}

void CheckFileAssociations(CRegistryCleaner& engine) {
  IRegistry& registry = engine.Platform().registry;
  CRegKey classes(registry);
  if (classes.Open(kHkeyClassesRoot, L"", kKeyReadWriteCreate) != kErrorSuccess) return;
  if (engine.ShouldStop()) return;
  std::wstring extension;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = classes.EnumKeyName(index, kWalkKeyNameChars, &extension);
    if (EndsEnumeration(rc)) break;
    if (engine.ShouldStop()) return;
    if (rc != kErrorSuccess || extension.empty() || extension.front() != L'.' ||
        PassOverNulName(engine, kHkeyClassesRootName, extension)) {
      continue;
    }

    CRegKey extensionKey(registry);
    std::wstring className;
    if (extensionKey.Open(classes.get(), extension, kKeyReadWriteCreate) != kErrorSuccess ||
        extensionKey.QueryString(L"", kComValueBytes, &className) != kErrorSuccess) {
      continue;
    }
    const std::wstring commandPath = className + std::wstring(kOpenCommandSuffix);
    engine.ReportEntryExamined(commandPath);
    CRegKey commandKey(registry);
    std::wstring command;
    if (commandKey.Open(classes.get(), commandPath, kKeyReadWriteCreate) != kErrorSuccess ||
        commandKey.QueryString(L"", kComValueBytes, &command) != kErrorSuccess) {
      continue;
    }
    std::wstring program = engine.CleanPath(ExtractCommandPath(command));
    if (engine.Platform().files.FileExists(program)) continue;
    // Only a missing program on a drive path is reported; a bare program name is not judged.
    if (program.size() >= 3 && program[1] == L':' && program[2] == L'\\') {
      PROBLEM_EVIDENCE evidence = MissingPathEvidence(engine, program);
      AddProblemWithEvidence(engine, JoinPath(kHkeyClassesRootName, extension),
                             std::wstring(kDefaultNameProblem), std::move(program),
                             REGPROBLEM_FILE_ASSOCIATION, std::move(evidence));
    }
  }
}

}  // namespace qv
