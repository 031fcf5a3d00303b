#include "tools/startup_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/forwarding_registry.h"

namespace qv {
namespace {

constexpr wchar_t kUserRun[] = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUserRunOnce[] = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kMachineRun[] = L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kMachineRunOnce[] =
    L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kRegRecords[] = L"HKLM\\SOFTWARE\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
constexpr wchar_t kFolderRecords[] =
    L"HKLM\\SOFTWARE\\Microsoft\\Shared Tools\\MSConfig\\startupfolder";
constexpr wchar_t kUserStartup[] =
    L"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
constexpr wchar_t kCommonStartup[] =
    L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
constexpr wchar_t kUserStartupRecord[] =
    L"C:^users^user^AppData^Roaming^Microsoft^Windows^Start Menu^Programs^Startup^";
constexpr wchar_t kCommonStartupRecord[] =
    L"C:^ProgramData^Microsoft^Windows^Start Menu^Programs^Startup^";

struct ROW {
  std::wstring name;
  std::wstring command;
  std::wstring location;
  bool enabled;
  friend bool operator==(const ROW&, const ROW&) = default;
};

std::ostream& operator<<(std::ostream& out, const ROW& row) {
  return out << (row.enabled ? "On  " : "Off ") << ToUtf8(row.name) << " | " << ToUtf8(row.command)
             << " | " << ToUtf8(row.location);
}

std::vector<ROW> Rows(const CStartupManager& manager) {
  std::vector<ROW> rows;
  for (const StartupItem& item : manager.Items()) {
    EXPECT_EQ(item.checked, item.enabled) << ToUtf8(item.name);
    rows.push_back({item.name, item.command, item.location, item.enabled});
  }
  return rows;
}

std::size_t RowOf(const CStartupManager& manager, std::wstring_view name,
                  std::wstring_view location) {
  for (std::size_t i = 0; i < manager.Items().size(); ++i) {
    if (manager.Items()[i].name == name && manager.Items()[i].location == location) return i;
  }
  ADD_FAILURE() << "no row " << ToUtf8(name) << " at " << ToUtf8(location);
  return manager.Items().size();
}

// A REG_SZ value stored with its terminating zero, as the records and the Run values are.
void ExpectString(CMemoryRegistry& registry, const std::wstring& key, std::wstring_view name,
                  std::wstring_view text) {
  const auto value = registry.GetValueRaw(key, name);
  ASSERT_TRUE(value.has_value()) << ToUtf8(key) << " " << ToUtf8(name);
  EXPECT_EQ(value->type, kRegSz) << ToUtf8(name);
  EXPECT_EQ(value->data, ToUtf16LeBytes(text, true)) << ToUtf8(name);
}

class StartupManagerTest : public ::testing::Test {
 protected:
  StartupManagerTest() {
    Registry().SetString(
        L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"Startup",
        kUserStartup);
    Registry().SetString(
        L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        L"Common Startup", kCommonStartup);
    m_machine.files().AddFolder(kUserStartup);
    m_machine.files().AddFolder(kCommonStartup);
  }

  CMemoryRegistry& Registry() { return m_machine.registry(); }
  CMemoryFileSystem& Files() { return m_machine.files(); }
  void AddShortcut(const std::wstring& path, std::wstring target, std::wstring arguments = {}) {
    ASSERT_EQ(m_machine.shell().CreateShortcut(path, {std::move(target), std::move(arguments), {}}),
              kErrorSuccess);
  }

