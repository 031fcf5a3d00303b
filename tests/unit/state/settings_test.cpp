#include "state/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "base/utf16.h"
#include "state/state_texts.h"

namespace qv {
namespace {

using namespace std::string_view_literals;

constexpr wchar_t kKey[] = L"HKLM\\SOFTWARE\\Quarvelo";

std::vector<std::uint8_t> Units(std::u16string_view units) {
  std::vector<std::uint8_t> bytes;
  for (const char16_t u : units) {
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return bytes;
}

TEST(ReadSettingInt, StoredTextsAndTheirNumbers) {
  using Setup = std::function<void(CMemoryRegistry&)>;
  const auto text = [](std::wstring value) {
    return Setup([value](CMemoryRegistry& reg) { reg.SetString(kKey, L"N", value); });
  };
  const auto raw = [](std::uint32_t type, std::vector<std::uint8_t> bytes) {
    return Setup([type, bytes](CMemoryRegistry& reg) { reg.SetValueRaw(kKey, L"N", type, bytes); });
  };
  constexpr int kDefault = -77;
  struct Case {
    const char* what;
    Setup setup;
    int expected;
  };
  const Case cases[] = {
      {"no product key", [](CMemoryRegistry&) {}, kDefault},
      {"no value", [](CMemoryRegistry& reg) { reg.SetString(kKey, L"Other", L"5"); }, kDefault},
      {"plain number", text(L"42"), 42},
      {"zero", text(L"0"), 0},
      {"letters", text(L"abc"), 0},
      {"empty text", text(L""), kDefault},
      {"blank text", text(L" "), 0},
      {"leading digits", text(L"12abc"), 12},
      {"leading blanks and sign", text(L"  -5"), -5},
      {"plus sign", text(L"+8"), 8},
      {"sign alone", text(L"-"), 0},
      {"overflow", text(L"99999999999"), kDefault},
      {"negative overflow", text(L"-99999999999"), kDefault},
      {"largest value", text(L"2147483647"), kDefault},
      {"smallest value", text(L"-2147483648"), kDefault},
      {"one below the largest", text(L"2147483646"), 2147483646},
      {"one above the smallest", text(L"-2147483647"), -2147483647},
      {"200 characters", text(std::wstring(198, L'0') + L"42"), 42},
      {"201 characters", text(std::wstring(199, L'0') + L"42"), kDefault},
      {"text stops at its NUL", raw(kRegSz, Units(u"7\0xyz\0"sv)), 7},
      {"expandable string", raw(kRegExpandSz, Units(u"31\0"sv)), 31},
      {"unterminated string", raw(kRegSz, Units(u"42"sv)), kDefault},
      {"unterminated, buffer full", raw(kRegSz, Units(std::u16string(201, u'1'))), kDefault},
      {"no data at all", raw(kRegSz, {}), kDefault},
      {"REG_DWORD", [](CMemoryRegistry& reg) { reg.SetDword(kKey, L"N", 5); }, kDefault},
      {"binary holding text", raw(kRegBinary, Units(u"9\0"sv)), kDefault},
      {"multi-string", raw(kRegMultiSz, Units(u"9\0\0"sv)), kDefault},
  };
  for (const Case& c : cases) {
    CMemoryRegistry reg;
    c.setup(reg);
    EXPECT_EQ(ReadSettingInt(reg, kHkeyLocalMachine, kProductName, L"N", kDefault), c.expected)
        << c.what;
    EXPECT_EQ(reg.OpenHandleCount(), 0u) << c.what;
  }
}

TEST(ReadSettingInt, ReadsUnderTheGivenRootAndNamesWithoutCase) {
  CMemoryRegistry reg;
  reg.SetString(L"HKCU\\SOFTWARE\\Quarvelo", L"Splash", L"0");
  reg.SetString(kKey, L"AUTOUPDATES", L"0");
  EXPECT_EQ(ReadSettingInt(reg, kHkeyCurrentUser, kProductName, kValueSplash, 1), 0);
  EXPECT_EQ(ReadSettingInt(reg, kHkeyLocalMachine, kProductName, kValueSplash, 1), 1);
  EXPECT_EQ(ReadSettingInt(reg, kHkeyLocalMachine, kProductName, kValueAutoUpdatesAlias, 1), 0);
}

TEST(WriteSettingText, StoresTerminatedStringAndCreatesTheProductKey) {
  CMemoryRegistry reg;
  reg.CreatePath(L"HKLM\\SOFTWARE");
  ASSERT_EQ(WriteSettingText(reg, kProductName, L"Name", L"ab\u00e9"), kErrorSuccess);
  const auto value = reg.GetValueRaw(kKey, L"Name");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, kRegSz);
  EXPECT_EQ(value->data, Units(u"ab\u00e9\0"sv)) << "2 x length + 2 bytes";

  ASSERT_EQ(WriteSettingText(reg, kProductName, L"Empty", std::wstring_view()), kErrorSuccess);
  EXPECT_EQ(reg.GetValueRaw(kKey, L"Empty")->data, Units(std::u16string(1, u'\0')));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(WriteSettingText, NumbersAsDecimalTextThatReadBack) {
  CMemoryRegistry reg;
  reg.CreatePath(L"HKLM\\SOFTWARE");
  const int numbers[] = {0, 7, -17, 2147483646, -2147483647, INT_MAX, INT_MIN};
  const wchar_t* texts[] = {L"0", L"7", L"-17", L"2147483646", L"-2147483647", L"2147483647",
                            L"-2147483648"};
  for (std::size_t i = 0; i < std::size(numbers); ++i) {
    ASSERT_EQ(WriteSettingText(reg, kProductName, L"N", numbers[i]), kErrorSuccess);
    EXPECT_EQ(reg.GetString(kKey, L"N"), std::wstring(texts[i]));
    EXPECT_EQ(reg.GetValueRaw(kKey, L"N")->type, kRegSz);
  }
  ASSERT_EQ(WriteSettingText(reg, kProductName, L"N", 1234), kErrorSuccess);
  EXPECT_EQ(ReadSettingInt(reg, kHkeyLocalMachine, kProductName, L"N", 0), 1234);
}

TEST(WriteSettingText, FailuresAreReturnedAndStoreNothing) {
  CMemoryRegistry reg;
  reg.CreatePath(L"HKLM\\SOFTWARE");
  const wchar_t* noText = nullptr;
  EXPECT_EQ(WriteSettingText(reg, kProductName, L"N", noText), kErrorInvalidData);
  EXPECT_FALSE(reg.KeyExists(kKey));

  reg.DenyAccess(L"HKLM\\SOFTWARE", kKeyCreateSubKey);
  EXPECT_EQ(WriteSettingText(reg, kProductName, L"N", L"1"), kErrorAccessDenied);
  EXPECT_FALSE(reg.KeyExists(kKey));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(ReadLastScanText, MissingEmptyOrNotAStringGivesMinusOne) {
  using Setup = std::function<void(CMemoryRegistry&)>;
  struct Case {
    const char* what;
    Setup setup;
    std::wstring expected;
  };
  const std::wstring longest(1023, L'x');
  const Case cases[] = {
      {"absent", [](CMemoryRegistry&) {}, L"-1"},
      {"empty", [](CMemoryRegistry& reg) { reg.SetString(kKey, L"lastScan", L""); }, L"-1"},
      {"REG_DWORD", [](CMemoryRegistry& reg) { reg.SetDword(kKey, L"lastScan", 1); }, L"-1"},
      {"stored by the scan", [](CMemoryRegistry& reg) {
         reg.SetString(kKey, L"lastScan", L"06-12-2026 18:31:14");
       }, L"06-12-2026 18:31:14"},
      {"1023 characters", [&longest](CMemoryRegistry& reg) {
         reg.SetString(kKey, L"LASTSCAN", longest);
       }, longest},
      {"1024 characters", [&longest](CMemoryRegistry& reg) {
         reg.SetString(kKey, L"LastScan", longest + L"x");
       }, L"-1"},
  };
  for (const Case& c : cases) {
    CMemoryRegistry reg;
    c.setup(reg);
    EXPECT_EQ(ReadLastScanText(reg, kProductName), c.expected) << c.what;
  }
}

TEST(LastScanDisplayText, TwelveHourDisplayOfTheStoredTime) {
  struct Case {
    const wchar_t* stored;
    const wchar_t* shown;
  };
  const Case cases[] = {
      {L"-1", L"Never scanned"},
      {L"", L"Never scanned"},
      {L"01-01-2026 00:05:09", L"Jan 01, 2026 0:05 AM"},
      {L"15-07-2026 12:00:00", L"Jul 15, 2026 12:00 PM"},
      {L"06-12-2026 18:31:14", L"Dec 06, 2026 6:31 PM"},
      {L"28-02-2025 11:59:59", L"Feb 28, 2025 11:59 AM"},
      {L"31-03-2025 23:00:00", L"Mar 31, 2025 11:00 PM"},
      {L"30-04-2025 13:07:00", L"Apr 30, 2025 1:07 PM"},
      {L"01-05-2025 01:00:00", L"May 01, 2025 1:00 AM"},
      {L"1-6-2025 7:8:9", L"Jun 1, 2025 7:8 AM"},
      {L"01-08-2025 09:10", L"Aug 01, 2025 9:10 AM"},
      {L"02-09-2025 10:00:00", L"Sep 02, 2025 10:00 AM"},
      {L"03-10-2025 10:00:00", L"Oct 03, 2025 10:00 AM"},
      {L"04-11-2025 10:00:00", L"Nov 04, 2025 10:00 AM"},
      // Not of the stored form: shown as stored rather than read out of range.
      {L"06-13-2026 18:31:14", L"06-13-2026 18:31:14"},
      {L"06-00-2026 18:31:14", L"06-00-2026 18:31:14"},
      {L"06-12-2026 24:00:00", L"06-12-2026 24:00:00"},
      {L"06-12-2026", L"06-12-2026"},
      {L"06-12 18:31:14", L"06-12 18:31:14"},
      {L"06-12-2026 18", L"06-12-2026 18"},
      {L"garbage", L"garbage"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatLastScanDisplay(c.stored), c.shown) << c.stored;
  }
}

TEST(LastScanDisplayText, ReadsTheProductKey) {
  CMemoryRegistry reg;
  EXPECT_EQ(LastScanDisplayText(reg, kProductName), L"Never scanned");
  reg.SetString(kKey, L"lastScan", L"01-01-2026 00:05:09");
  EXPECT_EQ(LastScanDisplayText(reg, kProductName), L"Jan 01, 2026 0:05 AM");
  reg.SetString(kKey, L"lastScan", L"-1");
  EXPECT_EQ(LastScanDisplayText(reg, kProductName), L"Never scanned");
}

TEST(ProductKey, PathTextAndOpeningCreatesIt) {
  EXPECT_EQ(ProductKeyPath(kProductName), L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo");
  CMemoryRegistry reg;
  {
    CRegKey key;
    ASSERT_EQ(OpenProductKey(reg, kProductName, &key), kErrorSuccess);
    ASSERT_TRUE(key.valid());
    CRegKey blocked(reg);
    ASSERT_EQ(blocked.Create(key.get(), L"blocked", kKeyReadWriteCreate), kErrorSuccess);
    ASSERT_EQ(key.SetString(L"x", L"1"), kErrorSuccess) << "opened with set-value access";
  }
  EXPECT_TRUE(reg.KeyExists(L"HKLM\\SOFTWARE\\Quarvelo\\blocked"));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(ProductVersionText, FourNumbersOfTheRunningProgramsVersion) {
  CMemoryShell shell;
  EXPECT_EQ(ProductVersionText(shell), L"") << "no version resource";
  shell.SetFileVersion(L"C:\\Other.exe", CFileVersion{{9, 9, 9, 9}});
  EXPECT_EQ(ProductVersionText(shell), L"");
  shell.SetFileVersion(shell.ModuleFileName(), CFileVersion{{1, 0, 0, 1}});
  EXPECT_EQ(ProductVersionText(shell), L"1.0.0.1");
  shell.SetModuleFileName(L"D:\\Q\\q.exe");
  shell.SetFileVersion(L"d:\\q\\Q.EXE", CFileVersion{{65535, 0, 12, 400}});
  EXPECT_EQ(ProductVersionText(shell), L"65535.0.12.400");
}

}  // namespace
}  // namespace qv
