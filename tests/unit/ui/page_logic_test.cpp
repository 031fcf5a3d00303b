// The texts the pages show, on their edges: abbreviation at 75 characters, wrapping display keys,
// the row templates of each category, the health and verdict states, the updater's command line,
// what "Fix Errors" does, and what a repair says where.
#include "ui/page_logic.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/category_table.h"
#include "base/utf16.h"
#include "engine/categories.h"
#include "ui/repair_notices.h"

namespace qv::ui {
namespace {

TEST(PageLogic, EntryPathsAreAbbreviatedAndCutAroundTheMiddle) {
  EXPECT_EQ(AbbreviateEntryPath(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\HKEY_USERS"), L"HKLM\\SOFTWARE\\HKU");
  const std::wstring exact = L"HKCU\\" + std::wstring(70, L'a');  // 75 characters: whole
  EXPECT_EQ(AbbreviateEntryPath(exact), exact);
  const std::wstring longer = L"HKEY_CURRENT_USER\\" + std::wstring(35, L'b') + std::wstring(36, L'c');
  const std::wstring shown = AbbreviateEntryPath(longer);  // 76 after abbreviation
  ASSERT_EQ(shown.size(), 75u);
  EXPECT_EQ(shown, L"HKCU\\" + std::wstring(31, L'b') + L"..." + std::wstring(36, L'c'));
}

TEST(PageLogic, ProblemRowsUseTheirCategoryTemplate) {
  CRegistryProblem uninstall(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Uninstall", L"App", L"C:\\u.exe",
                             REGPROBLEM_UNINSTALL);
  EXPECT_EQ(BuildProblemRowText(uninstall),
            L"<font color=#ff0000><b>The file referenced (C:\\u.exe) doesn't exist.</b></font><br>"
            L"<b>Key: </b> HKEY_LOCAL_MACHINE/SOFTWARE/Uninstall<br>App=C:\\u.exe");
  CRegistryProblem empty(L"HKEY_USERS\\S\\Software\\Empty", L"@", L"", REGPROBLEM_EMPTY_KEY);
  EXPECT_EQ(BuildProblemRowText(empty),
            L"<font color=#ff0000><b>The registry key contains no data.</b></font><br><b>Key: "
            L"</b>:HKEY_USERS/S/Software/Empty");
  CRegistryProblem shared(L"HKLM\\SharedDLLs", L"C:\\gone.dll", L"", REGPROBLEM_SHARED_DLL);
  EXPECT_NE(BuildProblemRowText(shared).find(L"  Value: C:\\gone.dll"), std::wstring::npos);
  // "@" and the empty name are the default value; additional items get their line.
  CRegistryProblem font(L"HKLM\\Fonts", L"", L"x.ttf", REGPROBLEM_FONT, 3);
  const std::wstring row = BuildProblemRowText(font);
  EXPECT_NE(row.find(L"(Default)=x.ttf"), std::wstring::npos);
  EXPECT_NE(row.find(L"( 3 additional items found under this key)"), std::wstring::npos);
  // A class outside the CLSID and AppID keys shows its data up to the first comma.
  CRegistryProblem progId(L"HKEY_CLASSES_ROOT\\Some.ProgId\\CLSID", L"", L"{X},extra",
                          REGPROBLEM_COM);
  EXPECT_NE(BuildProblemRowText(progId).find(L"(Default)={X}"), std::wstring::npos);
  CRegistryProblem clsid(L"HKEY_CLASSES_ROOT\\CLSID\\{A}", L"AppID", L"{X},extra", REGPROBLEM_COM);
  EXPECT_NE(BuildProblemRowText(clsid).find(L"AppID={X},extra"), std::wstring::npos);
}

// The evidence is a further line after the template, before the additional items; the uninstall
// template names its file already and gets none.
TEST(PageLogic, ProblemRowsEndWithTheirEvidence) {
  const PROBLEM_EVIDENCE missing{EVIDENCE_MISSING_FOLDER, L"C:\\P\\Gone\\x.ini", L"C:\\P\\Gone"};
  const std::wstring line = L"<br>Missing folder: C:\\P\\Gone (for C:\\P\\Gone\\x.ini)";
  CRegistryProblem file(L"HKLM\\S", L"v", L"C:\\P\\Gone\\x.ini", REGPROBLEM_FILE_PATH, 2);
  file.evidence = missing;
  EXPECT_EQ(BuildProblemRowText(file),
            L"<font color=#ff0000><b>The file referenced doesn't exist.</b></font><br>Key: HKLM/S"
            L"<br>v=C:\\P\\Gone\\x.ini" + line +
            L"<br><font color=\"#A52A2A\"><b>( 2 additional items found under this key)</b>"
            L"</font><br>");
  CRegistryProblem empty(L"HKEY_USERS\\S\\E", L"", L"", REGPROBLEM_EMPTY_KEY);
  empty.evidence.kind = EVIDENCE_EMPTY_KEY;  // as the check makes it: the key is named once
  EXPECT_EQ(BuildProblemRowText(empty),
            L"<font color=#ff0000><b>The registry key contains no data.</b></font><br><b>Key: "
            L"</b>:HKEY_USERS/S/E<br>No subkeys and no values: HKEY_USERS\\S\\E");
  CRegistryProblem uninstall(L"HKLM\\U", L"App", L"C:\\P\\Gone\\x.ini", REGPROBLEM_UNINSTALL);
  uninstall.evidence = missing;
  EXPECT_EQ(BuildProblemRowText(uninstall).find(line), std::wstring::npos);
}

// Registry text cannot add markup to its row: every field that comes from the registry or the
// disk is escaped, so its tags show as text and no row can be hidden or faked.
TEST(PageLogic, RegistryTextInARowIsEscaped) {
  const std::wstring tag = L"</font><font color=#ffffff>&";
  const std::wstring shown = L"&lt;/font&gt;&lt;font color=#ffffff&gt;&amp;";
  struct CASE {
    const char* field;
    CRegistryProblem problem;
  } cases[] = {
      {"key", {L"HKLM\\S" + tag, L"v", L"C:\\x", REGPROBLEM_FILE_PATH}},
      {"name", {L"HKLM\\S", L"v" + tag, L"C:\\x", REGPROBLEM_STARTUP}},
      {"data", {L"HKLM\\S", L"v", L"C:\\x" + tag, REGPROBLEM_UNINSTALL}},
      {"COM data", {L"HKEY_CLASSES_ROOT\\CLSID\\{A}", L"AppID", L"{X}" + tag, REGPROBLEM_COM}},
      {"shared DLL", {L"HKLM\\SharedDLLs", L"C:\\x" + tag, L"", REGPROBLEM_SHARED_DLL}},
      {"empty key", {L"HKEY_USERS\\S\\E" + tag, L"", L"", REGPROBLEM_EMPTY_KEY}},
  };
  for (CASE& c : cases) {
    SCOPED_TRACE(c.field);
    const std::wstring row = BuildProblemRowText(c.problem);
    EXPECT_NE(row.find(shown), std::wstring::npos) << ToUtf8(row);
    EXPECT_EQ(row.find(tag), std::wstring::npos) << ToUtf8(row);
  }
  CRegistryProblem evidence(L"HKLM\\S", L"v", L"C:\\x", REGPROBLEM_FILE_PATH);
  evidence.evidence = {EVIDENCE_MISSING_FILE, L"C:\\x" + tag, L""};
  EXPECT_NE(BuildProblemRowText(evidence).find(L"<br>Missing file: C:\\x" + shown),
            std::wstring::npos)
      << ToUtf8(BuildProblemRowText(evidence));
}

TEST(PageLogic, LongKeysGetABlankWhereTheyCrossEachSeventyCharacters) {
  const std::wstring part(30, L'k');
  const std::wstring key = part + L"\\" + part + L"\\" + part + L"\\" + part + L"\\" + part;
  const std::wstring shown = DisplayKeyPath(key);
  // Built on "#/#": 34, 65, then 96 > 70 puts a blank before the fourth part (mark 140); 128 is
  // below it, so the fifth follows without one.
  EXPECT_EQ(shown, part + L"/" + part + L"/" + part + L" /" + part + L"/" + part);
}

// The options page says "Good" only when nothing found is left unrepaired; the statistics page
// says every error is fixed only when every entry the repair was to repair is gone and it removed
// something, and otherwise how many of them are fixed and how many could not be.
TEST(PageLogic, HealthAndVerdictTellWhatReallyHappened) {
  const std::wstring_view scanned = L"Dec 08, 2026 9:00 AM";
  const struct {
    std::int64_t errors, fixed;
    std::wstring_view word;
    bool repairLink;
  } health[] = {
      {5, 0, L"Bad", true},  {5, 3, L"Bad", true},   {5, 5, L"Good", false},
      {6, 7, L"Good", false}, {0, 0, L"Good", false},
  };
  EXPECT_EQ(SummarizeHealth(L"never SCANNED", 5, 3).word, L"Normal");
  for (const auto& c : health) {
    SCOPED_TRACE(testing::Message() << c.errors << " found, " << c.fixed << " fixed");
    const HEALTH_SUMMARY summary = SummarizeHealth(scanned, c.errors, c.fixed);
    EXPECT_EQ(summary.word, c.word);
    EXPECT_EQ(summary.repairLink, c.repairLink);
  }
  EXPECT_EQ(SummarizeHealth(scanned, 5, 5).advice, L"All identified registry error(s) are fixed.");
  EXPECT_EQ(SummarizeHealth(scanned, 0, 0).advice, L"No registry error(s) found.");

  EXPECT_FALSE(StatisticsVerdict(L"Never scanned", 4, 0).fixButton);
  const struct {
    std::int64_t found, cleaned, ignored, notFixed;
    bool changed;
    std::wstring_view text;
    VERDICT_PICTURE picture;
  } verdicts[] = {
      {54, 54, 0, 0, true, L"All identified registry error(s) are fixed.", VERDICT_PICTURE::kGood},
      {55, 53, 1, 1, true,
       L"53 of 54 selected registry error(s) are fixed; 1 could not be fixed. The activity log "
       L"says why.",
       VERDICT_PICTURE::kBad},
      {4, 0, 0, 4, false,
       L"0 of 4 selected registry error(s) are fixed; 4 could not be fixed. The activity log says "
       L"why.",
       VERDICT_PICTURE::kBad},
      {3, 3, 0, 0, false, L"Nothing was removed: the selected registry error(s) were gone already.",
       VERDICT_PICTURE::kGood},
      {30, 26, 1, 0, true,
       L"26 of 29 registry error(s) found are fixed; 3 not selected are still there.",
       VERDICT_PICTURE::kBad},
      {0, 0, 0, 0, false, L"No registry error(s) found.", VERDICT_PICTURE::kGood},
      {4, 0, 0, 0, false, L"Attention! 4 Error(s) found on your PC", VERDICT_PICTURE::kBad},
  };
  for (const auto& c : verdicts) {
    SCOPED_TRACE(ToUtf8(c.text));
    const STATISTICS_VERDICT verdict =
        StatisticsVerdict(L"x", c.found, c.cleaned, c.ignored, c.notFixed, c.changed);
    EXPECT_EQ(verdict.text, c.text);
    EXPECT_EQ(verdict.picture, c.picture);
    EXPECT_TRUE(verdict.fixButton);
  }
}

TEST(PageLogic, ProgressTotalAndUpdaterCommandLine) {
  CATEGORY_TABLE table = BuildDefaultCategoryTable();
  EXPECT_EQ(ScanProgressTotal(table), 25);
  for (CATEGORY_SETTINGS& record : table) record.enabled = 0;
  table[REGPROBLEM_FONT].enabled = 1;
  EXPECT_EQ(ScanProgressTotal(table), 1);

  const std::wstring line =
      L"\"C:\\P\\QuarveloUpdater.exe\" https://update.quarvelo.example/up3/update12.php,1.0.0.1,"
      L"C:\\P\\Quarvelo.exe#10,20,770,-560";
  for (const auto& [origin, tail] : {std::pair{UPDATER_ORIGIN::kMainWindow, L"#h"},
                                     std::pair{UPDATER_ORIGIN::kSettingsPage, L"#v"}}) {
    EXPECT_EQ(UpdaterCommandLine(L"C:\\P\\QuarveloUpdater.exe", L"C:\\P\\Quarvelo.exe", L"1.0.0.1",
                                 10, 20, 770, -560, origin),
              line + tail);
  }
}

TEST(PageLogic, FixErrorsRepairsOnlyWhenSomethingIsTicked) {
  CProblemList problems;
  EXPECT_EQ(DecideFix(nullptr), FIX_DECISION::kNothing);
  EXPECT_EQ(DecideFix(&problems), FIX_DECISION::kNothing);
  CRegistryProblem* first = problems.Add(
      std::make_unique<CRegistryProblem>(L"HKLM\\A", L"a", L"", REGPROBLEM_FONT));
  CRegistryProblem* second = problems.Add(
      std::make_unique<CRegistryProblem>(L"HKLM\\B", L"b", L"", REGPROBLEM_FONT));
  first->selected = false;
  second->selected = false;
  EXPECT_EQ(DecideFix(&problems), FIX_DECISION::kNothingSelected);
  second->selected = true;
  EXPECT_EQ(DecideFix(&problems), FIX_DECISION::kRepair);
}

class CRecordingLog final : public IActivityLog {
 public:
  ErrorCode WriteLog(std::wstring_view message) override {
    lines.emplace_back(message);
    return kErrorSuccess;
  }
  std::vector<std::wstring> lines;
};

// The same outcomes told by the user's repair (boxes) and by one that started by itself (the log
// and the kept lines, never a box).
TEST(RepairNotices, TheUsersRepairShowsBoxesAndAnUnattendedOneOnlyLogs) {
  const std::wstring restore(kRestorePointOffMessage.english);
  const std::wstring twoFailed =
      L"2 of the selected entries could not be fixed; they are kept off the next scans. The "
      L"activity log names each one and why.";
  const std::wstring noBackup =
      L"No registry backup file could be created, so no registry entry was removed.";
  REPAIR_OUTCOME failed;
  failed.completed = true;
  // One failed, one repaired yet still there when looked at again: two not fixed.
  failed.failed.resize(1);
  failed.fixed.resize(1);
  failed.stillPresent.resize(1);
  REPAIR_OUTCOME withoutBackup = failed;
  withoutBackup.registryBackupError = 5;
  REPAIR_OUTCOME early;
  early.abortMessage = L"out of memory";
  REPAIR_OUTCOME clean;
  clean.completed = true;
  const struct {
    STARTED_BY start;
    bool restorePointFailed;
    const REPAIR_OUTCOME& outcome;
    bool box;                          // the restore point's box is shown now
    std::vector<std::wstring> shown;   // boxes after the end
    std::vector<std::wstring> logged;  // log lines, also kept for the statistics page
  } cases[] = {
      {STARTED_BY::kUser, true, failed, true, {twoFailed}, {}},
      {STARTED_BY::kItself, true, failed, false, {}, {restore, twoFailed}},
      {STARTED_BY::kUser, false, withoutBackup, false, {noBackup}, {}},
      {STARTED_BY::kItself, false, withoutBackup, false, {}, {noBackup}},
      {STARTED_BY::kItself, true, early, false, {},
       {restore, L"The repair ended before it completed: out of memory"}},
      {STARTED_BY::kItself, false, clean, false, {}, {}},
  };
  for (const auto& c : cases) {
    CRecordingLog log;
    CRepairNotices notices(log, c.start);
    EXPECT_EQ(c.restorePointFailed && notices.OnRestorePointFailed(), c.box);
    EXPECT_EQ(notices.OnRepairEnded(c.outcome), c.shown);
    EXPECT_EQ(log.lines, c.logged);
    EXPECT_EQ(notices.Kept(), c.logged);
  }
}

}  // namespace
}  // namespace qv::ui
