// The settings store, the activity log and the text writer on the real Win32 API of a throwaway
// Wine prefix: the real registry under HKEY_LOCAL_MACHINE, real files in the common application
// data folder, the real code page and the program's own version resource.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16.h"
#include "platform/win32/win32_platform.h"
#include "state/activity_log.h"
#include "app/category_table.h"
#include "state/data_folder.h"
#include "state/settings.h"
#include "state/state_texts.h"
#include "state/text_file.h"

namespace qv {
namespace {

constexpr wchar_t kProductSubkey[] = L"SOFTWARE\\Quarvelo";

std::wstring CommonAppData() {
  wchar_t buffer[MAX_PATH] = {};
  EXPECT_EQ(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, buffer), S_OK);
  return buffer;
}

// Every test starts without log files, so one test's file never holds another's lines.
void RemoveLogFiles() {
  const std::wstring folder = CommonAppData() + L"\\Quarvelo\\LOGS\\";
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((folder + L"*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    ::DeleteFileW((folder + found.cFileName).c_str());
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

class StateOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductSubkey);
    RemoveLogFiles();
  }
  void TearDown() override { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductSubkey); }

  // Stores raw data under the product key with the Win32 call itself.
  static void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductSubkey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
  }
  static void SetText(const wchar_t* name, const std::wstring& text) {
    SetRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }

  CWin32Platform m_machine;
};

TEST_F(StateOnWine, ProgramVersionComesFromItsVersionResource) {
  EXPECT_EQ(ProductVersionText(m_machine.shell()), L"1.0.0.1");
  // The string table carries the same version and the product's name.
  const std::wstring module = m_machine.shell().ModuleFileName();
  DWORD ignored = 0;
  std::vector<BYTE> block(::GetFileVersionInfoSizeW(module.c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(::GetFileVersionInfoW(module.c_str(), 0, static_cast<DWORD>(block.size()),
                                    block.data()));
  const auto text = [&block](const wchar_t* name) {
    void* value = nullptr;
    UINT chars = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!::VerQueryValueW(block.data(), query.c_str(), &value, &chars) || value == nullptr) {
      return std::wstring(L"<none>");
    }
    return std::wstring(static_cast<const wchar_t*>(value));
  };
  EXPECT_EQ(text(L"FileVersion"), L"1.0.0.1");
  EXPECT_EQ(text(L"ProductVersion"), L"1.0.0.1");
  EXPECT_EQ(text(L"ProductName"), L"Quarvelo");
  EXPECT_EQ(text(L"OriginalFilename"), L"qv_wine_state.exe");
}

TEST_F(StateOnWine, ReadSettingIntOnTheRealRegistry) {
  constexpr int kDefault = -77;
  const DWORD dword = 5;
  const wchar_t unterminated[] = {L'4', L'2'};
  SetText(L"letters", L"abc");
  SetText(L"empty", L"");
  SetRaw(L"dword", REG_DWORD, &dword, sizeof dword);
  SetText(L"overflow", L"99999999999");
  SetText(L"largest", L"2147483647");
  SetText(L"smallest", L"-2147483648");
  SetText(L"leading", L"12abc");
  SetText(L"plain", L"31");
  SetRaw(L"expand", REG_EXPAND_SZ, L"8", 4);
  SetRaw(L"unterminated", REG_SZ, unterminated, sizeof unterminated);
  SetText(L"long", std::wstring(199, L'0') + L"42");
  const std::map<std::wstring, int> expected = {
      {L"letters", 0},       {L"empty", kDefault},    {L"dword", kDefault},
      {L"overflow", kDefault}, {L"largest", kDefault}, {L"smallest", kDefault},
      {L"leading", 12},      {L"plain", 31},          {L"expand", 8},
      {L"unterminated", kDefault}, {L"long", kDefault}, {L"missing", kDefault},
  };
  for (const auto& [name, value] : expected) {
    EXPECT_EQ(ReadSettingInt(m_machine.registry(), kHkeyLocalMachine, kProductName, name, kDefault),
              value)
        << ToUtf8(name);
  }
}

TEST_F(StateOnWine, WrittenSettingsAreTerminatedStrings) {
  ASSERT_EQ(WriteSettingText(m_machine.registry(), kProductName, kValueCloseAfter, 1),
            kErrorSuccess);
  ASSERT_EQ(WriteSettingText(m_machine.registry(), kProductName, L"Text", L"ab\u00e9"),
            kErrorSuccess);
  DWORD type = 0;
  BYTE data[64] = {};
  DWORD bytes = sizeof data;
  ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, kProductSubkey, L"Text", RRF_RT_ANY, &type, data,
                           &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, 8u);
  EXPECT_EQ(ReadSettingInt(m_machine.registry(), kHkeyLocalMachine, kProductName, L"closeafter", 0),
            1);
}

