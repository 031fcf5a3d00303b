#include "repair/backup_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "repair/backup_format.h"
#include "base/utf16.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/forwarding_registry.h"

namespace qv {
namespace {

constexpr wchar_t kBackupFolder[] = L"C:\\ProgramData\\Quarvelo\\Backup";
// CFakeClock::kDefaultNow: 2011-06-15 10:30:00.
constexpr wchar_t kFirstRegName[] = L"C:\\ProgramData\\Quarvelo\\Backup\\RCBak_June_15_11_10_30_00.reg";
constexpr wchar_t kFirstShortcutFolder[] =
    L"C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_June_15_11_10_30_00";

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (const int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

std::vector<std::uint8_t> Sequence(std::size_t count) {
  std::vector<std::uint8_t> out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return out;
}

bool HasBom(std::string_view bytes) {
  return bytes.substr(0, 2) == std::string_view("\xFF\xFE", 2);
}

// The file's text with CR LF turned into "\n": UTF-16LE after a byte-order mark, otherwise the
// code page. Every line end on disk must be CR LF.
std::wstring FileText(CMemoryPlatform& machine, std::wstring_view path) {
  const auto bytes = machine.files().ReadFile(path);
  if (!bytes) return L"<missing>";
  std::wstring text;
  if (HasBom(*bytes)) {
    text = FromUtf16LeBytes(reinterpret_cast<const std::uint8_t*>(bytes->data()) + 2,
                            bytes->size() - 2);
  } else {
    if (machine.files().FromCodePage(*bytes, &text) != kErrorSuccess) return L"<unconvertible>";
  }
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n') ADD_FAILURE() << "bare line feed at " << i;
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
      out.push_back(L'\n');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

class BackupFileTest : public ::testing::Test {
 protected:
  CMemoryRegistry& reg() { return m_machine.registry(); }
  CMemoryFileSystem& files() { return m_machine.files(); }
  CPlatform platform() { return m_machine.platform(); }

  CMemoryPlatform m_machine;
};

// A small tree with the cases whose text is fixed.
void AddEdgeCaseTree(CMemoryRegistry& reg) {
  reg.SetString(L"HKCU\\Software\\T", L"Path", L"C:\\a\"b");
  reg.SetValueRaw(L"HKCU\\Software\\T", L"Empty", kRegSz, {});
  reg.SetDword(L"HKCU\\Software\\T", L"One", 1);
  reg.SetDword(L"HKCU\\Software\\T", L"All", 0xFFFFFFFFu);
  reg.SetValueRaw(L"HKCU\\Software\\T", L"Bin", kRegBinary, Bytes({1, 2, 0xFF}));
  reg.SetValueRaw(L"HKCU\\Software\\T", L"NoBytes", kRegBinary, {});
  reg.SetString(L"HKCU\\Software\\T", L"", L"default");
  reg.SetString(L"HKCU\\Software\\T\\b", L"x", L"1");
  reg.SetString(L"HKCU\\Software\\T\\a\\deep", L"C:\\Windows\\x.dll", L"2");
  reg.CreatePath(L"HKCU\\Software\\T\\a\\empty");
}

constexpr wchar_t kEdgeCaseSections[] =
    L"\n\n[HKEY_CURRENT_USER\\Software\\T]\n"
    L"\"Path\"=\"C:\\\\a\\\"b\"\n"
    L"\"Empty\"=hex(1):\n"
    L"\"One\"=dword:00000001\n"
    L"\"All\"=dword:ffffffff\n"
    L"\"Bin\"=hex:01,02,ff\n"
    L"\"NoBytes\"=hex:\n"
    L"@=\"default\"\n"
    L"\n\n[HKEY_CURRENT_USER\\Software\\T\\a]\n"
    L"\n\n[HKEY_CURRENT_USER\\Software\\T\\a\\deep]\n"
    L"\"C:\\\\Windows\\\\x.dll\"=\"2\"\n"
    L"\n\n[HKEY_CURRENT_USER\\Software\\T\\a\\empty]\n"
    L"\n\n[HKEY_CURRENT_USER\\Software\\T\\b]\n"
    L"\"x\"=\"1\"\n";

TEST_F(BackupFileTest, KeySectionsDepthFirstWithEveryEdgeCaseAndHeaderByVersion) {
  struct CASE {
    std::uint32_t major, minor;
    const wchar_t* header;
  };
  const CASE cases[] = {{5, 1, L"Windows Registry Editor Version 5.00"}, {6, 1, L"REGEDIT4"}};
  AddEdgeCaseTree(reg());
  std::vector<std::string> bodies;
  for (const CASE& c : cases) {
    m_machine.shell().SetSystemVersion(c.major, c.minor);
    CRepairBackups backups(platform());
    ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
    EXPECT_EQ(BackupKey(reg(), kHkeyCurrentUser, L"Software\\T", backups.RegistryFile()),
              kErrorSuccess);
    const std::wstring path = backups.RegistryFilePath();
    ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
    EXPECT_EQ(FileText(m_machine, path), c.header + std::wstring(L"\n") + kEdgeCaseSections);
    const std::string bytes = *files().ReadFile(path);
    EXPECT_FALSE(HasBom(bytes));
    bodies.push_back(bytes.substr(bytes.find('\r')));
    ASSERT_EQ(files().RemoveFile(path), kErrorSuccess);
  }
  EXPECT_EQ(bodies[0], bodies[1]);  // only the first line differs
  EXPECT_EQ(reg().OpenHandleCount(), 0u);
  EXPECT_EQ(files().OpenFileCount(), 0u);
}

TEST_F(BackupFileTest, ValueSectionsEscapeNamesAndLeaveAnEmptyLine) {
  reg().SetString(L"HKLM\\Software\\Shared", L"C:\\Windows\\a\"b.dll", L"x");
  reg().SetDword(L"HKLM\\Software\\Shared", L"", 7);
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
  EXPECT_EQ(BackupValue(reg(), kHkeyLocalMachine, L"Software\\Shared", L"C:\\Windows\\a\"b.dll",
                        backups.RegistryFile()),
            kErrorSuccess);
  EXPECT_EQ(
      BackupValue(reg(), kHkeyLocalMachine, L"Software\\Shared", L"", backups.RegistryFile()),
      kErrorSuccess);
  ASSERT_EQ(backups.EndRegistryBackup(2), kErrorSuccess);
  EXPECT_EQ(FileText(m_machine, kFirstRegName),
            L"REGEDIT4\n"
            L"\n\n[HKEY_LOCAL_MACHINE\\Software\\Shared]\n"
            L"\"C:\\\\Windows\\\\a\\\"b.dll\"=\"x\"\n\n"
            L"\n\n[HKEY_LOCAL_MACHINE\\Software\\Shared]\n"
            L"@=dword:00000007\n\n");
}

TEST_F(BackupFileTest, WhatCannotBeReadLeavesNoSectionAndSaysSo) {
  reg().SetString(L"HKCU\\Software\\Here", L"v", L"1");
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
  CBackupFile* file = backups.RegistryFile();
  EXPECT_EQ(BackupKey(reg(), kHkeyCurrentUser, L"Software\\Gone", file), kErrorFileNotFound);
  EXPECT_EQ(BackupValue(reg(), kHkeyCurrentUser, L"Software\\Gone", L"v", file),
            kErrorFileNotFound);
  EXPECT_EQ(BackupValue(reg(), kHkeyCurrentUser, L"Software\\Here", L"missing", file),
            kErrorFileNotFound);
  EXPECT_EQ(BackupKey(reg(), 0x12345, L"Software\\Here", file), kErrorInvalidHandle);
  EXPECT_EQ(BackupKey(reg(), kNullRegHandle, L"Software\\Here", file), kErrorInvalidHandle);
  reg().DenyAccess(L"HKCU\\Software\\Here", kKeyQueryValue);
  EXPECT_EQ(BackupKey(reg(), kHkeyCurrentUser, L"Software\\Here", file), kErrorAccessDenied);
  // Without a file there is nothing to write and nothing to report.
  EXPECT_EQ(BackupKey(reg(), kHkeyCurrentUser, L"Software\\Here", nullptr), kErrorSuccess);
  ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
  EXPECT_EQ(FileText(m_machine, kFirstRegName), L"REGEDIT4\n");
}

TEST_F(BackupFileTest, AnUnreadableSubkeyIsReportedAndTheRestIsWritten) {
  reg().SetString(L"HKCU\\Software\\P", L"v", L"1");
  reg().SetString(L"HKCU\\Software\\P\\locked", L"w", L"2");
  reg().SetString(L"HKCU\\Software\\P\\open", L"z", L"3");
  reg().DenyAccess(L"HKCU\\Software\\P\\locked", kKeyEnumerateSubKeys);
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
  EXPECT_EQ(BackupKey(reg(), kHkeyCurrentUser, L"Software\\P", backups.RegistryFile()),
            kErrorAccessDenied);
  ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
  EXPECT_EQ(FileText(m_machine, kFirstRegName),
            L"REGEDIT4\n\n\n[HKEY_CURRENT_USER\\Software\\P]\n\"v\"=\"1\"\n"
            L"\n\n[HKEY_CURRENT_USER\\Software\\P\\open]\n\"z\"=\"3\"\n");
}

// A name with a line break has no form in a .reg file: the walk leaves it out and says so, so the
// caller keeps the key or value; everything else still goes out in mergeable form.
TEST_F(BackupFileTest, ANameWithALineBreakIsNotTakenAsBackedUp) {
  struct CASE {
    const char* what;
    std::wstring key;    // below HKCU, backed up with BackupKey
    std::wstring bad;    // the key or value made with a line break in its name
    bool badIsValue;
    std::wstring text;   // the sections expected in the file
  };
  const std::wstring rest = L"\n\n[HKEY_CURRENT_USER\\Software\\N]\n\"ok\"=\"1\"\n"
                           L"\n\n[HKEY_CURRENT_USER\\Software\\N\\sub]\n\"s\"=\"2\"\n";
  const std::vector<CASE> cases = {
      {"value name with a line feed", L"Software\\N", L"a\nb", true, rest},
      {"value name with a carriage return", L"Software\\N", L"\r", true, rest},
      {"subkey name with a line feed", L"Software\\N", L"k\nx", false, rest},
      {"the key's own name with a carriage return", L"Software\\N\\k\rx", L"k\rx", false,
       L""},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    CMemoryPlatform machine;
    CMemoryRegistry& r = machine.registry();
    r.SetString(L"HKCU\\Software\\N", L"ok", L"1");
    r.SetString(L"HKCU\\Software\\N\\sub", L"s", L"2");
    if (c.badIsValue) {
      r.SetString(L"HKCU\\Software\\N", c.bad, L"lost");
    } else {
      r.SetString(L"HKCU\\Software\\N\\" + c.bad, L"v", L"lost");
      r.SetString(L"HKCU\\Software\\N\\" + c.bad + L"\\deeper", L"w", L"lost");
    }
    CRepairBackups backups(machine.platform());
    ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
    EXPECT_EQ(BackupKey(r, kHkeyCurrentUser, c.key, backups.RegistryFile()), kErrorInvalidData);
    ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
    EXPECT_EQ(FileText(machine, kFirstRegName), L"REGEDIT4\n" + c.text);
  }
}

TEST_F(BackupFileTest, AValueOrKeyNameWithALineBreakWritesNoValueSection) {
  reg().SetString(L"HKCU\\Software\\V", L"two\nlines", L"x");
  reg().SetString(L"HKCU\\Software\\V\rK", L"v", L"y");
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
  CBackupFile* file = backups.RegistryFile();
  EXPECT_EQ(BackupValue(reg(), kHkeyCurrentUser, L"Software\\V", L"two\nlines", file),
            kErrorInvalidData);
  EXPECT_EQ(BackupValue(reg(), kHkeyCurrentUser, L"Software\\V\rK", L"v", file),
            kErrorInvalidData);
  EXPECT_EQ(AppendDeleteValueSection(*file, L"HKEY_CURRENT_USER\\Software\\V", L"a\r\nb"),
            kErrorInvalidData);
  ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
  EXPECT_EQ(FileText(m_machine, kFirstRegName), L"REGEDIT4\n");
}

// A code page whose conversion fails (flags the code page refuses): no backup file is taken as
// written when its header could not be converted.
TEST_F(BackupFileTest, AHeaderTheCodePageCannotConvertIsAFailure) {
  class CNoCodePage final : public test::CForwardingFileSystem {
   public:
    using CForwardingFileSystem::CForwardingFileSystem;
    ErrorCode ToCodePage(std::wstring_view, std::string*, bool* lossless) override {
      if (lossless != nullptr) *lossless = false;
      return kErrorNoUnicodeTranslation;
    }
  };
  CNoCodePage noCodePage(files());
  CRepairBackups backups(CPlatform{reg(), noCodePage, m_machine.shell(), m_machine.clock()});
  EXPECT_EQ(backups.OpenBackUpRegistryFile(), kErrorNoUnicodeTranslation);
  EXPECT_EQ(backups.RegistryFile(), nullptr);
  EXPECT_FALSE(files().FileExists(kFirstRegName));
  EXPECT_EQ(files().OpenFileCount(), 0u);
}

TEST_F(BackupFileTest, NoValueIsLeftOutForItsSize) {
  // Larger than the 4094 and 1022 bytes of fixed buffers; longer than 1023-character names, and
  // names longer than Windows allows (Wine takes them): the walk's buffers grow to them.
  const auto big = Sequence(10000);
  const std::wstring longName(5000, L'n');
  const std::wstring longerName(40000, L'm');
  const std::wstring longKey(3000, L'k');
  reg().SetValueRaw(L"HKCU\\Software\\Big", L"blob", kRegBinary, big);
  reg().SetValueRaw(L"HKCU\\Software\\Big", longName, kRegBinary, Sequence(1023));
  reg().SetDword(L"HKCU\\Software\\Big", longerName, 1);
  reg().SetDword(L"HKCU\\Software\\Big\\" + longKey, L"d", 2);
  reg().SetString(L"HKCU\\Software\\Big", L"text", std::wstring(3000, L'x'));
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
  EXPECT_EQ(BackupKey(reg(), kHkeyCurrentUser, L"Software\\Big", backups.RegistryFile()),
            kErrorSuccess);
  EXPECT_EQ(BackupValue(reg(), kHkeyCurrentUser, L"Software\\Big", L"blob",
                        backups.RegistryFile()),
            kErrorSuccess);
  ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
  const std::wstring text = FileText(m_machine, kFirstRegName);
  const std::wstring blob = FormatValueLine(L"blob", FormatValueData(kRegBinary, big.data(), big.size()));
  std::size_t first = text.find(blob);
  ASSERT_NE(first, std::wstring::npos);
  EXPECT_NE(text.find(blob, first + 1), std::wstring::npos);  // in the value section too
  EXPECT_NE(text.find(L"\"" + longName + L"\"=hex:"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"text\"=\"" + std::wstring(3000, L'x') + L"\"\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\"" + longerName + L"\"=dword:00000001\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"\\" + longKey + L"]\n\"d\"=dword:00000002\n"), std::wstring::npos);
}

// A key deleted while it is backed up fails at every further index (kErrorKeyDeleted): the walk
// ends there and says so, so the caller keeps the key. A walk that did not end is stopped after
// kRunaway enumeration calls.
constexpr int kRunaway = 1000;

TEST_F(BackupFileTest, AKeyDeletedDuringTheWalkEndsItWithKeyDeleted) {
  class CDeleteAfterValues final : public test::CForwardingRegistry {
   public:
    CDeleteAfterValues(CMemoryRegistry& reg, int after)
        : CForwardingRegistry(reg), m_reg(reg), m_after(after) {}
    ErrorCode EnumValue(RegHandle k, std::uint32_t i, wchar_t* n, std::uint32_t* c,
                        std::uint32_t* t, std::uint8_t* d, std::uint32_t* b) override {
      if (++m_values == m_after) m_reg.RemovePath(L"HKCU\\Software\\W");
      if (++m_calls > kRunaway) return kErrorNoMoreItems;
      return inner().EnumValue(k, i, n, c, t, d, b);
    }
    ErrorCode EnumKey(RegHandle k, std::uint32_t i, wchar_t* n, std::uint32_t* c) override {
      if (++m_calls > kRunaway) return kErrorNoMoreItems;
      return inner().EnumKey(k, i, n, c);
    }
    int m_calls = 0;

   private:
    CMemoryRegistry& m_reg;
    int m_after;
    int m_values = 0;
  };
  struct CASE {
    int deleteBefore;      // the EnumValue call (1-based) before which the tree is deleted
    const wchar_t* text;   // the sections written
  };
  const CASE cases[] = {
      {2, L"\n\n[HKEY_CURRENT_USER\\Software\\W]\n\"v\"=\"1\"\n"},
      {4, L"\n\n[HKEY_CURRENT_USER\\Software\\W]\n\"v\"=\"1\"\n"
          L"\n\n[HKEY_CURRENT_USER\\Software\\W\\a]\n\"x\"=\"2\"\n"},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.deleteBefore);
    CMemoryPlatform machine;
    machine.registry().SetString(L"HKCU\\Software\\W", L"v", L"1");
    machine.registry().SetString(L"HKCU\\Software\\W\\a", L"x", L"2");
    machine.registry().SetString(L"HKCU\\Software\\W\\a", L"y", L"3");
    machine.registry().SetString(L"HKCU\\Software\\W\\b", L"z", L"4");
    CDeleteAfterValues deleting(machine.registry(), c.deleteBefore);
    CRepairBackups backups(machine.platform());
    ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
    EXPECT_EQ(BackupKey(deleting, kHkeyCurrentUser, L"Software\\W", backups.RegistryFile()),
              kErrorKeyDeleted);
    EXPECT_LT(deleting.m_calls, kRunaway);
    ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
    EXPECT_EQ(FileText(machine, kFirstRegName), std::wstring(L"REGEDIT4\n") + c.text);
    EXPECT_EQ(machine.registry().OpenHandleCount(), 0u);
  }
}

TEST_F(BackupFileTest, EachBackupIsOnDiskBeforeItReturns) {
  reg().SetString(L"HKCU\\Software\\F", L"v", L"1");
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
  const int afterOpen = files().FlushCount(kFirstRegName);
  EXPECT_GE(afterOpen, 1);  // the header
  ASSERT_EQ(BackupKey(reg(), kHkeyCurrentUser, L"Software\\F", backups.RegistryFile()),
            kErrorSuccess);
  EXPECT_EQ(files().FlushCount(kFirstRegName), afterOpen + 1);
  // What was flushed is in the file, while it is still open.
  EXPECT_EQ(FileText(m_machine, kFirstRegName),
            L"REGEDIT4\n\n\n[HKEY_CURRENT_USER\\Software\\F]\n\"v\"=\"1\"\n");
  ASSERT_EQ(BackupValue(reg(), kHkeyCurrentUser, L"Software\\F", L"v", backups.RegistryFile()),
            kErrorSuccess);
  EXPECT_EQ(files().FlushCount(kFirstRegName), afterOpen + 2);
  ASSERT_EQ(AppendDeleteValueSection(*backups.RegistryFile(),
                                     L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo\\blocked\\COM",
                                     L"4021"),
            kErrorSuccess);
  EXPECT_EQ(files().FlushCount(kFirstRegName), afterOpen + 3);
  EXPECT_EQ(FileText(m_machine, kFirstRegName),
            L"REGEDIT4\n\n\n[HKEY_CURRENT_USER\\Software\\F]\n\"v\"=\"1\"\n"
            L"\n\n[HKEY_CURRENT_USER\\Software\\F]\n\"v\"=\"1\"\n\n"
            L"\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo\\blocked\\COM]\n\"4021\"=-\n");
}

TEST_F(BackupFileTest, TurnsIntoTheUnicodeFormOnlyWhenASectionNeedsIt) {
  struct CASE {
    const char* what;
    std::wstring key;
    std::wstring name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    bool unicode;
  };
  const std::vector<CASE> cases = {
      {"code-page characters", L"Software\\Caf\u00e9", L"na\u00efve", kRegSz,
       ToUtf16LeBytes(L"\u00e9t\u00e9 \u20ac", true), false},
      {"empty expandable string", L"Software\\E", L"e", kRegExpandSz, {}, false},
      {"key name outside the code page", L"Software\\\u041a\u043b\u044e\u0447", L"v", kRegSz,
       ToUtf16LeBytes(L"x", true), true},
      {"value name outside the code page", L"Software\\N", L"\u03c0", kRegSz,
       ToUtf16LeBytes(L"x", true), true},
      {"string outside the code page", L"Software\\S", L"v", kRegSz,
       ToUtf16LeBytes(L"\u2603", true), true},
      {"expandable string", L"Software\\X", L"e", kRegExpandSz, ToUtf16LeBytes(L"%x", true), true},
      {"multi-string", L"Software\\M", L"m", kRegMultiSz, Bytes({0x61, 0, 0, 0, 0, 0}), true},
      {"string with a line break", L"Software\\L", L"l", kRegSz, ToUtf16LeBytes(L"a\nb", true),
       true},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    CMemoryPlatform machine;
    machine.registry().SetString(L"HKCU\\Software\\First", L"f", L"1");
    machine.registry().SetValueRaw(L"HKCU\\" + c.key, c.name, c.type, c.data);
    CRepairBackups backups(machine.platform());
    ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
    CBackupFile* file = backups.RegistryFile();
    ASSERT_EQ(BackupKey(machine.registry(), kHkeyCurrentUser, L"Software\\First", file),
              kErrorSuccess);
    ASSERT_EQ(BackupKey(machine.registry(), kHkeyCurrentUser, c.key, file), kErrorSuccess);
    EXPECT_EQ(file->IsUnicode(), c.unicode);
    ASSERT_EQ(BackupValue(machine.registry(), kHkeyCurrentUser, c.key, c.name, file),
              kErrorSuccess);
    ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
    const std::string bytes = *machine.files().ReadFile(kFirstRegName);
    EXPECT_EQ(HasBom(bytes), c.unicode);
    const std::wstring line = FormatValueLine(c.name, FormatValueData(c.type, c.data.data(), c.data.size()));
    // Everything written before the change of form is still there, unchanged.
    EXPECT_EQ(FileText(machine, kFirstRegName),
              std::wstring(c.unicode ? L"Windows Registry Editor Version 5.00" : L"REGEDIT4") +
                  L"\n\n\n[HKEY_CURRENT_USER\\Software\\First]\n\"f\"=\"1\"\n"
                  L"\n\n[HKEY_CURRENT_USER\\" + c.key + L"]\n" + line +
                  L"\n\n[HKEY_CURRENT_USER\\" + c.key + L"]\n" + line + L"\n");
    EXPECT_FALSE(machine.files().FileExists(std::wstring(kFirstRegName) + L".tmp"));
    EXPECT_EQ(machine.files().OpenFileCount(), 0u);
  }
}

TEST_F(BackupFileTest, TheUnicodeFormKeepsStringBytes) {
  reg().SetValueRaw(L"HKCU\\Software\\X", L"e", kRegExpandSz, Bytes({0x25, 0, 0x78, 0, 0, 0}));
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
  ASSERT_EQ(BackupKey(reg(), kHkeyCurrentUser, L"Software\\X", backups.RegistryFile()),
            kErrorSuccess);
  ASSERT_EQ(backups.EndRegistryBackup(1), kErrorSuccess);
  const std::string bytes = *files().ReadFile(kFirstRegName);
  const std::u16string expected =
      u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]"
      u"\r\n\"e\"=hex(2):25,00,78,00,00,00\r\n";
  ASSERT_EQ(bytes.size(), expected.size() * 2);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(static_cast<unsigned char>(bytes[2 * i]), expected[i] & 0xFF) << i;
    EXPECT_EQ(static_cast<unsigned char>(bytes[2 * i + 1]), expected[i] >> 8) << i;
  }
}

