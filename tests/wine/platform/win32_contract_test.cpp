// The registry and file-system contracts run against the real Win32 API. Where Wine's registry
// differs from Windows' the target says so through its quirks (measured under Wine 8).
#include <windows.h>

#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/wine_detect.h"
#include "tests/unit/platform/file_system_contract.h"
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
    }
    return quirks;
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
  EXPECT_EQ(registry.DeleteTree(kHkeyCurrentUser, L"Software\\QuarveloExact"), kErrorSuccess);
}

}  // namespace
}  // namespace qv::test
