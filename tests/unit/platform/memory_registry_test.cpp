// Behaviour of the in-memory registry beyond the shared contract: the test conveniences, the
// access-denial hook, handle bookkeeping, the empty roots and the merged classes view's writes.
#include "platform/memory/memory_registry.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/utf16.h"

namespace qv {
namespace {

TEST(MemoryRegistry, ConveniencesBuildAndReadATreeByFullKeyText) {
  CMemoryRegistry reg;
  reg.SetString(L"HKLM\\Software\\App", L"Path", L"C:\\App\\app.exe");
  reg.SetExpandString(L"HKEY_LOCAL_MACHINE\\Software\\App", L"Exp", L"%windir%");
  reg.SetDword(L"hkcu/Software\\App", L"Count", 0x01020304);
  reg.SetMultiString(L"HKCU\\Software\\App", L"List", {L"a", L"bc"});
  reg.SetValueRaw(L"HKLM\\Software\\App", L"Raw", kRegSz, ToUtf16LeBytes(L"ab", false));
  reg.CreatePath(L"HKU\\.DEFAULT\\Software\\Empty");

  EXPECT_EQ(reg.GetString(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\APP", L"path"), L"C:\\App\\app.exe");
  EXPECT_EQ(reg.GetDword(L"HKEY_CURRENT_USER\\Software\\App", L"Count"), 0x01020304u);
  const auto multi = reg.GetValueRaw(L"HKCU\\Software\\App", L"List");
  ASSERT_TRUE(multi.has_value());
  EXPECT_EQ(multi->type, kRegMultiSz);
  EXPECT_EQ(multi->data.size(), 12u);  // "a\0bc\0\0" in UTF-16
  const auto raw = reg.GetValueRaw(L"HKLM\\Software\\App", L"Raw");
  ASSERT_TRUE(raw.has_value());
  EXPECT_EQ(raw->data.size(), 4u);  // no terminator added
  EXPECT_EQ(reg.GetValueRaw(L"HKLM\\Software\\App", L"Exp")->type, kRegExpandSz);
  EXPECT_TRUE(reg.KeyExists(L"HKEY_USERS\\.DEFAULT\\Software\\Empty"));
  EXPECT_TRUE(reg.ValueExists(L"HKLM\\Software\\App", L"RAW"));
  EXPECT_FALSE(reg.ValueExists(L"HKLM\\Software\\App", L"nothing"));
  EXPECT_FALSE(reg.GetString(L"HKLM\\Software\\Nothing", L"x").has_value());
  EXPECT_EQ(reg.ValueNames(L"HKLM\\Software\\App"),
            (std::vector<std::wstring>{L"Path", L"Exp", L"Raw"}));
  EXPECT_EQ(reg.SubkeyNames(L"HKLM\\Software"), (std::vector<std::wstring>{L"App", L"Classes"}));

  reg.RemovePath(L"HKLM\\Software\\App");
  reg.RemovePath(L"HKLM\\Software\\App");  // already gone: no-op
  EXPECT_FALSE(reg.KeyExists(L"HKLM\\Software\\App"));
  EXPECT_THROW(reg.CreatePath(L"HKEY_NOWHERE\\x"), std::invalid_argument);
  EXPECT_THROW(reg.SubkeyNames(L"HKLM\\Software\\Missing"), std::invalid_argument);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(MemoryRegistry, SplitKeyPathAcceptsFullNamesAndAbbreviations) {
  struct {
    const wchar_t* text;
    bool ok;
    RegHandle root;
    const wchar_t* subkey;
  } cases[] = {
      {L"HKEY_CLASSES_ROOT\\.txt", true, kHkeyClassesRoot, L".txt"},
      {L"hkcu\\Software", true, kHkeyCurrentUser, L"Software"},
      {L"HKLM", true, kHkeyLocalMachine, L""},
      {L"HKU/.DEFAULT", true, kHkeyUsers, L".DEFAULT"},
      {L"HKCC\\x", true, kHkeyCurrentConfig, L"x"},
      {L"HKPD", true, kHkeyPerformanceData, L""},
      {L"HKEY_DYN_DATA", true, kHkeyDynData, L""},
      {L"HKEY_LOCAL", false, kNullRegHandle, L""},
      {L"", false, kNullRegHandle, L""},
  };
  for (const auto& c : cases) {
    RegHandle root = kNullRegHandle;
    std::wstring_view subkey;
    EXPECT_EQ(CMemoryRegistry::SplitKeyPath(c.text, &root, &subkey), c.ok) << ToUtf8(c.text);
    if (c.ok) {
      EXPECT_EQ(root, c.root);
      EXPECT_EQ(subkey, c.subkey);
    }
  }
}

TEST(MemoryRegistry, DenyAccessRefusesOpensThatAskForTheMask) {
  CMemoryRegistry reg;
  reg.SetString(L"HKLM\\Software\\Locked", L"v", L"x");
  reg.DenyAccess(L"HKLM\\Software\\Locked", kDeleteAccess);
  RegHandle key = 123;
  // KEY_ALL_ACCESS includes DELETE; read + set value + create subkey does not.
  EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, L"Software\\Locked", kKeyAllAccess, &key),
            kErrorAccessDenied);
  EXPECT_EQ(key, kNullRegHandle);
  EXPECT_EQ(reg.CreateKey(kHkeyLocalMachine, L"software\\locked", kKeyAllAccess, &key, nullptr),
            kErrorAccessDenied);
  EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, L"Software\\Locked"), kErrorAccessDenied);
  ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, L"Software\\Locked", kKeyReadWriteCreate, &key),
            kErrorSuccess);
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
  // Keys below are not affected; the test's own conveniences still see everything.
  reg.CreatePath(L"HKLM\\Software\\Locked\\Below");
  ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, L"Software\\Locked\\Below", kKeyAllAccess, &key),
            kErrorSuccess);
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
  EXPECT_EQ(reg.GetString(L"HKLM\\Software\\Locked", L"v"), L"x");
  EXPECT_THROW(reg.DenyAccess(L"HKLM\\Software\\Missing", kDeleteAccess), std::invalid_argument);
}