TEST_F(BackupFileTest, FileNamesComeFromTheLocalTimeInEnglish) {
  m_machine.clock().SetNow(1796581874);  // 2026-12-06 18:31:14
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
  // A second passes between the two: the shortcut backup still takes the registry file's time,
  // so a restore of the one finds the other.
  m_machine.clock().SetNow(1796581875);
  ASSERT_EQ(backups.OpenBackUpShrtctFile(), kErrorSuccess);
  EXPECT_EQ(backups.RegistryFilePath(), std::wstring(kBackupFolder) + L"\\RCBak_December_06_26_18_31_14.reg");
  EXPECT_EQ(backups.ShortcutFolderPath(),
            std::wstring(kBackupFolder) + L"\\QuarveloBak_December_06_26_18_31_14");
  EXPECT_EQ(backups.ShortcutListPath(),
            std::wstring(kBackupFolder) + L"\\QuarveloBak_December_06_26_18_31_14.bak");
  EXPECT_TRUE(files().IsDirectory(backups.ShortcutFolderPath()));
  EXPECT_TRUE(files().FileExists(backups.ShortcutListPath()));
  EXPECT_TRUE(m_machine.clock().Sleeps().empty());
  EXPECT_EQ(ShortcutListForBackup(kBackupFolder, L"RCBak_December_06_26_18_31_14"),
            backups.ShortcutListPath());
  EXPECT_EQ(ShortcutListForBackup(kBackupFolder, L"QuarveloBak_December_06_26_18_31_14"),
            backups.ShortcutListPath());
}

