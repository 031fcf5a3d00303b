// The console scan on the in-memory platform: what it collects, what it records under the
// product key, the default selection, and the exact text and JSON reports.
#include "cli/report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "engine/scan_driver.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/engine_fixture.h"
#include "base/utf16.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {
namespace {

class ConsoleScanTest : public ::testing::Test {
 protected:
  ConsoleScanTest() : engine(CreateScanEngine(memory.platform(), nullptr, nullptr)) {}

  // Stand-in checks: category c examines c + 1 entries, categories 1 and 4 find problems, 8 has
  // no check.
  static bool StandIn(CRegistryCleaner& e, int index) {
    for (int i = 0; i <= index; ++i) e.ReportEntryExamined(L"entry");
    if (index == REGPROBLEM_UNINSTALL) {
      Add(e, L"HKEY_LOCAL_MACHINE\\Uninstall", L"Gone \u0422", L"C:\\gone\\u.exe", index,
          {EVIDENCE_MISSING_FOLDER, L"C:\\gone\\u.exe", L"C:\\gone"});
    }
    if (index == REGPROBLEM_APP_PATH) {
      Add(e, L"HKEY_LOCAL_MACHINE\\App Paths", L"a.exe", L"C:\\a \"quoted\".exe", index);
      Add(e, L"HKEY_LOCAL_MACHINE\\App Paths", L"b.exe", L"", index);
    }
    return index != REGPROBLEM_SHORTCUT;
  }
  static void Add(CRegistryCleaner& e, const wchar_t* key, const wchar_t* name, const wchar_t* data,
                  int type, PROBLEM_EVIDENCE evidence = {}) {
    auto problem =
        std::make_unique<CRegistryProblem>(key, name, data, static_cast<REGPROBLEM_TYPE>(type));
    problem->evidence = std::move(evidence);
    static_cast<void>(e.AddProblem(std::move(problem)));
  }

  static CATEGORY_SELECTION Select(std::initializer_list<int> indices) {
    CATEGORY_SELECTION selection{};
    for (int i : indices) selection[static_cast<std::size_t>(i)] = true;
    return selection;
  }

  std::wstring Stored(const std::wstring& name) {
    std::wstring text;
    if (ReadSettingString(memory.registry(), kHkeyLocalMachine, kProductName, name, 200, &text) !=
        kErrorSuccess) {
      return L"<missing>";
    }
    return text;
  }

  CMemoryPlatform memory;
  std::shared_ptr<CRegistryCleaner> engine;
};

TEST_F(ConsoleScanTest, CollectsTheScanAndRecordsItAsThePageDoes) {
  ASSERT_EQ(WriteSettingText(memory.registry(), kProductName, L"FFonts", 7), kErrorSuccess);
  ASSERT_EQ(WriteSettingText(memory.registry(), kProductName, L"FProgram Paths", 3), kErrorSuccess);
  ASSERT_EQ(WriteSettingText(memory.registry(), kProductName, L"EFonts", 99), kErrorSuccess);
  ASSERT_EQ(WriteSettingText(memory.registry(), kProductName, L"Fonts", 0), kErrorSuccess);

  std::vector<std::pair<int, std::uint64_t>> progress;
  const SCAN_RESULT result = RunScan(
      *engine, Select({1, 4, 8}),
      [&progress](int category, std::uint64_t items) { progress.emplace_back(category, items); },
      &StandIn);

  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.scanned, Select({1, 4, 8}));
  EXPECT_EQ(result.checked, Select({1, 4}));
  EXPECT_EQ(result.itemsScanned, 2u + 5u + 9u);
  ASSERT_EQ(result.problems.size(), 3u);
  EXPECT_EQ(result.problems[0].name, L"Gone \u0422");
  EXPECT_EQ(result.problems[1].name, L"a.exe");
  EXPECT_EQ(result.problems[2].name, L"b.exe");
  EXPECT_EQ(result.found[1], 1);
  EXPECT_EQ(result.found[4], 2);
  // A progress call when each category starts (the fake clock stands still, so no others).
  EXPECT_EQ(progress, (std::vector<std::pair<int, std::uint64_t>>{{1, 0}, {4, 2}, {8, 7}}));
  EXPECT_TRUE(memory.clock().Sleeps().empty()) << "the console scan runs without pacing";

