// The registry and file-system contracts run against the real Win32 API. Where Wine's registry
// differs from Windows' the target says so through its quirks (measured under Wine 8).
#include <windows.h>

#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/wine_detect.h"
#include "tests/unit/platform/file_system_contract.h"
#include "tests/support/win32/registry_link.h"
#include "tests/unit/platform/registry_contract.h"

namespace qv::test {
namespace {

class CWin32RegistryUnderTest final : public CRegistryUnderTest {
 public:
  IRegistry& Registry() override { return m_registry; }
  CQuirks Quirks() const override {
    CQuirks quirks;
    if (IsRunningOnWine()) {
      quirks.valuesSorted = true;
      quirks.sortsByLowerCase = true;
      quirks.classesRootMerged = false;
      quirks.queryInfoNeedsQueryRight = false;
      quirks.deletingADeletedKeyFails = false;
    }
    return quirks;
  }
  std::wstring MakeLink(std::wstring_view linkSubkey, std::wstring_view targetSubkey) override {
    // The user's own key, from its Software key (an empty subkey of a predefined root opens no
    // key of its own that NtQueryKey could name).
    std::wstring user = NativeKeyPath(HKEY_CURRENT_USER, L"Software");
    user.resize(user.empty() ? 0 : user.rfind(L'\\'));
    if (user.empty()) {
      ADD_FAILURE() << "no native path for HKEY_CURRENT_USER";
      return {};
    }
    const std::wstring native = user + L"\\" + std::wstring(targetSubkey);
    const LSTATUS rc = CreateRegistryLink(HKEY_CURRENT_USER, linkSubkey, native);
    if (rc != ERROR_SUCCESS) {
      ADD_FAILURE() << "cannot make the link " << ToUtf8(linkSubkey) << " to " << ToUtf8(native)
                    << ": " << rc;
      return {};
    }
    return native;
  }

 private:
  CWin32Registry m_registry;
};

class CWin32FileSystemUnderTest final : public CFileSystemUnderTest {
 public:
  IFileSystem& Files() override { return m_files; }
  std::wstring SystemFolder() override {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer, length);
  }

