#include "app/ignore_list.h"

#include <algorithm>

#include "base/text_case.h"
#include "engine/categories.h"

namespace qv {

std::vector<IGNORE_ROW> IgnoreListRows(const CExclusionLists& lists) {
  const std::vector<EXCLUSION_ENTRY> visible = lists.VisibleEntries();
  std::vector<IGNORE_ROW> rows;
  rows.reserve(visible.size());
  for (std::size_t position = visible.size(); position-- > 0;) {
    const EXCLUSION_ENTRY& entry = visible[position];
    rows.push_back(IGNORE_ROW{position, entry.category,
                              std::wstring(CategoryDisplayName(entry.category)), entry.identity});
  }
  return rows;
}

IGNORE_REMOVAL RemoveIgnoreRows(CExclusionLists& lists, const std::vector<IGNORE_ROW>& checked) {
  IGNORE_REMOVAL result;
  // From the highest position down, so that each removal leaves the lower positions in place.
  std::vector<const IGNORE_ROW*> order;
  order.reserve(checked.size());
  for (const IGNORE_ROW& row : checked) order.push_back(&row);
  std::stable_sort(order.begin(), order.end(), [](const IGNORE_ROW* a, const IGNORE_ROW* b) {
    return a->position > b->position;
  });
  order.erase(std::unique(order.begin(), order.end(),
                          [](const IGNORE_ROW* a, const IGNORE_ROW* b) {
                            return a->position == b->position;
                          }),
              order.end());

  std::vector<EXCLUSION_ENTRY> removed;
  for (const IGNORE_ROW* row : order) {
    EXCLUSION_ENTRY entry{row->category, row->identity};
    if (lists.RemoveVisibleEntryIf(row->position, entry)) {
      removed.push_back(std::move(entry));
    } else {
      ++result.stale;
    }
  }
  result.removed = removed.size();

  const std::vector<EXCLUSION_ENTRY> remaining = lists.VisibleEntries();
  for (std::size_t i = 0; i < removed.size(); ++i) {
    const EXCLUSION_ENTRY& entry = removed[i];
    const auto same = [&entry](const EXCLUSION_ENTRY& other) {
      return other.category == entry.category &&
             EqualsIgnoringAsciiCase(other.identity, entry.identity);
    };
    // Still shown by another row (or forgotten already for an earlier row): the store stays.
    if (std::any_of(remaining.begin(), remaining.end(), same) ||
        std::any_of(removed.begin(), removed.begin() + static_cast<std::ptrdiff_t>(i), same)) {
      continue;
    }
    const ErrorCode rc = lists.ForgetBlockedIdentity(entry.category, entry.identity);
    if (result.error == kErrorSuccess) result.error = rc;
  }

  const ErrorCode saved = lists.SaveExclusionListsIfChanged();
  if (result.error == kErrorSuccess) result.error = saved;
  return result;
}

}  // namespace qv