TEST(MemoryRegistry, HandlesAreCountedAndUnknownHandlesRefused) {
  CMemoryRegistry reg;
  RegHandle a = kNullRegHandle;
  RegHandle b = kNullRegHandle;
  ASSERT_EQ(reg.CreateKey(kHkeyCurrentUser, L"Software\\X", kKeyAllAccess, &a, nullptr),
            kErrorSuccess);
  ASSERT_EQ(reg.OpenKey(a, L"", kKeyRead, &b), kErrorSuccess);
  EXPECT_NE(a, b);
  EXPECT_EQ(reg.OpenHandleCount(), 2u);
  {
    CRegKey scoped(reg);
    ASSERT_EQ(scoped.Open(kHkeyLocalMachine, L"Software", kKeyRead), kErrorSuccess);
    EXPECT_EQ(reg.OpenHandleCount(), 3u);
  }
  EXPECT_EQ(reg.OpenHandleCount(), 2u);
  EXPECT_EQ(reg.CloseKey(a), kErrorSuccess);
  EXPECT_EQ(reg.CloseKey(a), kErrorInvalidHandle);
  EXPECT_EQ(reg.CloseKey(kHkeyLocalMachine), kErrorSuccess);
  EXPECT_EQ(reg.CloseKey(kHkeyClassesRoot), kErrorSuccess);
  std::uint32_t count = 0;
  EXPECT_EQ(reg.QueryInfoKey(a, &count, nullptr), kErrorInvalidHandle);
  EXPECT_EQ(reg.QueryInfoKey(0x4242, &count, nullptr), kErrorInvalidHandle);
  EXPECT_EQ(reg.CloseKey(b), kErrorSuccess);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(MemoryRegistry, PerformanceAndDynDataOpenButStayEmpty) {
  CMemoryRegistry reg;
  for (RegHandle root : {kHkeyPerformanceData, kHkeyDynData}) {
    RegHandle key = kNullRegHandle;
    ASSERT_EQ(reg.OpenKey(root, L"", kKeyRead, &key), kErrorSuccess);
    std::uint32_t subkeys = 9;
    std::uint32_t values = 9;
    EXPECT_EQ(reg.QueryInfoKey(key, &subkeys, &values), kErrorSuccess);
    EXPECT_EQ(subkeys + values, 0u);
    std::array<wchar_t, 16> name{};
    std::uint32_t chars = name.size();
    EXPECT_EQ(reg.EnumKey(key, 0, name.data(), &chars), kErrorNoMoreItems);
    RegHandle child = kNullRegHandle;
    EXPECT_EQ(reg.CreateKey(root, L"x", kKeyAllAccess, &child, nullptr), kErrorAccessDenied);
    const std::uint8_t one = 1;
    EXPECT_EQ(reg.SetValue(root, L"v", kRegBinary, &one, 1), kErrorAccessDenied);
    EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
  }
}

TEST(MemoryRegistry, ClassesViewWritesValuesWhereTheKeyLivesAndDeletesTheUsersCopyFirst) {
  CMemoryRegistry reg;
  reg.SetString(L"HKLM\\Software\\Classes\\.txt", L"", L"txtfile");
  reg.SetString(L"HKCU\\Software\\Classes\\.txt", L"", L"userfile");
  reg.CreatePath(L"HKLM\\Software\\Classes\\MachineOnly");
  RegHandle txt = kNullRegHandle;
  ASSERT_EQ(reg.OpenKey(kHkeyClassesRoot, L".txt", kKeyAllAccess, &txt), kErrorSuccess);
  const auto bytes = ToUtf16LeBytes(L"v", true);
  ASSERT_EQ(reg.SetValue(txt, L"Content Type", kRegSz, bytes.data(), 4), kErrorSuccess);
  EXPECT_TRUE(reg.ValueExists(L"HKCU\\Software\\Classes\\.txt", L"Content Type"));
  EXPECT_FALSE(reg.ValueExists(L"HKLM\\Software\\Classes\\.txt", L"Content Type"));
  // A value in both: the user's reads, the delete removes it, then the machine's shows.
  EXPECT_EQ(reg.GetString(L"HKCR\\.txt", L""), L"userfile");
  EXPECT_EQ(reg.DeleteValue(txt, L""), kErrorSuccess);
  EXPECT_EQ(reg.GetString(L"HKCR\\.txt", L""), L"txtfile");
  // Writes to a machine-only key stay in the machine's classes.
  reg.SetString(L"HKCR\\MachineOnly", L"x", L"1");
  EXPECT_TRUE(reg.ValueExists(L"HKLM\\Software\\Classes\\MachineOnly", L"x"));
  // Deleting through the view removes the user's copy; the machine's key remains visible.
  EXPECT_EQ(reg.CloseKey(txt), kErrorSuccess);
  EXPECT_EQ(reg.DeleteKey(kHkeyClassesRoot, L".txt"), kErrorSuccess);
  EXPECT_FALSE(reg.KeyExists(L"HKCU\\Software\\Classes\\.txt"));
  EXPECT_TRUE(reg.KeyExists(L"HKCR\\.txt"));
  EXPECT_EQ(reg.DeleteKey(kHkeyClassesRoot, L".txt"), kErrorSuccess);
  EXPECT_FALSE(reg.KeyExists(L"HKCR\\.txt"));
  EXPECT_EQ(reg.DeleteKey(kHkeyClassesRoot, L""), kErrorAccessDenied);
}

TEST(MemoryRegistry, AMergedViewSeesKeysAddedAfterItWasOpened) {
  CMemoryRegistry reg;
  reg.CreatePath(L"HKLM\\Software\\Classes\\CLSID\\{B}");
  RegHandle clsid = kNullRegHandle;
  ASSERT_EQ(reg.OpenKey(kHkeyClassesRoot, L"CLSID", kKeyRead, &clsid), kErrorSuccess);
  EXPECT_EQ(reg.SubkeyNames(L"HKCR\\CLSID"), std::vector<std::wstring>{L"{B}"});
  reg.CreatePath(L"HKLM\\Software\\Classes\\CLSID\\{A}");
  std::array<wchar_t, 16> name{};
  std::uint32_t chars = name.size();
  ASSERT_EQ(reg.EnumKey(clsid, 0, name.data(), &chars), kErrorSuccess);
  EXPECT_EQ(std::wstring(name.data()), L"{A}");
  EXPECT_EQ(reg.CloseKey(clsid), kErrorSuccess);
}

// What the parity suite cannot reach: links made by the test convenience, to keys that do not
// exist or to themselves, created through, and removed by RemovePath.
TEST(MemoryRegistry, LinksLeadWhereTheirValueSaysAndRemovePathTakesOnlyTheLink) {
  CMemoryRegistry reg;
  reg.CreateLink(L"HKCU\\Software\\A\\ToMachine", L"HKLM\\Software\\Elsewhere");
  reg.CreateLink(L"HKLM\\Software\\Loop", L"HKLM\\Software\\Loop");
  EXPECT_EQ(reg.GetValueRaw(L"HKLM\\Software\\Loop", L"SymbolicLinkValue"), std::nullopt);
  EXPECT_THROW(reg.CreateLink(L"HKLM\\Software\\Loop", L"HKLM\\Software"),
               std::invalid_argument);
  RegHandle key = kNullRegHandle;
  EXPECT_EQ(reg.OpenKey(kHkeyCurrentUser, L"Software\\A\\ToMachine", kKeyRead, &key),
            kErrorFileNotFound);  // the target does not exist yet
  ASSERT_EQ(reg.OpenKeyNoFollow(kHkeyCurrentUser, L"Software\\A\\ToMachine", kKeyRead, &key),
            kErrorSuccess);
  EXPECT_EQ(reg.CloseKey(key), kErrorSuccess);
  // Creating through the link creates the target, and writes land there.
  reg.SetString(L"HKCU\\Software\\A\\ToMachine\\Sub", L"v", L"x");
  EXPECT_EQ(reg.GetString(L"HKLM\\Software\\Elsewhere\\Sub", L"v"), L"x");
  EXPECT_EQ(reg.SubkeyNames(L"HKCU\\Software\\A"), std::vector<std::wstring>{L"ToMachine"});
  EXPECT_EQ(CMemoryRegistry::NativePath(L"HKCU\\Software\\A"),
            L"\\Registry\\User\\S-1-5-21-0-0-0-1000\\Software\\A");
  EXPECT_EQ(CMemoryRegistry::NativePath(L"HKCR\\.txt"),
            L"\\Registry\\Machine\\Software\\Classes\\.txt");
  reg.RemovePath(L"HKCU\\Software\\A");
  EXPECT_FALSE(reg.KeyExists(L"HKCU\\Software\\A"));
  EXPECT_EQ(reg.GetString(L"HKLM\\Software\\Elsewhere\\Sub", L"v"), L"x");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace qv