 private:
  CWin32FileSystem m_files;
};

INSTANTIATE_TEST_SUITE_P(Platform, CRegistryContract,
                         ::testing::Values(REGISTRY_TARGET{
                             "Win32",
                             [] {
                               return std::unique_ptr<CRegistryUnderTest>(
                                   new CWin32RegistryUnderTest);
                             }}),
                         RegistryTargetName);

INSTANTIATE_TEST_SUITE_P(Platform, CFileSystemContract,
                         ::testing::Values(FILE_SYSTEM_TARGET{
                             "Win32",
                             [] {
                               return std::unique_ptr<CFileSystemUnderTest>(
                                   new CWin32FileSystemUnderTest);
                             }}),
                         FileSystemTargetName);

TEST(Win32Registry, PredefinedRootsKeepTheirSeamValues) {
  for (RegHandle root = kHkeyClassesRoot; root <= kHkeyDynData; ++root) {
    const HKEY key = CWin32Registry::ToHkey(root);
    EXPECT_EQ(key, reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
    EXPECT_EQ(CWin32Registry::FromHkey(key), root);
  }
  EXPECT_EQ(CWin32Registry::ToHkey(kHkeyLocalMachine), HKEY_LOCAL_MACHINE);
  CWin32Registry registry;
  RegHandle opened = kNullRegHandle;
  ASSERT_EQ(registry.OpenKey(kHkeyLocalMachine, L"Software", kKeyRead, &opened), kErrorSuccess);
  EXPECT_EQ(CWin32Registry::ToHkey(CWin32Registry::FromHkey(CWin32Registry::ToHkey(opened))),
            CWin32Registry::ToHkey(opened));
  EXPECT_EQ(registry.CloseKey(opened), kErrorSuccess);
  EXPECT_EQ(registry.CloseKey(kHkeyLocalMachine), kErrorSuccess);
}

TEST(Win32Registry, SetValueStoresStringBytesExactlyWhateverFollowsThem) {
  CWin32Registry registry;
  RegHandle key = kNullRegHandle;
  ASSERT_EQ(registry.CreateKey(kHkeyCurrentUser, L"Software\\QuarveloExact", kKeyAllAccess, &key,
                               nullptr),
            kErrorSuccess);
  // RegSetValueExW called directly with such data stores one character more.
  const wchar_t text[] = L"abcd";
  ASSERT_EQ(::RegSetValueExW(CWin32Registry::ToHkey(key), L"direct", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text), 8),
            ERROR_SUCCESS);
  ASSERT_EQ(registry.SetValue(key, L"seam", kRegSz, reinterpret_cast<const std::uint8_t*>(text), 8),
            kErrorSuccess);
  std::uint32_t direct = 0;
  std::uint32_t seam = 0;
  EXPECT_EQ(registry.QueryValue(key, L"direct", nullptr, nullptr, &direct), kErrorSuccess);
  EXPECT_EQ(registry.QueryValue(key, L"seam", nullptr, nullptr, &seam), kErrorSuccess);
  EXPECT_EQ(direct, 10u) << "the quirk the seam works around is gone; the guard may go too";
  EXPECT_EQ(seam, 8u);
  EXPECT_EQ(registry.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(registry.DeleteKey(kHkeyCurrentUser, L"Software\\QuarveloExact"), kErrorSuccess);
}

// The system code page may be one whose conversions refuse WC_NO_BEST_FIT_CHARS (UTF-8 when the
// "use Unicode UTF-8" option is on): text must still convert, and say whether it was exact.
TEST(Win32CodePage, ConvertsInCodePagesThatRefuseFlags) {
  struct CASE {
    unsigned codePage;
    std::wstring text;
    std::string bytes;  // empty: not compared
    bool lossless;
  };
  const std::vector<CASE> cases = {
      {1252, L"REGEDIT4\r\n", "REGEDIT4\r\n", true},
      {1252, L"caf\u00e9 \u20ac", "caf\xE9 \x80", true},
      {1252, L"\u0416", "?", false},
      {65001, L"REGEDIT4\r\n", "REGEDIT4\r\n", true},
      {65001, L"caf\u00e9 \u0416 \U0001F600", "caf\xC3\xA9 \xD0\x96 \xF0\x9F\x98\x80", true},
      {65001, std::wstring{L'a', static_cast<wchar_t>(0xD800), L'b'}, "", false},  // lone half
      {65000, L"REGEDIT4", "", true},
      {54936, L"\u4e2d\u6587 ok", "", true},
      {50220, L"\u65e5\u672c ok", "", true},
  };
  int converted = 0;
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.codePage);
    if (!IsValidCodePage(c.codePage)) continue;  // not every system has the Asian code pages
    ++converted;
    bool lossless = !c.lossless;
    std::string bytes;
    ASSERT_EQ(WideToCodePage(c.codePage, c.text, &bytes, &lossless), kErrorSuccess);
    ASSERT_FALSE(bytes.empty());
    if (!c.bytes.empty()) {
      EXPECT_EQ(bytes, c.bytes);
    }
    EXPECT_EQ(lossless, c.lossless);
    if (c.lossless) {
      std::wstring back;
      EXPECT_EQ(CodePageToWide(c.codePage, bytes, &back), kErrorSuccess);
      EXPECT_EQ(back, c.text);
    }
  }
  EXPECT_GE(converted, 6);
  EXPECT_TRUE(CodePageTakesNoFlags(65001));
  EXPECT_TRUE(CodePageTakesNoFlags(57005));
  EXPECT_FALSE(CodePageTakesNoFlags(1252));
  EXPECT_FALSE(CodePageTakesNoFlags(932));
}

}  // namespace
}  // namespace qv::test