TEST_F(StateOnWine, CategoriesRoundTripAndTotals) {
  CATEGORY_TABLE table = BuildDefaultCategoryTable();
  for (int i = 0; i < kCategoryCount; ++i) {
    table[static_cast<std::size_t>(i)].enabled = i % 3 == 0 ? 0 : 1;
    table[static_cast<std::size_t>(i)].found = i;
    table[static_cast<std::size_t>(i)].fixed = 2 * i;
  }
  EXPECT_EQ(TotalFoundCount(m_machine.registry(), kProductName, nullptr), 0);
  ASSERT_EQ(SaveCategorySettings(m_machine.registry(), kProductName, table), kErrorSuccess);
  DWORD values = 0;
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductSubkey, 0, KEY_READ, &key), ERROR_SUCCESS);
  ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
  ::RegCloseKey(key);
  EXPECT_EQ(values, 33u);
  CATEGORY_TABLE loaded{};
  LoadCategorySettings(m_machine.registry(), kProductName, &loaded);
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    EXPECT_EQ(loaded[i].name, table[i].name);
    EXPECT_EQ(loaded[i].enabled, table[i].enabled);
    EXPECT_EQ(loaded[i].found, table[i].found);
    EXPECT_EQ(loaded[i].fixed, table[i].fixed);
  }
  EXPECT_EQ(TotalFoundCount(m_machine.registry(), kProductName, nullptr), 55);
  EXPECT_EQ(TotalFixedCount(m_machine.registry(), kProductName, nullptr), 110);
}

TEST_F(StateOnWine, LastScanDisplay) {
  EXPECT_EQ(LastScanDisplayText(m_machine.registry(), kProductName), L"Never scanned");
  SetText(L"lastScan", L"06-12-2026 18:31:14");
  EXPECT_EQ(LastScanDisplayText(m_machine.registry(), kProductName), L"Dec 06, 2026 6:31 PM");
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  ::CloseHandle(file);
  return bytes;
}

