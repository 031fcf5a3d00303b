#include "engine/categories.h"

#include "base/text.h"
#include "engine/engine_texts.h"

namespace qv {

namespace {

struct CATEGORY_INFO {
  UI_TEXT displayName;  // its English is the name stored in the registry
  std::wstring_view description;
  std::wstring_view blockedValueName;
  int weight;
  int severity;
};

// Index order. The texts are the product's own, spelled exactly as shown to the user and stored
// in the registry (the names in English, engine_texts.inc).
constexpr std::array<CATEGORY_INFO, kCategoryCount> kCategories = {{
    {kCategoryNameCom,
     L"The COM/ActiveX section of the registry can contain invalid entries that can cause "
     L"application failure, system crashes, or errors when opening documents.",
     L"ComErrors", 4, 200},
    {kCategoryNameUninstall,
     L"The Uninstall Entries section of the registry can contain invalid entries or point to one "
     L"or more missing entries.  Typically this is due to incorrect installing or uninstalling of "
     L"applications.",
     L"UninstallErrors", 1, 100},
    {kCategoryNameFonts,
     L"The Font section of the registry can contain one or more missing font files that can cause "
     L"application errors (for example, Word processing applications).",
     L"FontErrors", 1, 1},
    {kCategoryNameSharedDlls,
     L"The Shared DLLs section of the registry can contain invalid entries that cause application "
     L"failure due to DLL conflict (otherwise known as DLL hell).",
     L"SharedDllErrors", 1, 200},
    {kCategoryNameAppPaths,
     L"The Application Paths section of the registry can contain invalid disk directories that "
     L"can cause application failure.",
     L"AppPathErrors", 1, 100},
    {kCategoryNameHelpFiles,
     L"The Help section of the registry can point to invalid help files that can cause "
     L"application help files to open incorrectly.",
     L"HelpFileErrors", 1, 1},
    {kCategoryNameStartup,
     L"The Run section of the Windows registry can contain missing program entries that can be "
     L"due to incorrect installing or uninstalling of an application.",
     L"WinStartUpErrors", 2, 200},
    {kCategoryNameFilePaths,
     L"Some registry items can be associated with non-existing files and folders such as when "
     L"temporary files are used for storage.",
     L"FilePathErrors", 5, 100},
    {kCategoryNameShortcuts,
     L"Program shortcuts in the registry, with a \".lnk\" extension, may no longer be linked to an "
     L"application.",
     L"ProgramShortcutErrors", 4, 1},
    {kCategoryNameEmptyKeys,
     L"Registry keys can be empty \u2013 they have no associated value.",
     L"EmtyRegKeyErrors", 3, 1},
    {kCategoryNameFileAssociations,
     L"The Shell Extension section of the registry can contain invalid file associations. If a "
     L"file type is associated with a program that does not exist then it shows up as an "
     L"irregularity.",
     L"FileAssosiationsErrors", 2, 100},
}};

const CATEGORY_INFO* FindByDisplayName(std::wstring_view displayName) {
  const std::wstring_view trimmed = TrimWhiteSpace(displayName);
  if (trimmed.empty()) return nullptr;
  for (const CATEGORY_INFO& info : kCategories) {
    if (info.displayName.english == trimmed) return &info;
  }
  return nullptr;
}

}  // namespace

std::wstring_view CategoryDisplayName(int index) {
  return IsValidCategory(index) ? kCategories[static_cast<std::size_t>(index)].displayName.english
                                : std::wstring_view();
}

std::wstring_view CategoryShownName(int index) {
  return IsValidCategory(index) ? Tr(kCategories[static_cast<std::size_t>(index)].displayName)
                                : std::wstring_view();
}

std::wstring_view CategoryDescription(int index) {
  return IsValidCategory(index) ? kCategories[static_cast<std::size_t>(index)].description
                                : std::wstring_view();
}

std::wstring_view BlockedCategoryValueName(int index) {
  return IsValidCategory(index) ? kCategories[static_cast<std::size_t>(index)].blockedValueName
                                : std::wstring_view();
}

int CategoryWeight(std::wstring_view displayName) {
  const CATEGORY_INFO* info = FindByDisplayName(displayName);
  return info != nullptr ? info->weight : 0;
}

int CategorySeverity(std::wstring_view displayName) {
  const CATEGORY_INFO* info = FindByDisplayName(displayName);
  return info != nullptr ? info->severity : 0;
}

int ShownCategorySeverity(std::wstring_view shownName) {
  const std::wstring_view trimmed = TrimWhiteSpace(shownName);
  if (trimmed.empty()) return 0;
  for (const CATEGORY_INFO& info : kCategories) {
    if (Tr(info.displayName) == trimmed) return info.severity;
  }
  return CategorySeverity(trimmed);
}

std::wstring_view SeverityLabel(int severity, WORDING wording) {
  if (severity < 100) return Tr(kSeverityLow, wording);
  if (severity < 200) return Tr(kSeverityMedium, wording);
  return Tr(kSeverityHigh, wording);
}

}  // namespace qv