TEST_F(BackupFileTest, AnEarlierBackupIsNeverOverwrittenAndAttemptsAreBounded) {
  files().AddFile(kFirstRegName, "earlier repair");
  // The registry file's retry moves the clock to 10:30:01, where a shortcut list is in the way.
  files().AddFile(std::wstring(kBackupFolder) + L"\\QuarveloBak_June_15_11_10_30_01.bak",
                  "earlier list");
  {
    CRepairBackups backups(platform());
    ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
    EXPECT_EQ(backups.RegistryFilePath(),
              std::wstring(kBackupFolder) + L"\\RCBak_June_15_11_10_30_01.reg");
    ASSERT_EQ(backups.OpenBackUpShrtctFile(), kErrorSuccess);
    EXPECT_EQ(backups.ShortcutFolderPath(),
              std::wstring(kBackupFolder) + L"\\QuarveloBak_June_15_11_10_30_02");
    EXPECT_EQ(*files().ReadFile(kFirstRegName), "earlier repair");
    EXPECT_EQ(*files().ReadFile(std::wstring(kBackupFolder) +
                                L"\\QuarveloBak_June_15_11_10_30_01.bak"),
              "earlier list");
    EXPECT_EQ(m_machine.clock().Sleeps(), (std::vector<std::uint32_t>{1000, 1000}));
    ASSERT_EQ(backups.EndShortcutBackup(), kErrorSuccess);
    ASSERT_EQ(backups.EndRegistryBackup(0), kErrorSuccess);
  }
  // A backup folder that cannot be made (a file is in the way): a bounded number of attempts.
  CMemoryPlatform blocked;
  blocked.files().AddFile(L"C:\\ProgramData\\Quarvelo", "not a folder");
  CRepairBackups backups(blocked.platform());
  EXPECT_NE(backups.OpenBackUpRegistryFile(), kErrorSuccess);
  EXPECT_EQ(backups.RegistryFile(), nullptr);
  EXPECT_EQ(blocked.clock().Sleeps().size(), static_cast<std::size_t>(kBackupCreateAttempts - 1));
  EXPECT_NE(backups.OpenBackUpShrtctFile(), kErrorSuccess);
  EXPECT_EQ(blocked.clock().Sleeps().size(),
            static_cast<std::size_t>(2 * (kBackupCreateAttempts - 1)));
}

