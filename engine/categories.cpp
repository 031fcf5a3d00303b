#include "engine/categories.h"

#include "base/text.h"

namespace qv {

namespace {

struct CATEGORY_INFO {
  std::wstring_view displayName;
  std::wstring_view description;
  std::wstring_view blockedValueName;
  int weight;
  int severity;
};

// Index order. The texts are the product's own, spelled exactly as shown to the user and stored
// in the registry.
constexpr std::array<CATEGORY_INFO, kCategoryCount> kCategories = {{
    {L"ActiveX/COM Objects",
     L"The COM/ActiveX section of the registry can contain invalid entries that can cause "
     L"application failure, system crashes, or errors when opening documents.",
     L"ComErrors", 4, 200},
    {L"Uninstalled Files",
     L"The Uninstall Entries section of the registry can contain invalid entries or point to one "
     L"or more missing entries.  Typically this is due to incorrect installing or uninstalling of "
     L"applications.",
     L"UninstallErrors", 1, 100},
    {L"Fonts",
     L"The Font section of the registry can contain one or more missing font files that can cause "
     L"application errors (for example, Word processing applications).",
     L"FontErrors", 1, 1},
    {L"Shared DLLs",
     L"The Shared DLLs section of the registry can contain invalid entries that cause application "
     L"failure due to DLL conflict (otherwise known as DLL hell).",
     L"SharedDllErrors", 1, 200},
    {L"Program Paths",
     L"The Application Paths section of the registry can contain invalid disk directories that "
     L"can cause application failure.",
     L"AppPathErrors", 1, 100},
    {L"Help Files",
     L"The Help section of the registry can point to invalid help files that can cause "
     L"application help files to open incorrectly.",
     L"HelpFileErrors", 1, 1},
    {L"Windows Startups",
     L"The Run section of the Windows registry can contain missing program entries that can be "
     L"due to incorrect installing or uninstalling of an application.",
     L"WinStartUpErrors", 2, 200},
    {L"File/Path References",
     L"Some registry items can be associated with non-existing files and folders such as when "
     L"temporary files are used for storage.",
     L"FilePathErrors", 5, 100},
    {L"Windows Shortcuts",
     L"Program shortcuts in the registry, with a \".lnk\" extension, may no longer be linked to an "
     L"application.",
     L"ProgramShortcutErrors", 4, 1},
    {L"Empty Registry Keys",
     L"Registry keys can be empty \u2013 they have no associated value.",
     L"EmtyRegKeyErrors", 3, 1},
    {L"File Association References",
     L"The Shell Extension section of the registry can contain invalid file associations. If a "
     L"file type is associated with a program that does not exist then it shows up as an "
     L"irregularity.",
     L"FileAssosiationsErrors", 2, 100},
}};

const CATEGORY_INFO* FindByDisplayName(std::wstring_view displayName) {
  const std::wstring_view trimmed = TrimWhiteSpace(displayName);
  if (trimmed.empty()) return nullptr;
  for (const CATEGORY_INFO& info : kCategories) {
    if (info.displayName == trimmed) return &info;
  }
  return nullptr;
}

}  // namespace

std::wstring_view CategoryDisplayName(int index) {
  return IsValidCategory(index) ? kCategories[static_cast<std::size_t>(index)].displayName
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

std::wstring_view SeverityLabel(int severity) {
  if (severity < 100) return kSeverityLow;
  if (severity < 200) return kSeverityMedium;
  return kSeverityHigh;
}

}  // namespace qv
