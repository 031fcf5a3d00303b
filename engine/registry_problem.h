// The problem record every check produces, the list that owns the problems of the last scan, and
// the category heading of the problem lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/categories.h"

namespace qv {

// What a check found missing, in the terms of what it tested.
enum EVIDENCE_KIND : std::int32_t {
  EVIDENCE_NONE = 0,        // nothing recorded
  EVIDENCE_MISSING_FILE,    // `tested` is missing; its folder (`folder`) is there
  EVIDENCE_MISSING_FOLDER,  // the folder that should hold `tested` is missing: `folder` is the
                            // first missing one on its way
  EVIDENCE_NO_PROGRAM,      // `tested` is missing, and its folder `folder` holds no program
                            // any more
  EVIDENCE_NOT_REGISTERED,  // the key `tested` (a class or an application identifier) is not there
  EVIDENCE_EMPTY_KEY,       // the problem's own key has neither subkeys nor values
  EVIDENCE_MISSING_TARGET,  // the shortcut's target `tested` is missing
  EVIDENCE_NO_MENU_FOLDER,  // neither `tested` (the common menu's folder) nor `folder` (the
                            // user's) exists
  // Why an entry was passed over without being judged: `tested` lies on the drive `folder`
  // ("D:"), which
  EVIDENCE_DRIVE_ABSENT,     // is not there now
  EVIDENCE_REMOVABLE_DRIVE,  // is a removable drive
  EVIDENCE_OPTICAL_DRIVE,    // is a CD or DVD drive
  EVIDENCE_NETWORK_DRIVE,    // is a network drive
  EVIDENCE_UNKNOWN_DRIVE,    // is of a kind Windows cannot tell
};

// The evidence of a problem: the path, key or class that was tested, after expansion, and what of
// it was missing. It is no part of the problem's identity (key\name|data).
struct PROBLEM_EVIDENCE {
  EVIDENCE_KIND kind = EVIDENCE_NONE;
  std::wstring tested;
  std::wstring folder;  // the second path some kinds name; empty for the others

  friend bool operator==(const PROBLEM_EVIDENCE&, const PROBLEM_EVIDENCE&) = default;
};

// The evidence in words, one line: "Missing file: C:\x.ini"...; empty for EVIDENCE_NONE.
[[nodiscard]] std::wstring EvidenceText(const PROBLEM_EVIDENCE& evidence,
                                        WORDING wording = WORDING::kUser);
// The kind's name in reports ("missingFile"...); "none" for EVIDENCE_NONE or an unknown kind.
[[nodiscard]] std::wstring_view EvidenceKindName(EVIDENCE_KIND kind);

// An entry a check passed over without judging it (see CRegistryCleaner::PassOver): the fields a
// problem of it would have had, and the evidence of why it was not judged.
struct PASSED_OVER {
  REGPROBLEM_TYPE type = REGPROBLEM_COM;
  std::wstring key;
  std::wstring name;
  std::wstring data;
  PROBLEM_EVIDENCE evidence;
};

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
  // What the check tested and found missing; set by the check that made the problem. Shown and
  // reported through ShownEvidence.
  PROBLEM_EVIDENCE evidence;
};

// The problem's evidence as it is shown and reported. An empty key's evidence names the
// problem's own key, which the problem does not keep twice (a scan finds tens of thousands).
[[nodiscard]] PROBLEM_EVIDENCE ShownEvidence(const CRegistryProblem& problem);

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
