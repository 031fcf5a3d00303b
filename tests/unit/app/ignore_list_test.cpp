// The ignore list page's rows and removal on the in-memory platform: newest entry first, removal
// of exactly the checked rows' own entries (never another with the same identity, never one that
// moved since the rows were made), entries of the blocked store gone from the store for good and
// never copied into the user file, and the user file rewritten, deleted, or left alone; the
// statistics page's count of what was ignored since the lists were loaded.
#include "app/ignore_list.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "engine/exclusion_lists.h"
#include "platform/memory/memory_message_pump.h"
#include "platform/memory/memory_platform.h"

namespace qv {
namespace {

constexpr wchar_t kProduct[] = L"Quarvelo";
constexpr wchar_t kProgramFolder[] = L"C:\\Program Files\\Quarvelo";
constexpr wchar_t kUserFile[] = L"C:\\ProgramData\\Quarvelo\\ignore.wls";
constexpr wchar_t kStartupBlocked[] = L"HKLM\\SOFTWARE\\Quarvelo\\blocked\\WinStartUpErrors";
constexpr wchar_t kTool[] = L"HKEY_X\\Run\\Tool|C:\\tool.exe";

class IgnoreListTest : public testing::Test {
 protected:
  IgnoreListTest() { memory.files().AddFolder(kProgramFolder); }

  void Block(std::wstring_view identity) {
    memory.registry().SetString(kStartupBlocked, IdentityHashText(identity), identity);
  }
  std::optional<std::string> UserFile() { return memory.files().ReadFile(kUserFile); }
  std::vector<std::wstring> Shown() {
    std::vector<std::wstring> shown;
    for (const IGNORE_ROW& row : IgnoreListRows(lists)) {
      shown.push_back(std::to_wstring(row.position) + L" " + row.categoryName + L": " +
                      row.identity);
    }
    return shown;
  }

  CMemoryPlatform memory;
  CExclusionLists lists{memory.platform(), nullptr, kProduct};
};

TEST_F(IgnoreListTest, RowsAreTheVisibleEntriesNewestFirst) {
  memory.files().AddFile(std::wstring(kProgramFolder) + L"\\shipped.wls", "1\r\nshipped\r\n");
  memory.files().AddFile(kUserFile, "2\r\nFirst\r\n6\r\nsecond\r\n");
  Block(kTool);
  lists.LoadExclusionLists();
  EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"2 Windows Startups: " + std::wstring(kTool),
                                                L"1 Windows Startups: second",
                                                L"0 Fonts: first"}));
}

TEST_F(IgnoreListTest, ACheckedRowTakesItsOwnEntryEvenWhenAnotherHasTheSameIdentity) {
  // The user file's copy (lower case, position 0) and the blocked store's (position 1).
  memory.files().AddFile(kUserFile, "6\r\nhkey_x\\run\\tool|c:\\tool.exe\r\n");
  Block(kTool);
  lists.LoadExclusionLists();
  std::vector<IGNORE_ROW> rows = IgnoreListRows(lists);
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[0].identity, kTool);

  // Only the top row, the store's entry, is checked; a search by its text would find the user
  // file's entry first.
  const IGNORE_REMOVAL removal = RemoveIgnoreRows(lists, {rows[0]});
  EXPECT_EQ(removal.removed, 1u);
  EXPECT_EQ(removal.error, kErrorSuccess);
  EXPECT_EQ(lists.VisibleEntries(),
            (std::vector<EXCLUSION_ENTRY>{{6, L"hkey_x\\run\\tool|c:\\tool.exe"}}));
  EXPECT_FALSE(memory.registry().ValueExists(kStartupBlocked, IdentityHashText(kTool)));
  EXPECT_EQ(UserFile(), "6\r\nhkey_x\\run\\tool|c:\\tool.exe\r\n");

  // A row made before the lists changed under it removes nothing.
  rows = IgnoreListRows(lists);
  memory.files().AddFile(kUserFile, "6\r\nother\r\n");
  lists.LoadExclusionLists();
  const IGNORE_REMOVAL stale = RemoveIgnoreRows(lists, rows);
  EXPECT_EQ(stale.removed, 0u);
  EXPECT_EQ(stale.stale, 1u);
  EXPECT_EQ(lists.VisibleEntries(), (std::vector<EXCLUSION_ENTRY>{{6, L"other"}}));
}