  ASSERT_EQ(RecordScan(memory.registry(), result), kErrorSuccess);
  EXPECT_EQ(Stored(L"itscanned"), L"16");
  EXPECT_EQ(Stored(L"EUninstalled Files"), L"1");
  EXPECT_EQ(Stored(L"EProgram Paths"), L"2");
  EXPECT_EQ(Stored(L"EFonts"), L"0");  // every category's count is rewritten
  // The repaired counts start again from 0, scanned or not, as after a scan from the window.
  for (int i = 0; i < kCategoryCount; ++i) {
    EXPECT_EQ(Stored(L"F" + std::wstring(CategoryDisplayName(i))), L"0") << i;
  }
  EXPECT_EQ(Stored(L"Fonts"), L"0");  // the enabled switches stay
  EXPECT_EQ(Stored(L"lastScan").size(), 19u);
}

TEST_F(ConsoleScanTest, AnEmptyKeysEvidenceNamesItsKey) {
  // The empty-key check keeps the key once, in the problem; the result names it as the tested key.
  const SCAN_RESULT result = RunScan(*engine, Select({REGPROBLEM_EMPTY_KEY}), nullptr,
                                     [](CRegistryCleaner& e, int index) {
                                       Add(e, L"HKEY_USERS\\S\\Software\\Empty", L"(Default)",
                                           L"", index, {EVIDENCE_EMPTY_KEY, L"", L""});
                                       return true;
                                     });
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].evidence,
            (PROBLEM_EVIDENCE{EVIDENCE_EMPTY_KEY, L"HKEY_USERS\\S\\Software\\Empty", L""}));
}

TEST_F(ConsoleScanTest, CancelledScanSaysSo) {
  const SCAN_RESULT result =
      RunScan(*engine, Select({0, 1, 2}), {}, [](CRegistryCleaner& e, int index) {
        if (index == 1) e.SetCancel(1);
        return true;
      });
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(result.scanned, Select({0, 1}));
  EXPECT_NE(FormatTextReport(result).find(L"Scan stopped before it completed."),
            std::wstring::npos);
}

TEST(ConsoleScanAccess, OnlyAProcessThatMayOpenTheMachineKeysAsTheChecksDoScans) {
  const std::wstring probeKey = L"HKLM\\" + std::wstring(kScanAccessProbeKey);
  struct CASE {
    const char* what;
    const wchar_t* deniedKey;  // null: nothing denied
    std::uint32_t deniedMask;
    bool keyMissing;
    ErrorCode expected;
  };
  const CASE cases[] = {
      {"an administrator", nullptr, 0, false, kErrorSuccess},
      // An ordinary user may read the machine's keys but not write them.
      {"an ordinary user", probeKey.c_str(), kKeyAllAccess & ~kKeyRead, false, kErrorAccessDenied},
      {"no set-value access", probeKey.c_str(), kKeySetValue, false, kErrorAccessDenied},
      {"no create-subkey access", probeKey.c_str(), kKeyCreateSubKey, false, kErrorAccessDenied},
      {"only writing refused elsewhere", L"HKLM\\SOFTWARE\\Quarvelo", kKeyAllAccess & ~kKeyRead,
       false, kErrorSuccess},
      {"the key missing", nullptr, 0, true, kErrorFileNotFound},
  };
  for (const CASE& c : cases) {
    CMemoryPlatform memory;
    if (!c.keyMissing) memory.registry().CreatePath(probeKey);
    memory.registry().CreatePath(L"HKLM\\SOFTWARE\\Quarvelo");
    if (c.deniedKey != nullptr) memory.registry().DenyAccess(c.deniedKey, c.deniedMask);
    EXPECT_EQ(ProbeScanAccess(memory.registry()), c.expected) << c.what;
  }
}

