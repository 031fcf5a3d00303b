// Hostile registry content under Wine: a key whose name begins with a NUL and a value whose name
// holds one (made through the native API, as any user can in his own hive) neither crash a scan
// nor make a repair delete the healthy value of the shorter name; a Run value too large for the
// read buffer hides no entry after it; and whatever ends the console unexpectedly gives exit
// code 2 and a message, never a scan's result.
#include <gtest/gtest.h>
#include <windows.h>
#include <winternl.h>

#include <string>

#include "base/utf16.h"
#include "tests/support/win32/cli_child.h"

namespace qv::test {
namespace {

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kNulParent[] = L"Software\\QvNulNames";
// The categories of the Run values (6) and of the two whole-hive walks (7, 9).
constexpr wchar_t kWalkingCategories[] = L"-c 6 -c 7 -c 9";
constexpr char kCrashMessage[] = "the program ended unexpectedly";

using NtCreateKeyFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG,
                                             PUNICODE_STRING, ULONG, PULONG);
using NtSetValueKeyFunction = NTSTATUS(NTAPI*)(HANDLE, PUNICODE_STRING, ULONG, ULONG, PVOID,
                                               ULONG);

FARPROC NtDllExport(const char* name) {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name);
}

// A counted string over the whole text, NUL characters included.
UNICODE_STRING Counted(std::wstring& text) {
  UNICODE_STRING counted;
  counted.Buffer = text.data();
  counted.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
  counted.MaximumLength = counted.Length;
  return counted;
}

// Makes HKCU\parent\<name> with the native API (the name may hold NUL characters).
void MakeCountedKey(const std::wstring& parent, std::wstring name) {
  const auto create = reinterpret_cast<NtCreateKeyFunction>(
      reinterpret_cast<void*>(NtDllExport("NtCreateKey")));
  ASSERT_NE(create, nullptr);
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, parent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  CUniqueHandle<CWin32KeyTraits> parentKey(raw);
  UNICODE_STRING counted = Counted(name);
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = reinterpret_cast<HANDLE>(parentKey.get());
  attributes.ObjectName = &counted;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;
  HANDLE key = nullptr;
  ULONG disposition = 0;
  ASSERT_EQ(create(&key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, &disposition), 0);
  CloseHandle(key);
}

// Sets HKCU\keyPath\<name> = text (REG_SZ) with the native API.
void SetCountedString(const std::wstring& keyPath, std::wstring name, const std::wstring& text) {
  const auto set = reinterpret_cast<NtSetValueKeyFunction>(
      reinterpret_cast<void*>(NtDllExport("NtSetValueKey")));
  ASSERT_NE(set, nullptr);
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  CUniqueHandle<CWin32KeyTraits> key(raw);
  UNICODE_STRING counted = Counted(name);
  std::wstring data = text;
  ASSERT_EQ(set(reinterpret_cast<HANDLE>(key.get()), &counted, 0, REG_SZ, data.data(),
                static_cast<ULONG>((data.size() + 1) * sizeof(wchar_t))),
            0);
}

bool CountedValueExists(const std::wstring& keyPath, const std::wstring& name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) {
    return false;
  }
  CUniqueHandle<CWin32KeyTraits> key(raw);
  for (DWORD index = 0;; ++index) {
    wchar_t buffer[256] = {};
    DWORD chars = 256;
    if (RegEnumValueW(key.get(), index, buffer, &chars, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      return false;
    }
    if (std::wstring(buffer, chars) == name) return true;
  }
}

TEST(HostileRegistry, NamesHoldingANulNeitherCrashAScanNorLoseAHealthyValue) {
  const std::wstring healthy = L"QvHealthy";
  const std::wstring hostile(L"QvHealthy\0gone", 14);
  SetString(HKEY_CURRENT_USER, kRun, healthy, WindowsFolder() + L"\\notepad.exe");
  SetCountedString(kRun, hostile, L"C:\\qvgone\\gone.exe");
  MakeCountedKey(kNulParent, std::wstring(L"\0evil", 5));
  ASSERT_TRUE(CountedValueExists(kRun, hostile));

  // Before, the walks entered the key again and again until the stack ran out, and the console
  // ended with exit code 1 and no report.
  const CHILD_RESULT scan = RunCli(std::wstring(L"scan ") + kWalkingCategories);
  EXPECT_TRUE(scan.exitCode == 0 || scan.exitCode == 1) << scan.exitCode << " " << scan.err;
  EXPECT_NE(scan.out.find("Categories scanned: 3 of 11"), std::string::npos) << scan.out;
  EXPECT_EQ(scan.err.find(kCrashMessage), std::string::npos) << scan.err;
  EXPECT_EQ(scan.out.find("QvHealthy"), std::string::npos) << scan.out;

  const CHILD_RESULT fix = RunCli(L"fix --no-restore-point --quiet -c 6");
  EXPECT_TRUE(fix.exitCode == 0 || fix.exitCode == 1) << fix.exitCode << " " << fix.err;
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRun, healthy), WindowsFolder() + L"\\notepad.exe");
  EXPECT_TRUE(CountedValueExists(kRun, hostile));
}

TEST(HostileRegistry, ARunValueTooLargeForTheBufferHidesNothingAfterIt) {
  // Wine enumerates values sorted by name: the large one comes first.
  SetString(HKEY_CURRENT_USER, kRun, L"QvAaLarge", L"C:\\" + std::wstring(3000, L'x') + L".exe");
  SetString(HKEY_CURRENT_USER, kRun, L"QvBroken", L"C:\\qvgone\\broken.exe");

  const CHILD_RESULT scan = RunCli(L"scan -c 6");
  EXPECT_EQ(scan.exitCode, 1u) << scan.err;
  EXPECT_NE(scan.out.find("broken.exe"), std::string::npos) << scan.out;
  const CHILD_RESULT startup = RunCli(L"startup list");
  EXPECT_EQ(startup.exitCode, 0u) << startup.err;
  EXPECT_NE(startup.out.find("QvBroken"), std::string::npos) << startup.out;
}

TEST(HostileRegistry, AnUnexpectedEndGivesExitCodeTwoAndAMessage) {
  const struct {
    const wchar_t* how;
    const char* code;
  } cases[] = {
      {L"overflow", "0xC00000FD"},
      {L"access", "0xC0000005"},
      {L"throw", "0x00000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.how));
    const CHILD_RESULT run = RunChild(BuildTreePath(QV_CRASH_PROBE), c.how);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_NE(run.err.find(kCrashMessage), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.code), std::string::npos) << run.err;
  }
  EXPECT_EQ(RunChild(BuildTreePath(QV_CRASH_PROBE), L"none").exitCode, 0u);
}

}  // namespace
}  // namespace qv::test