  CMemoryPlatform m_machine;
  CStartupManager m_manager{m_machine.platform()};
};

// Every source in its order, the enumeration limits (a value too large is passed over, the ones
// after it are listed), the entries left out (a name holding a NUL too), and the records the
// System Configuration Utility writes itself ("HKLM" and a key path of its own spelling), which
// are enabled here as well.
TEST_F(StartupManagerTest, ListsEverySourceInOrderAndEnablesTheUtilitysOwnRecords) {
  Registry().SetString(kUserRun, L"Agent", L"\"C:\\Agent\\agent.exe\" /tray");
  Registry().SetString(kUserRun, L"QUARVELO", L"C:\\Program Files\\Quarvelo\\Quarvelo.exe");
  Registry().SetString(kUserRun, L"", L"");
  Registry().SetString(kUserRun, L"Blank", L"");
  Registry().SetString(kUserRun, std::wstring(L"Agent\0hidden", 12), L"C:\\hidden.exe");
  Registry().SetString(kUserRunOnce, std::wstring(1023, L'n'), L"C:\\long.exe");
  Registry().SetString(kUserRunOnce, std::wstring(1024, L'n'), L"C:\\longer.exe");
  Registry().SetString(kUserRunOnce, L"After", L"C:\\after.exe");
  Registry().SetString(kMachineRun, L"Machine", L"C:\\m.exe");
  Registry().SetString(kMachineRunOnce, L"Fits", std::wstring(511, L'f'));  // 1024 bytes
  Registry().SetString(kMachineRunOnce, L"TooLong", std::wstring(512, L'f'));
  Registry().SetString(kMachineRunOnce, L"After", L"C:\\after.exe");
  AddShortcut(std::wstring(kUserStartup) + L"\\Tool.lnk", L"C:\\Tools\\tool.exe", L"-min");
  AddShortcut(std::wstring(kUserStartup) + L"\\Bare.lnk", L"C:\\bare.exe");
  AddShortcut(std::wstring(kUserStartup) + L"\\quarvelo.lnk", L"C:\\q.exe");
  Files().AddFile(std::wstring(kUserStartup) + L"\\readme.txt", "text");
  Files().AddFile(std::wstring(kUserStartup) + L"\\Broken.lnk", "not a shortcut");
  AddShortcut(std::wstring(kCommonStartup) + L"\\Shared.lnk", L"C:\\shared.exe", L"a b");
  // As the utility leaves them.
  const std::wstring oldShortcut = std::wstring(kCommonStartup) + L"\\Old.lnk";
  const std::wstring oldRecord =
      std::wstring(kFolderRecords) + L"\\" + kCommonStartupRecord + L"Old.lnk";
  Registry().SetString(oldRecord, L"path", oldShortcut);
  Registry().SetString(oldRecord, L"backup", L"C:\\Windows\\pss\\Old.lnkCommon Startup");
  Registry().SetString(oldRecord, L"location", L"Common Startup");
  Registry().SetString(oldRecord, L"command", L"C:\\old.exe ");
  Registry().SetString(oldRecord, L"item", L"Old");
  Files().AddFile(L"C:\\Windows\\pss\\Old.lnkCommon Startup",
                  CMemoryShell::ShortcutFileBytes({L"C:\\old.exe", L"", L""}));
  const std::wstring legacy = std::wstring(kRegRecords) + L"\\Legacy";
  Registry().SetString(legacy, L"key", L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
  Registry().SetString(legacy, L"item", L"Legacy");
  Registry().SetString(legacy, L"hkey", L"HKLM");
  Registry().SetString(legacy, L"command", L"C:\\legacy.exe -s");
  Registry().SetString(legacy, L"inimapping", L"0");

  m_manager.Refresh();
  const std::vector<ROW> expected = {
      {L"Agent", L"\"C:\\Agent\\agent.exe\" /tray", L"HKEY_CURRENT_USER/Run", true},
      {L"Blank", L"", L"HKEY_CURRENT_USER/Run", true},
      {std::wstring(1023, L'n'), L"C:\\long.exe", L"HKEY_CURRENT_USER/RunOnce", true},
      {L"After", L"C:\\after.exe", L"HKEY_CURRENT_USER/RunOnce", true},
      {L"Machine", L"C:\\m.exe", L"HKEY_LOCAL_MACHINE/Run", true},
      {L"Fits", std::wstring(511, L'f'), L"HKEY_LOCAL_MACHINE/RunOnce", true},
      {L"After", L"C:\\after.exe", L"HKEY_LOCAL_MACHINE/RunOnce", true},
      {L"Bare", L"C:\\bare.exe ", L"Startup", true},
      {L"Broken", L"", L"Startup", true},
      {L"Tool", L"C:\\Tools\\tool.exe -min", L"Startup", true},
      {L"Shared", L"C:\\shared.exe a b", L"Common Startup", true},
      {L"Old", L"C:\\old.exe ", L"Common Startup", false},
      {L"Legacy", L"C:\\legacy.exe -s", L"HKLM/SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
       false},
  };
  EXPECT_EQ(Rows(m_manager), expected);

  m_manager.SetChecked(RowOf(m_manager, L"Old", L"Common Startup"), true);
  EXPECT_TRUE(m_manager.Flip(
      RowOf(m_manager, L"Legacy", L"HKLM/SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run")));
  EXPECT_EQ(m_manager.Apply(), 0);
  ExpectString(Registry(), kMachineRun, L"Legacy", L"C:\\legacy.exe -s");
  EXPECT_FALSE(Registry().KeyExists(legacy));
  EXPECT_EQ(m_machine.clock().Sleeps(), std::vector<std::uint32_t>{10});
  EXPECT_TRUE(Files().FileExists(oldShortcut));
  EXPECT_FALSE(Files().FileExists(L"C:\\Windows\\pss\\Old.lnkCommon Startup"));
  EXPECT_FALSE(Registry().KeyExists(oldRecord));
  const std::vector<ROW> after = Rows(m_manager);
  EXPECT_EQ(after.size(), expected.size());
  EXPECT_EQ(after[4], (ROW{L"Machine", L"C:\\m.exe", L"HKEY_LOCAL_MACHINE/Run", true}));
  EXPECT_EQ(after[5], (ROW{L"Legacy", L"C:\\legacy.exe -s", L"HKEY_LOCAL_MACHINE/Run", true}));
  EXPECT_EQ(after[11], (ROW{L"Old", L"C:\\old.exe ", L"Common Startup", true}));
  // The value whose name holds a NUL was neither listed nor touched.
  EXPECT_EQ(Registry().GetString(kUserRun, std::wstring(L"Agent\0hidden", 12)),
            L"C:\\hidden.exe");
  EXPECT_EQ(Registry().OpenHandleCount(), 0u);
}

// Disabling writes the utility's startupreg record and removes the value; enabling puts the exact
// command back and removes the record. The same entry re-added while disabled is two rows, and
// disabling the second is refused rather than writing over the first one's record.
TEST_F(StartupManagerTest, RunValueRoundTripInTheUtilitysRecordFormat) {
  const std::wstring command = L"\"C:\\Program Files\\Agent\\agent.exe\" /background \u00e9";
  Registry().SetString(kUserRun, L"Agent", command);
  Registry().SetString(kMachineRunOnce, L"Setup", L"C:\\setup.exe");
  m_manager.Refresh();
  m_manager.Flip(RowOf(m_manager, L"Agent", L"HKEY_CURRENT_USER/Run"));
  m_manager.Flip(RowOf(m_manager, L"Setup", L"HKEY_LOCAL_MACHINE/RunOnce"));
  EXPECT_EQ(m_manager.Apply(), 0);

  EXPECT_TRUE(Registry().ValueNames(kUserRun).empty());
  EXPECT_TRUE(Registry().ValueNames(kMachineRunOnce).empty());
  const std::wstring record = std::wstring(kRegRecords) + L"\\Agent";
  EXPECT_EQ(Registry().ValueNames(record),
            (std::vector<std::wstring>{L"item", L"command", L"hkey", L"key"}));
  ExpectString(Registry(), record, L"item", L"Agent");
  ExpectString(Registry(), record, L"command", command);
  ExpectString(Registry(), record, L"hkey", L"HKEY_CURRENT_USER");
  ExpectString(Registry(), record, L"key", L"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  ExpectString(Registry(), std::wstring(kRegRecords) + L"\\Setup", L"hkey", L"HKEY_LOCAL_MACHINE");
  const std::vector<ROW> off = {
      {L"Agent", command, L"HKEY_CURRENT_USER/Software\\Microsoft\\Windows\\CurrentVersion\\Run",
       false},
      {L"Setup", L"C:\\setup.exe",
       L"HKEY_LOCAL_MACHINE/Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false},
  };
  EXPECT_EQ(Rows(m_manager), off);

  // Re-added by its program while disabled: one row On, one Off; the second record would write
  // over the first, so disabling it again is refused and both stay as they are.
  Registry().SetString(kUserRun, L"Agent", L"C:\\new-agent.exe");
  m_manager.Refresh();
  ASSERT_EQ(m_manager.Items().size(), 3u);
  EXPECT_EQ(Rows(m_manager)[0],
            (ROW{L"Agent", L"C:\\new-agent.exe", L"HKEY_CURRENT_USER/Run", true}));
  EXPECT_EQ(Rows(m_manager)[1], off[0]);
  m_manager.Flip(0);
  EXPECT_EQ(m_manager.Apply(), 1);
  ExpectString(Registry(), kUserRun, L"Agent", L"C:\\new-agent.exe");
  ExpectString(Registry(), record, L"command", command);

  Registry().RemovePath(kUserRun);
  Registry().CreatePath(kUserRun);
  m_manager.Refresh();
  m_manager.Flip(0);
  m_manager.Flip(1);
  EXPECT_EQ(m_manager.Apply(), 0);
  ExpectString(Registry(), kUserRun, L"Agent", command);
  ExpectString(Registry(), std::wstring(kMachineRunOnce), L"Setup", L"C:\\setup.exe");
  EXPECT_TRUE(Registry().SubkeyNames(kRegRecords).empty());
  EXPECT_EQ(Rows(m_manager), (std::vector<ROW>{
                                 {L"Agent", command, L"HKEY_CURRENT_USER/Run", true},
                                 {L"Setup", L"C:\\setup.exe", L"HKEY_LOCAL_MACHINE/RunOnce", true},
                             }));
  EXPECT_EQ(Registry().OpenHandleCount(), 0u);
}

// An expandable command comes back expandable (as a plain string "%ProgramFiles%" would not
// start), and never over a command the program has put back meanwhile.
TEST_F(StartupManagerTest, AnExpandableRunValueComesBackExpandable) {
  const std::wstring command = L"%ProgramFiles%\\Agent\\agent.exe /tray";
  Registry().SetExpandString(kUserRun, L"Agent", command);
  m_manager.Refresh();
  m_manager.Flip(0);
  ASSERT_EQ(m_manager.Apply(), 0);
  const std::wstring record = std::wstring(kRegRecords) + L"\\Agent";
  ExpectString(Registry(), record, L"command", command);
  // Added again by its program with another command: enabling the record would write over it.
  Registry().SetString(kUserRun, L"Agent", L"C:\\agent2.exe");
  m_manager.Refresh();
  m_manager.Flip(RowOf(m_manager, L"Agent",
                       L"HKEY_CURRENT_USER/Software\\Microsoft\\Windows\\CurrentVersion\\Run"));
  EXPECT_EQ(m_manager.Apply(), 1);
  ExpectString(Registry(), kUserRun, L"Agent", L"C:\\agent2.exe");
  ExpectString(Registry(), record, L"command", command);
  Registry().RemovePath(kUserRun);
  Registry().CreatePath(kUserRun);
  m_manager.Refresh();
  m_manager.Flip(0);
  ASSERT_EQ(m_manager.Apply(), 0);
  const auto value = Registry().GetValueRaw(kUserRun, L"Agent");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, kRegExpandSz);
  EXPECT_EQ(value->data, ToUtf16LeBytes(command, true));
  EXPECT_TRUE(Registry().SubkeyNames(kRegRecords).empty());
}

// Disabling moves the file into pss under the Windows folder (made when missing) and records
// where it went; enabling one shortcut moves only that one back.
TEST_F(StartupManagerTest, ShortcutRoundTripThroughThePssFolder) {
  const std::wstring userTool = std::wstring(kUserStartup) + L"\\Tool.lnk";
  const std::wstring commonTool = std::wstring(kCommonStartup) + L"\\Tool.lnk";
  AddShortcut(userTool, L"C:\\Tools\\tool.exe", L"-min");
  AddShortcut(commonTool, L"C:\\Tools\\tool.exe", L"-all");
  AddShortcut(std::wstring(kUserStartup) + L"\\Other.lnk", L"C:\\other.exe");
  const std::string userBytes = *Files().ReadFile(userTool);
  ASSERT_FALSE(Files().FileExists(L"C:\\Windows\\pss"));

  m_manager.Refresh();
  for (std::size_t i = 0; i < m_manager.Items().size(); ++i) m_manager.Flip(i);
  EXPECT_EQ(m_manager.Apply(), 0);
  EXPECT_EQ(Files().ListFolder(L"C:\\Windows\\pss"),
            (std::vector<std::wstring>{L"Other.lnkStartup", L"Tool.lnkCommon Startup",
                                       L"Tool.lnkStartup"}));
  EXPECT_TRUE(Files().ListFolder(kUserStartup).empty());
  EXPECT_TRUE(Files().ListFolder(kCommonStartup).empty());
  const std::wstring record =
      std::wstring(kFolderRecords) + L"\\" + kUserStartupRecord + L"Tool.lnk";
  EXPECT_EQ(Registry().ValueNames(record),
            (std::vector<std::wstring>{L"item", L"command", L"location", L"path", L"backup"}));
  ExpectString(Registry(), record, L"item", L"Tool");
  ExpectString(Registry(), record, L"command", L"C:\\Tools\\tool.exe -min");
  ExpectString(Registry(), record, L"location", L"Startup");
  ExpectString(Registry(), record, L"path", userTool);
  ExpectString(Registry(), record, L"backup", L"C:\\Windows\\pss\\Tool.lnkStartup");
  ExpectString(Registry(),
               std::wstring(kFolderRecords) + L"\\" + kCommonStartupRecord + L"Tool.lnk", L"backup",
               L"C:\\Windows\\pss\\Tool.lnkCommon Startup");
  EXPECT_EQ(Rows(m_manager), (std::vector<ROW>{
                                 {L"Tool", L"C:\\Tools\\tool.exe -all", L"Common Startup", false},
                                 {L"Other", L"C:\\other.exe ", L"Startup", false},
                                 {L"Tool", L"C:\\Tools\\tool.exe -min", L"Startup", false},
                             }));

  m_manager.Flip(RowOf(m_manager, L"Tool", L"Startup"));
  EXPECT_EQ(m_manager.Apply(), 0);
  EXPECT_EQ(Files().ReadFile(userTool), userBytes);
  EXPECT_FALSE(Registry().KeyExists(record));
  EXPECT_EQ(Files().ListFolder(L"C:\\Windows\\pss"),
            (std::vector<std::wstring>{L"Other.lnkStartup", L"Tool.lnkCommon Startup"}));
  EXPECT_EQ(Registry().SubkeyNames(kFolderRecords).size(), 2u);
  EXPECT_EQ(Rows(m_manager), (std::vector<ROW>{
                                 {L"Tool", L"C:\\Tools\\tool.exe -min", L"Startup", true},
                                 {L"Tool", L"C:\\Tools\\tool.exe -all", L"Common Startup", false},
                                 {L"Other", L"C:\\other.exe ", L"Startup", false},
                             }));
  EXPECT_EQ(Registry().OpenHandleCount(), 0u);
}

// Fails every write of a value of the name given.
class CFailingRegistry final : public test::CForwardingRegistry {
 public:
  using CForwardingRegistry::CForwardingRegistry;
  std::wstring failValue;
  ErrorCode SetValue(RegHandle k, std::wstring_view n, std::uint32_t t, const std::uint8_t* d,
                     std::uint32_t b) override {
    if (n == failValue) return kErrorAccessDenied;
    return CForwardingRegistry::SetValue(k, n, t, d, b);
  }
};

// Whatever fails, an entry is either where it was or where it went with its record: never a
// record without its backup, a moved shortcut without a record, or a command in neither place.
TEST_F(StartupManagerTest, FailuresLeaveEveryEntryWhereItCanBeFound) {
  const std::wstring tool = std::wstring(kUserStartup) + L"\\Tool.lnk";
  AddShortcut(tool, L"C:\\tool.exe");
  Registry().SetString(kUserRun, L"Agent", L"C:\\agent.exe");
  Registry().SetString(kUserRun, L"Sub\\Key", L"C:\\sub.exe");
  CFailingRegistry failing(Registry());
  const CPlatform platform{failing, Files(), m_machine.shell(), m_machine.clock()};
  CStartupManager manager(platform);
  manager.Refresh();
  ASSERT_EQ(manager.Items().size(), 3u);
  const StartupItem agent = manager.Items()[0];
  const StartupItem nested = manager.Items()[1];
  const StartupItem shortcut = manager.Items()[2];

  // A record that cannot be written whole: the value stays, the shortcut goes back, no record.
  failing.failValue = L"key";
  EXPECT_EQ(agent.Disable(platform), kErrorAccessDenied);
  failing.failValue = L"backup";
  EXPECT_EQ(shortcut.Disable(platform), kErrorAccessDenied);
  failing.failValue.clear();
  ExpectString(Registry(), kUserRun, L"Agent", L"C:\\agent.exe");
  EXPECT_TRUE(Files().FileExists(tool));
  EXPECT_FALSE(Files().FileExists(L"C:\\Windows\\pss\\Tool.lnkStartup"));
  EXPECT_TRUE(Registry().SubkeyNames(kRegRecords).empty());
  EXPECT_TRUE(Registry().SubkeyNames(kFolderRecords).empty());
  // A name with a backslash would make a record nobody lists: refused.
  EXPECT_EQ(nested.Disable(platform), kErrorInvalidParameter);
  ExpectString(Registry(), kUserRun, L"Sub\\Key", L"C:\\sub.exe");

  // An older backup in the way: it is not written over, and the shortcut stays.
  Files().AddFile(L"C:\\Windows\\pss\\Tool.lnkStartup", "older");
  EXPECT_EQ(shortcut.Disable(platform), kErrorAlreadyExists);
  EXPECT_TRUE(Files().FileExists(tool));
  EXPECT_EQ(Files().ReadFile(L"C:\\Windows\\pss\\Tool.lnkStartup"), "older");
  EXPECT_TRUE(Registry().SubkeyNames(kFolderRecords).empty());
  ASSERT_EQ(Files().RemoveFile(L"C:\\Windows\\pss\\Tool.lnkStartup"), kErrorSuccess);

  // Disabled properly; then the way back is blocked: the records stay with the command and the
  // file, nothing is written over.
  ASSERT_EQ(agent.Disable(platform), kErrorSuccess);
  ASSERT_EQ(shortcut.Disable(platform), kErrorSuccess);
  manager.Refresh();
  ASSERT_EQ(manager.Items().size(), 3u);
  const StartupItem agentOff = manager.Items()[2];
  const StartupItem shortcutOff = manager.Items()[1];
  ASSERT_FALSE(agentOff.enabled);
  ASSERT_FALSE(shortcutOff.enabled);
  Registry().DenyAccess(kUserRun, kKeySetValue);
  AddShortcut(tool, L"C:\\new-tool.exe");
  EXPECT_EQ(agentOff.Enable(platform), kErrorAccessDenied);
  EXPECT_NE(shortcutOff.Enable(platform), kErrorSuccess);
  EXPECT_FALSE(Registry().ValueExists(kUserRun, L"Agent"));
  ExpectString(Registry(), std::wstring(kRegRecords) + L"\\Agent", L"command", L"C:\\agent.exe");
  SHORTCUT_INFO info;
  ASSERT_EQ(m_machine.shell().ReadShortcut(tool, &info), kErrorSuccess);
  EXPECT_EQ(info.target, L"C:\\new-tool.exe");
  EXPECT_TRUE(Files().FileExists(L"C:\\Windows\\pss\\Tool.lnkStartup"));
  EXPECT_EQ(Registry().SubkeyNames(kFolderRecords).size(), 1u);
  // Listing needs no write access.
  manager.Refresh();
  EXPECT_EQ(manager.Items().size(), 4u);
  EXPECT_EQ(Registry().OpenHandleCount(), 0u);
}

constexpr wchar_t kMachineRun32[] =
    L"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kApproved[] =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

// Task Manager's switch of an entry: key (root and StartupApproved subkey), value bytes.
std::wstring Switches(std::wstring_view root, std::wstring_view key) {
  return std::wstring(root) + kApproved + std::wstring(key);
}
using Bytes = std::vector<std::uint8_t>;
Bytes SwitchBytes(std::uint8_t status, std::uint8_t timeByte, std::size_t size = 12) {
  Bytes bytes(size, timeByte);
  bytes[0] = status;
  bytes[1] = bytes[2] = bytes[3] = 0;
  return bytes;
}

// Records what reaches the registry's writing calls, as "set <name>" or "change".
class CWriteLog final : public test::CForwardingRegistry {
 public:
  using CForwardingRegistry::CForwardingRegistry;
  std::vector<std::wstring> writes;
  std::wstring failValue;  // every write of a value of this name fails
  ErrorCode SetValue(RegHandle k, std::wstring_view n, std::uint32_t t, const std::uint8_t* d,
                     std::uint32_t b) override {
    writes.push_back(L"set " + std::wstring(n));
    if (n == failValue) return kErrorAccessDenied;
    return CForwardingRegistry::SetValue(k, n, t, d, b);
  }
  ErrorCode CreateKey(RegHandle p, std::wstring_view s, std::uint32_t a, RegHandle* r,
                      bool* c) override {
    writes.push_back(L"change");
    return CForwardingRegistry::CreateKey(p, s, a, r, c);
  }
  ErrorCode DeleteKey(RegHandle p, std::wstring_view s) override {
    writes.push_back(L"change");
    return CForwardingRegistry::DeleteKey(p, s);
  }
  ErrorCode DeleteValue(RegHandle k, std::wstring_view n) override {
    writes.push_back(L"change");
    return CForwardingRegistry::DeleteValue(k, n);
  }
};

// Which switches list an entry Off, per location (RunOnce keys and another root's switches do
// not count), and which forms are left alone; enabling writes each Off switch's enabled form and
// nothing else: no Run value, shortcut or record is touched.
TEST_F(StartupManagerTest, TaskManagerSwitchesListEntriesOffAndEnablingTurnsOnlyThemOn) {
  const std::wstring userRun = Switches(L"HKCU", L"Run");
  struct SWITCH {
    const wchar_t* name;
    std::uint32_t type;
    Bytes bytes;
    bool on;
    Bytes enabledForm;  // what enabling writes (Off rows)
  } const switches[] = {
      {L"Two", kRegBinary, SwitchBytes(2, 0), true, {}},
      {L"Six", kRegBinary, SwitchBytes(6, 0), true, {}},
      {L"Zero", kRegBinary, SwitchBytes(0, 0), true, {}},
      {L"Three", kRegBinary, SwitchBytes(3, 0xD9), false, SwitchBytes(2, 0)},
      {L"Seven", kRegBinary, SwitchBytes(7, 0x01, 14), false, [] {
         Bytes form = SwitchBytes(6, 0, 14);
         form[12] = form[13] = 0x01;  // bytes past the time stay
         return form;
       }()},
      {L"One", kRegBinary, SwitchBytes(1, 0xD9), true, {}},
      {L"Nine", kRegBinary, SwitchBytes(9, 0xD9), true, {}},
      {L"WideStatus", kRegBinary, [] {
         Bytes b = SwitchBytes(3, 0xD9);
         b[1] = 1;
         return b;
       }(), true, {}},
      {L"Short", kRegBinary, SwitchBytes(3, 0xD9, 11), true, {}},
      {L"NotBinary", kRegNone, SwitchBytes(3, 0xD9), true, {}},
  };
  for (const SWITCH& entry : switches) {
    Registry().SetString(kUserRun, entry.name, std::wstring(L"C:\\") + entry.name + L".exe");
    Registry().SetValueRaw(userRun, entry.name, entry.type, entry.bytes);
  }
  const Bytes off = SwitchBytes(3, 0xD9);
  Registry().SetString(kUserRun, L"OtherRoot", L"C:\\other.exe");
  Registry().SetValueRaw(Switches(L"HKLM", L"Run"), L"OtherRoot", kRegBinary, off);
  Registry().SetString(kUserRunOnce, L"Once", L"C:\\once.exe");
  Registry().SetValueRaw(userRun, L"Once", kRegBinary, off);
  Registry().SetString(kMachineRun, L"Machine", L"C:\\machine.exe");
  Registry().SetValueRaw(Switches(L"HKLM", L"Run"), L"Machine", kRegBinary, off);
  Registry().SetString(kMachineRun32, L"Legacy", L"C:\\legacy.exe");
  Registry().SetValueRaw(Switches(L"HKLM", L"Run32"), L"Legacy", kRegBinary, off);
  AddShortcut(std::wstring(kUserStartup) + L"\\Tool.lnk", L"C:\\tool.exe");
  Registry().SetValueRaw(Switches(L"HKCU", L"StartupFolder"), L"Tool.lnk", kRegBinary, off);
  AddShortcut(std::wstring(kCommonStartup) + L"\\Shared.lnk", L"C:\\shared.exe");
  Registry().SetValueRaw(Switches(L"HKLM", L"StartupFolder"), L"Shared.lnk", kRegBinary, off);
  AddShortcut(std::wstring(kCommonStartup) + L"\\Mine.lnk", L"C:\\mine.exe");
  Registry().SetValueRaw(Switches(L"HKCU", L"StartupFolder"), L"Mine.lnk", kRegBinary, off);

  CWriteLog log(Registry());
  CStartupManager manager({log, Files(), m_machine.shell(), m_machine.clock()});
  manager.Refresh();
  std::vector<std::wstring> offRows;
  for (const ROW& row : Rows(manager)) {
    if (!row.enabled) offRows.push_back(row.name + L" " + row.location);
  }
  EXPECT_EQ(offRows, (std::vector<std::wstring>{
                         L"Three HKEY_CURRENT_USER/Run", L"Seven HKEY_CURRENT_USER/Run",
                         L"Machine HKEY_LOCAL_MACHINE/Run", L"Legacy HKEY_LOCAL_MACHINE/Run32",
                         L"Tool Startup", L"Shared Common Startup"}));
  EXPECT_EQ(manager.Items().size(), std::size(switches) + 7);
  EXPECT_TRUE(log.writes.empty());

  for (std::size_t i = 0; i < manager.Items().size(); ++i) {
    if (!manager.Items()[i].enabled) manager.Flip(i);
  }
  EXPECT_EQ(manager.Apply(), 0);
  EXPECT_EQ(log.writes,
            (std::vector<std::wstring>{L"set Shared.lnk", L"set Tool.lnk", L"set Legacy",
                                       L"set Machine", L"set Seven", L"set Three"}));
  for (const SWITCH& entry : switches) {
    const auto value = Registry().GetValueRaw(userRun, entry.name);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, entry.type) << ToUtf8(entry.name);
    EXPECT_EQ(value->data, entry.on ? entry.bytes : entry.enabledForm) << ToUtf8(entry.name);
  }
  EXPECT_EQ(Registry().GetValueRaw(Switches(L"HKLM", L"Run32"), L"Legacy")->data,
            SwitchBytes(2, 0));
  EXPECT_EQ(Registry().GetValueRaw(Switches(L"HKLM", L"StartupFolder"), L"Shared.lnk")->data,
            SwitchBytes(2, 0));
  EXPECT_EQ(Registry().GetValueRaw(Switches(L"HKCU", L"StartupFolder"), L"Mine.lnk")->data, off);
  for (const ROW& row : Rows(manager)) EXPECT_TRUE(row.enabled) << row;
  EXPECT_EQ(Registry().OpenHandleCount(), 0u);
}

// The 32-bit Run key's entry with a switch Task Manager turned off, and a shortcut likewise:
// enabled here, disabled into the utility's records (the switch stays on), switched off again
// meanwhile, and enabled from the records: the switch is turned on before anything goes back
// (so a failure there keeps the record), and the entry comes back byte for byte, where it was.
TEST_F(StartupManagerTest, AnEntryOffByTaskManagerRoundTripsThroughTheRecordsAndStarts) {
  const std::wstring run32Switches = Switches(L"HKLM", L"Run32");
  const std::wstring folderSwitches = Switches(L"HKCU", L"StartupFolder");
  const std::wstring command = L"\"C:\\Program Files (x86)\\Agent\\agent.exe\" /tray";
  const std::wstring tool = std::wstring(kUserStartup) + L"\\Tool.lnk";
  Registry().SetString(kMachineRun32, L"Agent", command);
  Registry().SetString(kMachineRun, L"Other", L"C:\\other.exe");
  const Bytes original = Registry().GetValueRaw(kMachineRun32, L"Agent")->data;
  AddShortcut(tool, L"C:\\tool.exe");
  const std::string toolBytes = *Files().ReadFile(tool);
  Registry().SetValueRaw(run32Switches, L"Agent", kRegBinary, SwitchBytes(3, 0xD9));
  Registry().SetValueRaw(folderSwitches, L"Tool.lnk", kRegBinary, SwitchBytes(7, 0xD9));
  CWriteLog log(Registry());
  CStartupManager manager({log, Files(), m_machine.shell(), m_machine.clock()});

  manager.Refresh();
  const std::vector<ROW> offByTaskManager = {
      {L"Other", L"C:\\other.exe", L"HKEY_LOCAL_MACHINE/Run", true},
      {L"Agent", command, L"HKEY_LOCAL_MACHINE/Run32", false},
      {L"Tool", L"C:\\tool.exe ", L"Startup", false},
  };
  ASSERT_EQ(Rows(manager), offByTaskManager);
  manager.Flip(1);
  manager.Flip(2);
  ASSERT_EQ(manager.Apply(), 0);
  EXPECT_EQ(Registry().GetValueRaw(run32Switches, L"Agent")->data, SwitchBytes(2, 0));
  EXPECT_EQ(Registry().GetValueRaw(folderSwitches, L"Tool.lnk")->data, SwitchBytes(6, 0));

  manager.Flip(1);
  manager.Flip(2);
  ASSERT_EQ(manager.Apply(), 0);
  const std::wstring record = std::wstring(kRegRecords) + L"\\Agent";
  ExpectString(Registry(), record, L"hkey", L"HKEY_LOCAL_MACHINE");
  ExpectString(Registry(), record, L"key",
               L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_FALSE(Registry().ValueExists(kMachineRun32, L"Agent"));
  EXPECT_FALSE(Files().FileExists(tool));
  EXPECT_EQ(Registry().GetValueRaw(run32Switches, L"Agent")->data, SwitchBytes(2, 0));
  EXPECT_EQ(Rows(manager), (std::vector<ROW>{
                               offByTaskManager[0],
                               {L"Tool", L"C:\\tool.exe ", L"Startup", false},
                               {L"Agent", command,
                                L"HKEY_LOCAL_MACHINE/Software\\Wow6432Node\\Microsoft\\Windows\\"
                                L"CurrentVersion\\Run",
                                false},
                           }));

  // Switched off again while the entries were in the records (a value left behind, or written
  // by Settings): enabling them turns the switches on first; a switch that cannot be written
  // keeps the record and the entry where they are.
  Registry().SetValueRaw(run32Switches, L"Agent", kRegBinary, SwitchBytes(3, 0x5A));
  Registry().SetValueRaw(folderSwitches, L"Tool.lnk", kRegBinary, SwitchBytes(7, 0x5A));
  log.failValue = L"Agent";
  manager.Flip(1);
  manager.Flip(2);
  EXPECT_EQ(manager.Apply(), 1);
  EXPECT_TRUE(Registry().KeyExists(record));
  EXPECT_FALSE(Registry().ValueExists(kMachineRun32, L"Agent"));
  EXPECT_EQ(Files().ReadFile(tool), toolBytes);
  EXPECT_EQ(Registry().GetValueRaw(folderSwitches, L"Tool.lnk")->data, SwitchBytes(6, 0));
  log.failValue.clear();
  manager.Flip(2);
  ASSERT_EQ(manager.Apply(), 0);
  EXPECT_EQ(Registry().GetValueRaw(kMachineRun32, L"Agent")->type, kRegSz);
  EXPECT_EQ(Registry().GetValueRaw(kMachineRun32, L"Agent")->data, original);
  EXPECT_EQ(Registry().GetValueRaw(run32Switches, L"Agent")->data, SwitchBytes(2, 0));
  EXPECT_FALSE(Registry().KeyExists(record));
  EXPECT_EQ(Rows(manager),
            (std::vector<ROW>{offByTaskManager[0],
                              {L"Agent", command, L"HKEY_LOCAL_MACHINE/Run32", true},
                              {L"Tool", L"C:\\tool.exe ", L"Startup", true}}));
  EXPECT_EQ(Registry().OpenHandleCount(), 0u);
}

TEST(ResolveShortcut, TargetSpaceArgumentsWithLnkAppendedWhenTheNameLacksIt) {
  CMemoryPlatform machine;
  ASSERT_EQ(machine.shell().CreateShortcut(L"C:\\a.lnk", {L"C:\\a.exe", L"-x", L""}),
            kErrorSuccess);
  ASSERT_EQ(machine.shell().CreateShortcut(L"C:\\b.LNK", {L"C:\\b.exe", L"", L""}), kErrorSuccess);
  EXPECT_EQ(ResolveShortcut(machine.shell(), L"C:\\a"), L"C:\\a.exe -x");
  EXPECT_EQ(ResolveShortcut(machine.shell(), L"C:\\b.LNK"), L"C:\\b.exe ");
  EXPECT_EQ(ResolveShortcut(machine.shell(), L"C:\\missing.lnk"), L"");
}

}  // namespace
}  // namespace qv
