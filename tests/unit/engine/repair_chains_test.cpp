// What a repair's changes uncover, found by the checks' judgements where the changes were and
// nowhere else: a key emptied of its last value, a ProgID whose class went, a class whose AppID
// went, an extension whose type went; never what the lists exclude, what is known already or a
// category the scan did not run.
#include "engine/repair_chains.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "base/text_case.h"
#include "tests/support/engine_fixture.h"

namespace qv {
namespace {

using test::CEngineFixture;
using test::PROBLEM_ROW;

constexpr wchar_t kUser[] = L"HKEY_USERS\\S-1-5-21-0-0-0-1000";
constexpr wchar_t kMachineClasses[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";

struct FOUND {
  PROBLEM_ROW row;
  std::size_t because;
  friend bool operator==(const FOUND&, const FOUND&) = default;
};

std::ostream& operator<<(std::ostream& out, const FOUND& found) {
  return out << found.row << " because " << found.because;
}

std::vector<FOUND> Find(CEngineFixture& fx, const std::vector<REGISTRY_CHANGE>& changes,
                        std::unordered_set<std::wstring>* known = nullptr) {
  std::unordered_set<std::wstring> none;
  std::vector<FOUND> found;
  for (const UNCOVERED_PROBLEM& u :
       FindUncoveredProblems(fx.engine(), changes, known != nullptr ? known : &none)) {
    found.push_back({test::RowOf(*u.problem), u.because});
  }
  return found;
}

class RepairChainsTest : public ::testing::Test, protected CEngineFixture {
 protected:
  void SetUp() override {
    CATEGORY_SELECTION all{};
    all.fill(true);
    engine().Prepare(all);
  }
};

TEST_F(RepairChainsTest, EachChangeIsFollowedToWhatItLeftBroken) {
  const std::wstring settings = std::wstring(kUser) + L"\\Software\\Vendor\\App\\Settings";
  registry().CreatePath(settings);                                             // emptied
  registry().SetString(std::wstring(kUser) + L"\\Software\\Vendor\\Kept", L"v", L"x");  // not
  // A ProgID of the user naming a class of the machine that went, and one naming another class.
  registry().SetString(L"HKCU\\Software\\Classes\\Gone.Prog\\CLSID", L"", L"{C}");
  registry().SetString(L"HKCU\\Software\\Classes\\Other.Prog\\CLSID", L"", L"{OTHER}");
  // A 32-bit class naming an AppID that went (AppIDs are shared by both views).
  registry().SetString(L"HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\{D}", L"AppID", L"{A}");
  // An extension of the user's whose type the machine still has, with a program that is gone:
  // the user's own copy of the type hid it until it went.
  registry().SetString(L"HKCU\\Software\\Classes\\.mine", L"", L"Mine.File");
  registry().SetString(L"HKLM\\Software\\Classes\\Mine.File\\shell\\open\\command", L"",
                       L"C:\\Gone\\old.exe \"%1\"");
  // The user's only program entry went: its list is empty, named as the walk of the users names it.
  const std::wstring userPrograms = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  registry().CreatePath(std::wstring(kUser) + L"\\" + userPrograms);

  const std::vector<REGISTRY_CHANGE> changes = {
      {settings, L"LastFile", false},
      {std::wstring(kMachineClasses) + L"\\CLSID\\{C}", L"", true},
      {std::wstring(kMachineClasses) + L"\\AppID\\{A}", L"", true},
      {L"HKEY_CURRENT_USER\\Software\\Classes\\Mine.File", L"", true},
      {L"HKEY_CURRENT_USER\\" + userPrograms + L"\\App", L"", true},
  };
  EXPECT_EQ(Find(*this, changes),
            (std::vector<FOUND>{
                {{settings, L"(Default)", L"", REGPROBLEM_EMPTY_KEY}, 0},
                {{L"HKEY_CURRENT_USER\\Software\\Classes\\Gone.Prog\\CLSID", L"{Default}", L"{C}",
                  REGPROBLEM_COM},
                 1},
                {{std::wstring(kMachineClasses) + L"\\Wow6432Node\\CLSID\\{D}", L"AppID", L"{A}",
                  REGPROBLEM_COM},
                 2},
                {{L"HKEY_CURRENT_USER\\Software\\Classes\\.mine", L"(Default)",
                  L"C:\\Gone\\old.exe",
                  REGPROBLEM_FILE_ASSOCIATION},
                 3},
                {{std::wstring(kUser) + L"\\" + userPrograms, L"(Default)", L"",
                  REGPROBLEM_EMPTY_KEY},
                 4},
            }));
  EXPECT_EQ(changes[0].Text(), settings + L"\\LastFile");
  EXPECT_EQ(changes[1].Text(), std::wstring(kMachineClasses) + L"\\CLSID\\{C}");
  EXPECT_TRUE(sink().Events().empty()) << "a repair, not a scan, is running";
}

TEST_F(RepairChainsTest, WhatTheListsExcludeOrIsKnownOrNotScannedIsLeftAlone) {
  const std::wstring settings = std::wstring(kUser) + L"\\Software\\Vendor\\App\\Settings";
  registry().CreatePath(settings);
  const std::vector<REGISTRY_CHANGE> changes = {
      {settings, L"LastFile", false},
      // The parent of a deleted hive-level key is HKEY_USERS itself; a classes key is never empty.
      {std::wstring(kUser), L"", true},
      {L"HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Classes\\Gone", L"", true},
  };
  // Excluded (an ignored entry, an area of Windows' own).
  filter().exclude = [](const CRegistryProblem& p) {
    return p.key.find(L"Vendor") != std::wstring::npos;
  };
  EXPECT_TRUE(Find(*this, changes).empty());
  filter().exclude = {};
  // Known already (a problem of the scan the user kept unticked).
  std::unordered_set<std::wstring> known = {ToLowerAscii(settings + L"\\(Default)|")};
  EXPECT_TRUE(Find(*this, changes, &known).empty());
  // A category the scan did not run.
  engine().SetScanCategory(REGPROBLEM_EMPTY_KEY, false);
  EXPECT_TRUE(Find(*this, changes).empty());
  engine().SetScanCategory(REGPROBLEM_EMPTY_KEY, true);
  std::unordered_set<std::wstring> seen;
  EXPECT_EQ(Find(*this, changes, &seen).size(), 1u);
  EXPECT_TRUE(Find(*this, changes, &seen).empty()) << "each problem is uncovered once";
}

}  // namespace
}  // namespace qv