TEST_F(BackupFileTest, EndOfRepairKeepsOnlyFilesThatHoldSomething) {
  struct CASE {
    const char* what;
    bool moveShortcut;
    std::size_t registryRepaired;
    bool folderStays;
    bool registryFileStays;
  };
  const CASE cases[] = {
      {"nothing repaired", false, 0, false, false},
      {"registry only", false, 3, false, true},
      {"shortcuts only", true, 0, true, false},
      {"both", true, 1, true, true},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    CMemoryPlatform machine;
    machine.files().AddFile(L"C:\\users\\user\\Desktop\\Old.lnk", "link");
    CRepairBackups backups(machine.platform());
    ASSERT_EQ(backups.OpenBackUpRegistryFile(), kErrorSuccess);
    ASSERT_EQ(backups.OpenBackUpShrtctFile(), kErrorSuccess);
    if (c.moveShortcut) {
      ASSERT_EQ(MoveShortcutToBackup(machine.files(), L"C:\\users\\user\\Desktop\\Old.lnk",
                                     *backups.ShortcutBackup()),
                kErrorSuccess);
    }
    ASSERT_EQ(backups.EndShortcutBackup(), kErrorSuccess);
    ASSERT_EQ(backups.EndRegistryBackup(c.registryRepaired), kErrorSuccess);
    EXPECT_EQ(machine.files().IsDirectory(kFirstShortcutFolder), c.folderStays);
    EXPECT_EQ(machine.files().FileExists(std::wstring(kFirstShortcutFolder) + L".bak"),
              c.folderStays);
    EXPECT_EQ(machine.files().FileExists(kFirstRegName), c.registryFileStays);
    EXPECT_EQ(machine.files().OpenFileCount(), 0u);
  }
}

