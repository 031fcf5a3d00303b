// Backing up and deleting key trees on the in-memory registry's model of links: DeleteKey on a
// link's path deletes the target there as on Windows, so following a link anywhere shows up as
// a lost target.
#include "repair/key_delete.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "repair/backup_file.h"
#include "tests/support/forwarding_registry.h"

namespace qv {
namespace {

constexpr wchar_t kTree[] = L"HKCU\\Software\\T";
constexpr wchar_t kTarget[] = L"HKLM\\Software\\Elsewhere";

// A tree below HKCU\Software\T and, outside it, the target any link of a case leads to.
void AddTrees(CMemoryRegistry& reg) {
  reg.SetString(kTree, L"v", L"1");
  reg.SetString(L"HKCU\\Software\\T\\a\\deep", L"w", L"2");
  reg.CreatePath(L"HKCU\\Software\\T\\b");
  reg.SetString(kTarget, L"keep", L"me");
  reg.CreatePath(L"HKLM\\Software\\Elsewhere\\Inner");
}

void ExpectTargetUntouched(CMemoryRegistry& reg) {
  EXPECT_EQ(reg.GetString(kTarget, L"keep"), L"me");
  EXPECT_EQ(reg.SubkeyNames(kTarget), std::vector<std::wstring>{L"Inner"});
}

TEST(KeyTreeLinks, ATreeWithALinkIsNeitherBackedUpNorDeleted) {
  struct CASE {
    const char* what;
    std::function<void(CMemoryRegistry&)> add;
    std::wstring keyPath;  // below HKCU
    ErrorCode result;      // of BackupKey and of DeleteKeyTree
  };
  const std::vector<CASE> cases = {
      {"no link", [](CMemoryRegistry&) {}, L"Software\\T", kErrorSuccess},
      {"a link deep below",
       [](CMemoryRegistry& r) { r.CreateLink(L"HKCU\\Software\\T\\a\\deep\\link", kTarget); },
       L"Software\\T", kErrorReparsePointEncountered},
      {"the key itself is a link",
       [](CMemoryRegistry& r) { r.CreateLink(L"HKCU\\Software\\T\\b\\link", kTarget); },
       L"Software\\T\\b\\link", kErrorReparsePointEncountered},
      {"a plain key holding a REG_LINK SymbolicLinkValue",
       [](CMemoryRegistry& r) {
         r.SetValueRaw(L"HKCU\\Software\\T\\b", L"SymbolicLinkValue", kRegLink, {0x5C, 0});
       },
       L"Software\\T", kErrorReparsePointEncountered},
      {"a SymbolicLinkValue of another type",
       [](CMemoryRegistry& r) { r.SetString(L"HKCU\\Software\\T\\b", L"SymbolicLinkValue", L""); },
       L"Software\\T", kErrorSuccess},
      {"a missing key", [](CMemoryRegistry&) {}, L"Software\\Missing", kErrorFileNotFound},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    CMemoryPlatform machine;
    CMemoryRegistry& reg = machine.registry();
    AddTrees(reg);
    c.add(reg);
    CRepairBackups backups(machine.platform());
    ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
    EXPECT_EQ(BackupKey(reg, kHkeyCurrentUser, c.keyPath, backups.RegistryFile()), c.result);
    const std::wstring path = backups.RegistryFilePath();
    ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
    const std::string text = *machine.files().ReadFile(path);
    // Nothing of a refused tree is written, not even the sections before the link.
    EXPECT_EQ(text.find('['), c.result == kErrorSuccess ? text.find("[HKEY_CURRENT_USER")
                                                        : std::string::npos);

    EXPECT_EQ(DeleteKeyTree(reg, kHkeyCurrentUser, c.keyPath), c.result);
    EXPECT_EQ(reg.KeyExists(L"HKCU\\Software\\T"), c.result != kErrorSuccess);
    if (c.result == kErrorReparsePointEncountered) {
      EXPECT_TRUE(reg.KeyExists(L"HKCU\\Software\\T\\a\\deep"));  // nothing deleted
      EXPECT_TRUE(reg.ValueExists(kTree, L"v"));
    }
    ExpectTargetUntouched(reg);
    EXPECT_TRUE(reg.KeyExists(L"HKCU\\Software"));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
  }
}

TEST(DeleteKeyTree, AFailedSubkeyIsSkippedAndTheRestDeleted) {
  CMemoryRegistry reg;
  for (const wchar_t* name : {L"a", L"b", L"c", L"d"}) {
    reg.SetString(std::wstring(kTree) + L"\\" + name + L"\\x", L"v", L"1");
  }
  reg.DenyAccess(L"HKCU\\Software\\T\\b\\x", kDeleteAccess);
  // b keeps x; a, c, d and c's and d's children go; T itself still has b.
  EXPECT_EQ(DeleteKeyTree(reg, kHkeyCurrentUser, L"Software\\T"), kErrorAccessDenied);
  EXPECT_EQ(reg.SubkeyNames(kTree), std::vector<std::wstring>{L"b"});
  EXPECT_EQ(reg.SubkeyNames(L"HKCU\\Software\\T\\b"), std::vector<std::wstring>{L"x"});
  EXPECT_EQ(DeleteKeyTree(reg, kHkeyCurrentUser, L""), kErrorInvalidParameter);
  EXPECT_TRUE(reg.KeyExists(L"HKCU\\Software"));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

// A link made after the tree was looked at: the delete meets it and refuses it.
TEST(DeleteKeyTree, ALinkMadeDuringTheDeleteIsRefusedNotFollowed) {
  class CLinkOnFirstDelete final : public test::CForwardingRegistry {
   public:
    CLinkOnFirstDelete(CMemoryRegistry& reg) : CForwardingRegistry(reg), m_reg(reg) {}
    ErrorCode DeleteOpenedKey(RegHandle key) override {
      if (!m_made) {
        m_made = true;
        m_reg.RemovePath(L"HKCU\\Software\\T\\b");
        m_reg.CreateLink(L"HKCU\\Software\\T\\b", kTarget);
      }
      return inner().DeleteOpenedKey(key);
    }

   private:
    CMemoryRegistry& m_reg;
    bool m_made = false;
  };
  CMemoryRegistry reg;
  AddTrees(reg);
  CLinkOnFirstDelete racing(reg);
  EXPECT_EQ(DeleteKeyTree(racing, kHkeyCurrentUser, L"Software\\T"), kErrorAccessDenied);
  EXPECT_EQ(reg.SubkeyNames(kTree), std::vector<std::wstring>{L"b"});
  bool isLink = false;
  ASSERT_EQ(IsRegistryLink(reg, kHkeyCurrentUser, L"Software\\T\\b", &isLink), kErrorSuccess);
  EXPECT_TRUE(isLink);
  ExpectTargetUntouched(reg);
  EXPECT_EQ(DeleteKeyTree(reg, kHkeyCurrentUser, L"Software\\T"), kErrorReparsePointEncountered);
}

}  // namespace
}  // namespace qv
