// The ignore-list page's rows and their removal, for the settings tab's page and the console's
// "ignore" command.
//
// The page shows the user-visible entries of the ignore list (every entry after the shipped
// ones) newest first: the reverse of the list's order. A row remembers the entry it shows (its
// position and the entry itself), so removing a checked row removes exactly that row's entry,
// never another one with the same identity.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/errors.h"
#include "engine/exclusion_lists.h"

namespace qv {

struct IGNORE_ROW {
  std::size_t position = 0;   // the entry's visible position in the ignore list
  int category = 0;           // the entry's category index
  std::wstring categoryName;  // its display name (the page's first column)
  std::wstring identity;      // "<key>\<name>|<data>" as held (the second column)
};

// The rows in the page's order: the last visible entry first.
[[nodiscard]] std::vector<IGNORE_ROW> IgnoreListRows(const CExclusionLists& lists);

struct IGNORE_REMOVAL {
  std::size_t removed = 0;  // rows whose entry was taken off the list
  std::size_t stale = 0;    // rows whose entry was no longer where the row said (nothing removed)
  ErrorCode error = kErrorSuccess;  // the first failure of the blocked store or of the save
};

// Removes the entries of the checked rows (rows of IgnoreListRows; each position once). An entry
// that no longer stands at its row's position, unchanged, is left alone and counted as stale. An
// entry read from the blocked store leaves the store too (one value of its category holding its
// identity), so it does not come back at the next load. Then SaveExclusionListsIfChanged: with no
// entry of the user file left, ignore.wls is deleted; with nothing removed, nothing is written.
[[nodiscard]] IGNORE_REMOVAL RemoveIgnoreRows(CExclusionLists& lists,
                                              const std::vector<IGNORE_ROW>& checked);

}  // namespace qv