TEST_F(IgnoreListTest, RemovingEveryRowDeletesTheFileAndTheBlockedValuesForGood) {
  memory.files().AddFile(kUserFile, "6\r\nsecond\r\n2\r\nfirst\r\n6\r\nsecond\r\n");
  Block(kTool);
  memory.registry().SetString(kStartupBlocked, L"12345", L"HKEY_X\\RUN\\TOOL|C:\\TOOL.EXE");
  memory.registry().SetString(kStartupBlocked, L"other", L"Another tool");
  lists.LoadExclusionLists();
  std::vector<IGNORE_ROW> rows = IgnoreListRows(lists);
  ASSERT_EQ(rows.size(), 6u);
  ASSERT_EQ(rows.front().identity, L"Another tool");
  rows.erase(rows.begin());      // stays
  rows.push_back(rows.front());  // a row given twice counts once

  const IGNORE_REMOVAL removal = RemoveIgnoreRows(lists, rows);
  EXPECT_EQ(removal.removed, 5u);
  EXPECT_EQ(removal.error, kErrorSuccess);
  EXPECT_EQ(memory.registry().ValueNames(kStartupBlocked), (std::vector<std::wstring>{L"other"}));
  // The entry left is the store's: it stays there and is not copied into the user file.
  EXPECT_FALSE(UserFile().has_value());

  lists.LoadExclusionLists();
  ASSERT_EQ(IgnoreListRows(lists).size(), 1u);
  ASSERT_EQ(RemoveIgnoreRows(lists, IgnoreListRows(lists)).removed, 1u);
  EXPECT_TRUE(memory.registry().ValueNames(kStartupBlocked).empty());
  lists.LoadExclusionLists();
  EXPECT_TRUE(IgnoreListRows(lists).empty());
}

TEST_F(IgnoreListTest, NoCheckedRowWritesNothing) {
  // A save would rewrite the file in lower case.
  memory.files().AddFile(kUserFile, "6\r\nUSER\r\n");
  lists.LoadExclusionLists();
  const IGNORE_REMOVAL removal = RemoveIgnoreRows(lists, {});
  EXPECT_EQ(removal.removed, 0u);
  EXPECT_EQ(removal.error, kErrorSuccess);
  EXPECT_EQ(UserFile(), "6\r\nUSER\r\n");
}

TEST_F(IgnoreListTest, IgnoredSinceLoadCountsWhatIsStillOnTheList) {
  CNoMessagePump pump;
  CApplication app(memory.platform(), pump);
  memory.files().AddFile(kUserFile, "2\r\nolder\r\n");  // ignored before the load: not counted
  app.LoadExclusionLists();
  CRegistryProblem fontA(L"HKEY_LOCAL_MACHINE\\Fonts", L"a", L"a.ttf", REGPROBLEM_FONT);
  CRegistryProblem fontB(L"HKEY_LOCAL_MACHINE\\Fonts", L"b", L"b.ttf", REGPROBLEM_FONT);
  CRegistryProblem startup(L"HKEY_CURRENT_USER\\Run", L"t", L"C:\\t.exe", REGPROBLEM_STARTUP);
  CRegistryProblem notACategory(L"HKEY_CURRENT_USER\\X", L"x", L"",
                                static_cast<REGPROBLEM_TYPE>(11));
  for (const CRegistryProblem* problem : {&fontA, &fontB, &startup}) {
    ASSERT_EQ(app.IgnoreProblem(*problem), kErrorSuccess);
  }
  EXPECT_EQ(app.IgnoreProblem(notACategory), kErrorInvalidParameter);
  auto counts = [&app] {
    const std::array<int, kCategoryCount> ignored = app.IgnoredSinceLoad();
    return std::vector<int>(ignored.begin(), ignored.end());
  };
  std::vector<int> expected(kCategoryCount, 0);
  expected[REGPROBLEM_FONT] = 2;
  expected[REGPROBLEM_STARTUP] = 1;
  EXPECT_EQ(counts(), expected);

  // One font taken off the list on the ignore list page (the older entry stays and never counted).
  std::vector<IGNORE_ROW> rows = IgnoreListRows(app.Exclusions());
  std::erase_if(rows,
                [&](const IGNORE_ROW& row) { return row.identity != ProblemIdentity(fontA); });
  ASSERT_EQ(RemoveIgnoreRows(app.Exclusions(), rows).removed, 1u);
  expected[REGPROBLEM_FONT] = 1;
  EXPECT_EQ(counts(), expected);

  // A new load starts the count again.
  app.LoadExclusionLists();
  EXPECT_EQ(counts(), std::vector<int>(kCategoryCount, 0));
}

}  // namespace
}  // namespace qv
