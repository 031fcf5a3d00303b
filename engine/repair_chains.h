// What a repair uncovers: the entries that one round of a repair leaves broken for another
// category, found by the checks' own judgements, looked for only where the round changed
// something (docs/repair-chains.md):
//  - a key below HKEY_USERS that held a deleted key or value may be empty now (empty keys);
//  - a deleted class (<classes>\CLSID\{...}, either view): the ProgIDs of either hive whose CLSID
//    names it (COM);
//  - a deleted application identifier (<classes>\AppID\{...}): the classes of either hive whose
//    AppID names it (COM);
//  - a deleted type (a ProgID key of a classes root) or its open command: the file-name
//    extensions of either hive that name it (file associations).
// No other check judges registry content that a repair deletes: uninstall entries, application
// paths, fonts, shared DLLs, help files, startup entries, file references and shortcuts name
// files, and deleting one never makes another dangle.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/registry_cleaner.h"
#include "engine/registry_problem.h"

namespace qv {

// One change a repair made: a key deleted with its tree, or a value deleted from a key. Keys are
// full key texts, as the problems name them.
struct REGISTRY_CHANGE {
  std::wstring key;
  std::wstring valueName;  // the deleted value's name; empty for a deleted key
  bool keyDeleted = false;

  // The changed entry in words: the key, or "<key>\<value name>".
  [[nodiscard]] std::wstring Text() const;
};

// A problem a change uncovered, with the change that did (an index into the changes given).
struct UNCOVERED_PROBLEM {
  std::unique_ptr<CRegistryProblem> problem;
  std::size_t because = 0;
};

// Looks again, with the checks' judgements, at what the changes touched, and only there. A problem
// of a category the scan did not run, one the engine's filter excludes (Windows' own areas, the
// safe list, the ignore list, what a repair blocked), and one whose identity is in `known` (the
// problems of the scan, whether ticked or not, and those uncovered before) are left out; the
// identities of those returned are added to `known` (lower case). In the order of the changes.
// The engine's notify sink hears nothing of it (a repair, not a scan, is running).
[[nodiscard]] std::vector<UNCOVERED_PROBLEM> FindUncoveredProblems(
    CRegistryCleaner& engine, const std::vector<REGISTRY_CHANGE>& changes,
    std::unordered_set<std::wstring>* known);

// The identity of a problem as FindUncoveredProblems compares it ("<key>\<name>|<data>", lower
// case in ASCII).
[[nodiscard]] std::wstring UncoveredIdentity(const CRegistryProblem& problem);

}  // namespace qv