TEST_F(StateOnWine, DataFolderUnderCommonApplicationData) {
  ErrorCode error = -1;
  const std::wstring folder =
      ProductDataFolder(m_machine.shell(), m_machine.files(), kBackupSubfolder, &error);
  EXPECT_EQ(error, kErrorSuccess);
  EXPECT_EQ(folder, CommonAppData() + L"\\Quarvelo\\Backup");
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(StateOnWine, TextWriterUsesTheCodePageAndCrLf) {
  const std::wstring path = CommonAppData() + L"\\text-writer.txt";
  std::unique_ptr<CTextWriter> writer;
  ASSERT_EQ(OpenTextWriter(m_machine.files(), path, FileOpenMode::kCreateAlways,
                           FileShareMode::kDenyWrite, &writer),
            kErrorSuccess);
  ASSERT_EQ(writer->Write(L"REGEDIT4\n\ncaf\u00e9 \u20ac\n"), kErrorSuccess);
  EXPECT_TRUE(writer->Lossless());
  ASSERT_EQ(writer->Write(L"\u4e2d\n"), kErrorSuccess);
  EXPECT_FALSE(writer->Lossless());
  ASSERT_EQ(writer->Close(), kErrorSuccess);
  EXPECT_EQ(ReadBytes(path), "REGEDIT4\r\n\r\ncaf\xE9 \x80\r\n?\r\n");

  std::vector<std::wstring> lines;
  ASSERT_EQ(ReadTextLines(m_machine.files(), path, &lines), kErrorSuccess);
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"REGEDIT4", L"", L"caf\u00e9 \u20ac", L"?"}));

  // A character outside the basic plane split over two writes converts as when written whole.
  const std::wstring pair = L"x\U0001F600y";
  std::string whole;
  for (std::size_t split = 0; split <= pair.size(); ++split) {
    ASSERT_EQ(OpenTextWriter(m_machine.files(), path, FileOpenMode::kCreateAlways,
                             FileShareMode::kDenyWrite, &writer),
              kErrorSuccess);
    ASSERT_EQ(writer->Write(std::wstring_view(pair).substr(0, split)), kErrorSuccess);
    ASSERT_EQ(writer->Write(std::wstring_view(pair).substr(split)), kErrorSuccess);
    ASSERT_EQ(writer->Close(), kErrorSuccess);
    if (split == 0) whole = ReadBytes(path);
    EXPECT_EQ(ReadBytes(path), whole) << "split at " << split;
  }
}

// The log's lines: "MM/DD/YYYY HH:MM:SS AM|PM:" with the AM/PM marker matching the 24-hour hour.
void ExpectPrefix(const std::string& line, const std::string& message) {
  static const std::regex kPrefix(R"(^(\d\d)/(\d\d)/(\d{4}) (\d\d):(\d\d):(\d\d) (AM|PM):(.*)$)");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(line, match, kPrefix)) << line;
  const int hour = std::stoi(match[4].str());
  EXPECT_EQ(match[7].str(), hour < 12 ? "AM" : "PM") << line;
  EXPECT_EQ(match[8].str(), message);
}

std::vector<std::string> SplitCrLf(const std::string& bytes, bool* onlyCrLf) {
  std::vector<std::string> lines;
  *onlyCrLf = true;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) {
      *onlyCrLf = false;  // last line without an end
      lines.push_back(bytes.substr(start));
      break;
    }
    if (end == start || bytes[end - 1] != '\r') *onlyCrLf = false;
    lines.push_back(bytes.substr(start, end > start ? end - start - 1 : 0));
    start = end + 1;
  }
  return lines;
}

// The real clock moved on by a number of seconds.
class CShiftedClock final : public IClock {
 public:
  CShiftedClock(IClock& inner, std::int64_t seconds) : m_inner(inner), m_seconds(seconds) {}
  std::int64_t Now() override { return m_inner.Now() + m_seconds; }
  std::tm ToLocalTime(std::int64_t s) override { return m_inner.ToLocalTime(s); }
  void Sleep(std::uint32_t ms) override { m_inner.Sleep(ms); }
  std::uint32_t TickCount() override { return m_inner.TickCount(); }

 private:
  IClock& m_inner;
  std::int64_t m_seconds;
};