TEST_F(BackupFileTest, MovedShortcutsAreListedBeforeTheyMove) {
  files().AddFile(L"C:\\users\\user\\Desktop\\Old.lnk", "link");
  files().AddFile(L"C:\\Other\\Old.lnk", "same name");
  files().AddFile(L"C:\\Third\\old.lnk", "same name again");
  files().AddFile(L"C:\\a\\NoExtension", "one");
  files().AddFile(L"C:\\b\\NoExtension", "two");
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpShrtctFile(), kErrorSuccess);
  CShortcutBackup& backup = *backups.ShortcutBackup();
  const std::wstring folder = kFirstShortcutFolder;
  const std::wstring moved = folder + L"\\Old.lnk";
  EXPECT_EQ(MoveShortcutToBackup(files(), L"C:\\users\\user\\Desktop\\Old.lnk", backup),
            kErrorSuccess);
  EXPECT_EQ(*files().ReadFile(moved), "link");
  EXPECT_FALSE(files().FileExists(L"C:\\users\\user\\Desktop\\Old.lnk"));
  // Further shortcuts of the same name (names compare without case) get numbered names, and
  // their list lines say where they went.
  EXPECT_EQ(MoveShortcutToBackup(files(), L"C:\\Other\\Old.lnk", backup), kErrorSuccess);
  EXPECT_EQ(MoveShortcutToBackup(files(), L"C:\\Third\\old.lnk", backup), kErrorSuccess);
  EXPECT_EQ(MoveShortcutToBackup(files(), L"C:\\a\\NoExtension", backup), kErrorSuccess);
  EXPECT_EQ(MoveShortcutToBackup(files(), L"C:\\b\\NoExtension", backup), kErrorSuccess);
  EXPECT_EQ(*files().ReadFile(moved), "link");
  EXPECT_EQ(*files().ReadFile(folder + L"\\Old (2).lnk"), "same name");
  EXPECT_EQ(*files().ReadFile(folder + L"\\old (3).lnk"), "same name again");
  EXPECT_EQ(*files().ReadFile(folder + L"\\NoExtension (2)"), "two");
  EXPECT_EQ(MoveShortcutToBackup(files(), L"C:\\Gone.lnk", backup), kErrorFileNotFound);
  // A comma would split the list line in the wrong place: such a shortcut stays where it is.
  files().AddFile(L"C:\\c,d\\Comma.lnk", "comma");
  EXPECT_EQ(MoveShortcutToBackup(files(), L"C:\\c,d\\Comma.lnk", backup), kErrorBadPathname);
  EXPECT_EQ(*files().ReadFile(L"C:\\c,d\\Comma.lnk"), "comma");
  EXPECT_EQ(backup.MovedCount(), 5u);
  EXPECT_EQ(FileText(m_machine, backups.ShortcutListPath()),
            L"C:\\users\\user\\Desktop\\Old.lnk," + moved + L"\n" +
                L"C:\\Other\\Old.lnk," + folder + L"\\Old (2).lnk\n" +
                L"C:\\Third\\old.lnk," + folder + L"\\old (3).lnk\n" +
                L"C:\\a\\NoExtension," + folder + L"\\NoExtension\n" +
                L"C:\\b\\NoExtension," + folder + L"\\NoExtension (2)\n" +
                L"C:\\Gone.lnk," + folder + L"\\Gone.lnk\n");
  ASSERT_EQ(backups.EndShortcutBackup(), kErrorSuccess);
  EXPECT_FALSE(HasBom(*files().ReadFile(std::wstring(kFirstShortcutFolder) + L".bak")));
}

