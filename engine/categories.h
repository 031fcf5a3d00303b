// The eleven scan categories: their problem kinds, fixed texts, run order, progress weights and
// risk levels, and the category value names of the blocked store. The category table (enabled
// switch, found and fixed counts) belongs to the application object (app/category_table.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/language.h"

namespace qv {

// The kind of a problem. The numeric value is the category index: the position of the
// category's flags and counters in every per-category array and the argument of the
// per-category progress calls.
enum REGPROBLEM_TYPE : std::int32_t {
  REGPROBLEM_COM = 0,
  REGPROBLEM_UNINSTALL = 1,
  REGPROBLEM_FONT = 2,
  REGPROBLEM_SHARED_DLL = 3,
  REGPROBLEM_APP_PATH = 4,
  REGPROBLEM_HELP_FILE = 5,
  REGPROBLEM_STARTUP = 6,
  REGPROBLEM_FILE_PATH = 7,
  REGPROBLEM_SHORTCUT = 8,
  REGPROBLEM_EMPTY_KEY = 9,
  REGPROBLEM_FILE_ASSOCIATION = 10,
};

inline constexpr int kCategoryCount = 11;

// The category indices in the order the scan runs them (Help Files before Windows Startups,
// Program Paths after them).
inline constexpr std::array<REGPROBLEM_TYPE, kCategoryCount> kCategoryRunOrder = {
    REGPROBLEM_COM,         REGPROBLEM_UNINSTALL, REGPROBLEM_FONT,
    REGPROBLEM_SHARED_DLL,  REGPROBLEM_HELP_FILE, REGPROBLEM_STARTUP,
    REGPROBLEM_APP_PATH,    REGPROBLEM_FILE_PATH, REGPROBLEM_SHORTCUT,
    REGPROBLEM_EMPTY_KEY,   REGPROBLEM_FILE_ASSOCIATION,
};

// True for 0..10.
[[nodiscard]] constexpr bool IsValidCategory(int index) {
  return index >= 0 && index < kCategoryCount;
}

// Display name ("ActiveX/COM Objects"...), also the settings value name of the category.
// An index outside 0..10 gives the empty text.
[[nodiscard]] std::wstring_view CategoryDisplayName(int index);
// The display name in the user's language, as the windows and the console's reports show it
// (the English display name in English); empty outside 0..10.
[[nodiscard]] std::wstring_view CategoryShownName(int index);
// The category's description text; empty outside 0..10.
[[nodiscard]] std::wstring_view CategoryDescription(int index);
// Name of the category's subkey in the blocked store ("ComErrors"...); empty outside 0..10.
[[nodiscard]] std::wstring_view BlockedCategoryValueName(int index);

// Progress-bar steps and risk weight of a category, looked up by display name: the name is
// trimmed of white space at both ends and compared exactly, case included. An empty or unknown
// name gives 0.
[[nodiscard]] int CategoryWeight(std::wstring_view displayName);
[[nodiscard]] int CategorySeverity(std::wstring_view displayName);

// The severity of the category whose display name, as shown in the user's language (or in
// English), is this text, trimmed and compared exactly; 0 for any other text (a name shortened for
// display among them).
[[nodiscard]] int ShownCategorySeverity(std::wstring_view shownName);

// Risk label of a severity: below 100 "LOW", 100 to 199 "MEDIUM", 200 and above "HIGH"
// (kSeverityLow... of engine_texts.h).
[[nodiscard]] std::wstring_view SeverityLabel(int severity, WORDING wording = WORDING::kUser);

// Which categories a scan runs, by category index.
using CATEGORY_SELECTION = std::array<bool, kCategoryCount>;

// Every category selected.
[[nodiscard]] constexpr CATEGORY_SELECTION AllCategories() {
  CATEGORY_SELECTION all{};
  for (bool& selected : all) selected = true;
  return all;
}

}  // namespace qv