TEST_F(StateOnWine, ActivityLogOnRealFiles) {
  CActivityLog log(m_machine.platform());
  ASSERT_EQ(log.WriteLog(L"  Started fixing...  "), kErrorSuccess);
  ASSERT_EQ(log.WriteLog(L" \t "), kErrorSuccess);
  ASSERT_EQ(log.WriteLog(L"caf\u00e9 first\nsecond"), kErrorSuccess);
  const std::wstring path = log.LogFilePath();
  const std::wstring folder = CommonAppData() + L"\\Quarvelo\\LOGS\\";
  ASSERT_EQ(path.compare(0, folder.size(), folder), 0) << ToUtf8(path);
  static const std::wregex kName(LR"(LOGS_(\d\d)_(\d\d)_(\d{4})_(\d\d)_(\d\d)_(\d\d)_(AM|PM)\.log)");
  EXPECT_TRUE(std::regex_match(path.substr(folder.size()), kName)) << ToUtf8(path);

  bool onlyCrLf = false;
  const std::vector<std::string> lines = SplitCrLf(ReadBytes(path), &onlyCrLf);
  EXPECT_TRUE(onlyCrLf);
  ASSERT_EQ(lines.size(), 4u);
  ExpectPrefix(lines[0], "Started fixing...");
  EXPECT_EQ(lines[1], "");
  ExpectPrefix(lines[2], "caf\xE9 first");
  EXPECT_EQ(lines[3], "second");

  // The next run, started a second later, writes a file of its own.
  CShiftedClock later(m_machine.clock(), 1);
  CActivityLog nextRun(m_machine.shell(), m_machine.files(), later);
  ASSERT_EQ(nextRun.WriteLog(L"next run"), kErrorSuccess);
  EXPECT_NE(nextRun.LogFilePath(), path);
  EXPECT_EQ(SplitCrLf(ReadBytes(path), &onlyCrLf).size(), 4u);
}

TEST_F(StateOnWine, ConcurrentLoggingKeepsEveryLine) {
  constexpr int kThreads = 3;
  constexpr int kLinesEach = 500;
  CActivityLog log(m_machine.platform());
  std::atomic<int> ready{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int i = 0; i < kLinesEach; ++i) {
        if (log.WriteLog(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i)) !=
            kErrorSuccess) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  bool onlyCrLf = false;
  const std::vector<std::string> lines = SplitCrLf(ReadBytes(log.LogFilePath()), &onlyCrLf);
  EXPECT_TRUE(onlyCrLf);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
  std::map<int, int> next;
  for (const std::string& line : lines) {
    const std::size_t colon = line.find(":thread ");
    ASSERT_NE(colon, std::string::npos) << line;
    const int t = line[colon + 8] - '0';
    const int i = next[t]++;
    ExpectPrefix(line, "thread " + std::to_string(t) + " line " + std::to_string(i));
  }
  std::printf("[ wine ] %zu log lines from %d threads, all present and whole\n", lines.size(),
              kThreads);
}

// A clock whose first wait lets go of the file that "another process" held.
class CReleasingClock final : public IClock {
 public:
  CReleasingClock(IClock& inner, HANDLE* held) : m_inner(inner), m_held(held) {}
  std::int64_t Now() override { return m_inner.Now(); }
  std::tm ToLocalTime(std::int64_t s) override { return m_inner.ToLocalTime(s); }
  void Sleep(std::uint32_t ms) override {
    ++sleeps;
    if (*m_held != INVALID_HANDLE_VALUE) {
      ::CloseHandle(*m_held);
      *m_held = INVALID_HANDLE_VALUE;
    }
    m_inner.Sleep(ms);
  }
  std::uint32_t TickCount() override { return m_inner.TickCount(); }
  int sleeps = 0;

 private:
  IClock& m_inner;
  HANDLE* m_held;
};

TEST_F(StateOnWine, ALogFileHeldByAnotherWriterIsWaitedFor) {
  HANDLE held = INVALID_HANDLE_VALUE;
  CReleasingClock clock(m_machine.clock(), &held);
  CActivityLog log(m_machine.shell(), m_machine.files(), clock);
  const std::wstring path = log.LogFilePath();
  // Another writer has the file open for writing and lets others only read.
  held = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                       nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_EQ(log.WriteLog(L"waited"), kErrorSuccess);
  EXPECT_EQ(clock.sleeps, 1) << "one sharing violation, one wait";
  bool onlyCrLf = false;
  const std::vector<std::string> lines = SplitCrLf(ReadBytes(path), &onlyCrLf);
  ASSERT_EQ(lines.size(), 1u);
  ExpectPrefix(lines[0], "waited");
}

}  // namespace
}  // namespace qv