TEST_F(BackupFileTest, AShortcutPathOutsideTheCodePageIsListedExactly) {
  const std::wstring source = L"C:\\users\\user\\Desktop\\\u041f\u0443\u0441\u043a.lnk";
  files().AddFile(L"C:\\users\\user\\Desktop\\caf\u00e9.lnk", "first");
  files().AddFile(source, "link");
  CRepairBackups backups(platform());
  ASSERT_EQ(backups.OpenBackUpShrtctFile(), kErrorSuccess);
  ASSERT_EQ(MoveShortcutToBackup(files(), L"C:\\users\\user\\Desktop\\caf\u00e9.lnk",
                                 *backups.ShortcutBackup()),
            kErrorSuccess);
  ASSERT_EQ(MoveShortcutToBackup(files(), source, *backups.ShortcutBackup()), kErrorSuccess);
  ASSERT_EQ(backups.EndShortcutBackup(), kErrorSuccess);
  const std::wstring folder = kFirstShortcutFolder;
  EXPECT_TRUE(HasBom(*files().ReadFile(folder + L".bak")));
  EXPECT_EQ(FileText(m_machine, folder + L".bak"),
            L"C:\\users\\user\\Desktop\\caf\u00e9.lnk," + folder + L"\\caf\u00e9.lnk\n" +
                source + L"," + folder + L"\\\u041f\u0443\u0441\u043a.lnk\n");
}

}  // namespace
}  // namespace qv
