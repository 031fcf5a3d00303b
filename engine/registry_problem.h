// The problem record every check produces, the list that owns the problems of the last scan, and
// the category heading of the problem lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/categories.h"

namespace qv {

// One detected problem. It owns its texts. Not copyable: problems live in the problem list and
// are handed around by reference (a copy of a derived problem would be sliced).
class CRegistryProblem {
 public:
  // The parameter order (key, name, data) differs from the field order (key, data, name).
  CRegistryProblem(std::wstring keyPath, std::wstring valueName, std::wstring valueData,
                   REGPROBLEM_TYPE problemType, std::int64_t reservedValue = 0)
      : key(std::move(keyPath)),
        data(std::move(valueData)),
        name(std::move(valueName)),
        type(problemType),
        reserved(reservedValue) {}
  virtual ~CRegistryProblem() = default;

  CRegistryProblem(const CRegistryProblem&) = delete;
  CRegistryProblem& operator=(const CRegistryProblem&) = delete;

  // Full key path beginning with the root's full name (HKEY_LOCAL_MACHINE\SOFTWARE\...); for
  // REGPROBLEM_SHORTCUT the file path of the shortcut.
  std::wstring key;
  // The offending data (a path, a class identifier, or empty).
  std::wstring data;
  // The value name or subkey name inside key.
  std::wstring name;
  REGPROBLEM_TYPE type;
  // 0 for every problem the scan creates.
  std::int64_t reserved = 0;
  // True at creation; the results page lets the user clear it; the repair only handles selected
  // problems.
  bool selected = true;
};

// The ordered list that owns the problems of the last scan. Problems keep their address for as
// long as they are in the list (the list holds pointers), so references handed out by Add and At
// stay valid until Clear or destruction. No lock: one thread appends while the other reads only
// between synchronous progress calls or after the scan.
class CProblemList {
 public:
  CProblemList() = default;
  CProblemList(const CProblemList&) = delete;
  CProblemList& operator=(const CProblemList&) = delete;

  // Appends at the end and takes ownership; returns the stored problem. A null pointer is not
  // stored and gives null.
  CRegistryProblem* Add(std::unique_ptr<CRegistryProblem> problem);
  // Deletes every problem and frees the storage; the size becomes 0.
  void Clear();
  // Deletes the problem when the list holds it (the results page's "Ignore"); the problems after
  // it move up one place. False when it is not in the list.
  bool Remove(const CRegistryProblem* problem);

  [[nodiscard]] std::size_t size() const { return m_problems.size(); }
  [[nodiscard]] bool empty() const { return m_problems.empty(); }
  // The index-th problem; null when the index is past the end.
  [[nodiscard]] CRegistryProblem* At(std::size_t index) const;

 private:
  std::vector<std::unique_ptr<CRegistryProblem>> m_problems;
};

// The category heading of the problem lists: created the first time a category receives a
// problem (scan page) and kept by the results page.
class CScanCategory {
 public:
  CScanCategory(std::wstring displayName, REGPROBLEM_TYPE categoryType)
      : name(std::move(displayName)), type(categoryType) {}
  virtual ~CScanCategory() = default;

  std::wstring name;            // display name
  std::int32_t rowCount = 0;    // number of problem rows under the heading
  std::int32_t problemCount = 0;  // one added per problem of the category
  REGPROBLEM_TYPE type;         // category index
  // How many of the heading's problem rows are selected; the list controls keep it as their check
  // boxes change (0 to rowCount).
  std::int32_t selectedCount = 0;
};

}  // namespace qv