TEST_F(ConsoleScanTest, DefaultSelectionIsWhatTheProductKeyEnables) {
  EXPECT_EQ(EnabledCategories(memory.registry()), Select({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  ASSERT_EQ(WriteSettingText(memory.registry(), kProductName, L"ActiveX/COM Objects", 0),
            kErrorSuccess);
  ASSERT_EQ(WriteSettingText(memory.registry(), kProductName, L"Empty Registry Keys", L"no"),
            kErrorSuccess);  // text that is not a number reads as 0
  EXPECT_EQ(EnabledCategories(memory.registry()), Select({1, 2, 3, 4, 5, 6, 7, 8, 10}));
}

TEST_F(ConsoleScanTest, TextReport) {
  const SCAN_RESULT result = RunScan(*engine, Select({1, 4, 5, 8}), {}, &StandIn);
  EXPECT_EQ(FormatTextReport(result),
            L"Uninstalled Files (risk: MEDIUM): 1 problem\n"
            L"  1. key:  HKEY_LOCAL_MACHINE\\Uninstall\n"
            L"     name: Gone \u0422\n"
            L"     data: C:\\gone\\u.exe\n"
            L"     evidence: Missing folder: C:\\gone (for C:\\gone\\u.exe)\n"
            L"Help Files (risk: LOW): no problems\n"
            L"Program Paths (risk: MEDIUM): 2 problems\n"
            L"  1. key:  HKEY_LOCAL_MACHINE\\App Paths\n"
            L"     name: a.exe\n"
            L"     data: C:\\a \"quoted\".exe\n"
            L"  2. key:  HKEY_LOCAL_MACHINE\\App Paths\n"
            L"     name: b.exe\n"
            L"     data: \n"
            L"Windows Shortcuts (risk: LOW): not checked (no check for this category in this "
            L"version)\n"
            L"\n"
            L"Problems found:     3\n"
            L"Categories scanned: 4 of 11\n"
            L"Items examined:     22\n");
}

// Entries not judged for their drive are listed with why, and counted; what the scan had to
// tell is logged after its header and handed to the front end.
TEST_F(ConsoleScanTest, PassedOverEntriesAndNoticesAreReported) {
  test::CRecordingLog log;
  const std::shared_ptr<CRegistryCleaner> logged = CreateScanEngine(memory.platform(), nullptr, &log);
  logged->Prepare(Select({7}));
  logged->SetScanNotices({L"The rows built into the program apply."});
  SCAN_RESULT result = RunScan(*logged, Select({7}), {}, [](CRegistryCleaner&, int) { return true; });
  EXPECT_EQ(result.notices, logged->ScanNotices());
  ASSERT_GE(log.entries.size(), 4u);
  EXPECT_EQ(log.entries[3], L"The rows built into the program apply.");

  result.passedOver.push_back({REGPROBLEM_FILE_PATH, L"HKEY_CURRENT_USER\\Software\\Tool", L"Last",
                               L"D:\\x.rar", {EVIDENCE_DRIVE_ABSENT, L"D:\\x.rar", L"D:"}});
  EXPECT_EQ(FormatTextReport(result),
            L"File/Path References (risk: MEDIUM): no problems\n"
            L"\n"
            L"Not judged (paths on drives that are not there now, or removable, CD or DVD, or "
            L"network drives):\n"
            L"  HKEY_CURRENT_USER\\Software\\Tool\\Last: Not judged: drive D: is not there now "
            L"(D:\\x.rar)\n"
            L"\n"
            L"Problems found:     0\n"
            L"Not judged:         1\n"
            L"Categories scanned: 1 of 11\n"
            L"Items examined:     0\n");
}

TEST_F(ConsoleScanTest, JsonReport) {
  SCAN_RESULT result = RunScan(*engine, Select({4, 1}), {}, &StandIn);
  // A lone surrogate cannot be UTF-8: it becomes U+FFFD instead of breaking the report.
  std::wstring lone = L"x";
  lone += static_cast<wchar_t>(0xD800);
  result.problems.push_back({REGPROBLEM_APP_PATH, lone, L"n", L"d", {}});
  result.passedOver.push_back({REGPROBLEM_FILE_PATH, L"HKEY_CURRENT_USER\\Software\\Tool", L"Last",
                               L"D:\\x.rar", {EVIDENCE_DRIVE_ABSENT, L"D:\\x.rar", L"D:"}});
  result.notices.push_back(L"A notice");

  const std::string text = FormatJsonReport(result);
  const nlohmann::json parsed = nlohmann::json::parse(text);
  const nlohmann::json expected = nlohmann::json::parse(ToUtf8(
      L"{\"completed\": true, \"itemsScanned\": 7,"
      L" \"categories\": ["
      L"  {\"index\": 1, \"name\": \"Uninstalled Files\", \"risk\": \"MEDIUM\", \"found\": 1,"
      L"   \"checked\": true},"
      L"  {\"index\": 4, \"name\": \"Program Paths\", \"risk\": \"MEDIUM\", \"found\": 2,"
      L"   \"checked\": true}],"
      L" \"problems\": ["
      L"  {\"category\": 1, \"key\": \"HKEY_LOCAL_MACHINE\\\\Uninstall\", \"name\": \"Gone "
      L"\u0422\","
      L"   \"data\": \"C:\\\\gone\\\\u.exe\", \"evidence\": {\"kind\": \"missingFolder\","
      L"   \"tested\": \"C:\\\\gone\\\\u.exe\", \"folder\": \"C:\\\\gone\","
      L"   \"text\": \"Missing folder: C:\\\\gone (for C:\\\\gone\\\\u.exe)\"}},"
      L"  {\"category\": 4, \"key\": \"HKEY_LOCAL_MACHINE\\\\App Paths\", \"name\": \"a.exe\","
      L"   \"data\": \"C:\\\\a \\\"quoted\\\".exe\", \"evidence\": null},"
      L"  {\"category\": 4, \"key\": \"HKEY_LOCAL_MACHINE\\\\App Paths\", \"name\": \"b.exe\","
      L"   \"data\": \"\", \"evidence\": null},"
      L"  {\"category\": 4, \"key\": \"x\uFFFD\", \"name\": \"n\", \"data\": \"d\","
      L"   \"evidence\": null}],"
      L" \"passedOver\": [{\"category\": 7, \"key\": \"HKEY_CURRENT_USER\\\\Software\\\\Tool\","
      L"   \"name\": \"Last\", \"data\": \"D:\\\\x.rar\", \"evidence\": {\"kind\": \"driveAbsent\","
      L"   \"tested\": \"D:\\\\x.rar\", \"folder\": \"D:\","
      L"   \"text\": \"Not judged: drive D: is not there now (D:\\\\x.rar)\"}}],"
      L" \"notices\": [\"A notice\"]}"));
  EXPECT_EQ(parsed, expected) << text;
  // Keys in the documented order, the text UTF-8 and not escaped.
  EXPECT_EQ(text.find("\"completed\""), 4u);
  EXPECT_LT(text.find("\"itemsScanned\""), text.find("\"categories\""));
  EXPECT_LT(text.find("\"categories\""), text.find("\"problems\""));
  EXPECT_NE(text.find("Gone \xD0\xA2"), std::string::npos);
}

TEST(ConsoleScanRisk, LabelsFollowTheSeverity) {
  const char* expected[kCategoryCount] = {"HIGH", "MEDIUM", "LOW", "HIGH", "MEDIUM", "LOW",
                                          "HIGH", "MEDIUM", "LOW", "LOW",  "MEDIUM"};
  for (int i = 0; i < kCategoryCount; ++i) {
    EXPECT_EQ(ToUtf8(CategoryRiskLabel(i)), expected[i]) << i;
  }
}

}  // namespace
}  // namespace qv
