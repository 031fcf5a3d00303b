// Root names, key-path parsing and the display abbreviation.
#include "engine/key_naming.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

TEST(KeyNaming, RootKeyNameKnowsTheSevenRootsAndNothingElse) {
  struct {
    RegHandle root;
    const wchar_t* name;
  } const cases[] = {
      {0x80000000u, L"HKEY_CLASSES_ROOT"},
      {0x80000001u, L"HKEY_CURRENT_USER"},
      {0x80000002u, L"HKEY_LOCAL_MACHINE"},
      {0x80000003u, L"HKEY_USERS"},
      {0x80000004u, L"HKEY_PERFORMANCE_DATA"},
      {0x80000005u, L"HKEY_CURRENT_CONFIG"},
      {0x80000006u, L"HKEY_DYN_DATA"},
      {0x80000007u, L""},
      {0x7FFFFFFFu, L""},
      {0, L""},
      {0x1234, L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RootKeyName(c.root), c.name) << std::hex << c.root;
  }
}

struct PARSE_CASE {
  std::wstring text;
  RegHandle root;
  std::size_t offset;
  const wchar_t* subkey;
};

std::wstring Blanks(std::size_t count) { return std::wstring(count, L' '); }

TEST(KeyNaming, ParseRootKeyFindsRootAndSubkey) {
  const PARSE_CASE cases[] = {
      // Abbreviations and full names, any case.
      {L"hklm\\Software", kHkeyLocalMachine, 5, L"Software"},
      {L"HKLM\\SOFTWARE\\Quarvelo", kHkeyLocalMachine, 5, L"SOFTWARE\\Quarvelo"},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo", kHkeyLocalMachine, 19, L"SOFTWARE\\Quarvelo"},
      {L"hKeY_lOcAl_MaChInE\\x", kHkeyLocalMachine, 19, L"x"},
      {L"HKEY_CLASSES_ROOT\\.txt", kHkeyClassesRoot, 18, L".txt"},
      {L"HKCR\\CLSID", kHkeyClassesRoot, 5, L"CLSID"},
      {L"HKEY_CURRENT_USER\\Software", kHkeyCurrentUser, 18, L"Software"},
      {L"hkcu\\x", kHkeyCurrentUser, 5, L"x"},
      {L"HKEY_USERS\\.DEFAULT", kHkeyUsers, 11, L".DEFAULT"},
      {L"HKU\\S-1-5-18", kHkeyUsers, 4, L"S-1-5-18"},
      {L"HKEY_PERFORMANCE_DATA\\Global", kHkeyPerformanceData, 22, L"Global"},
      {L"HKPD", kHkeyPerformanceData, 0, L""},
      {L"HKEY_CURRENT_CONFIG\\Software", kHkeyCurrentConfig, 20, L"Software"},
      {L"HKCC\\System", kHkeyCurrentConfig, 5, L"System"},
      {L"HKEY_DYN_DATA\\Config Manager", kHkeyDynData, 14, L"Config Manager"},
      {L"HKDD\\x", kHkeyDynData, 5, L"x"},
      // No subkey: the root alone, or a separator with nothing after it.
      {L"HKEY_LOCAL_MACHINE", kHkeyLocalMachine, 0, L""},
      {L"HKEY_LOCAL_MACHINE\\", kHkeyLocalMachine, 0, L""},
      {L"hklm/", kHkeyLocalMachine, 0, L""},
      // A forward slash works like a backslash; the rest of the path is not touched.
      {L"HKEY_CURRENT_USER/Software\\Run", kHkeyCurrentUser, 18, L"Software\\Run"},
      {L"HKLM/a/b", kHkeyLocalMachine, 5, L"a/b"},
      // Blanks around the root name are removed; the subkey still starts after the separator.
      {L"  HKCR  \\CLSID", kHkeyClassesRoot, 9, L"CLSID"},
      {L"HKLM \\Software", kHkeyLocalMachine, 6, L"Software"},
      {L" HKEY_USERS", kHkeyUsers, 0, L""},
      // Only blanks count: a tab is part of the name.
      {L"\tHKLM\\x", kNullRegHandle, 0, L""},
      // Names that are not roots.
      {L"HKLX\\Software", kNullRegHandle, 0, L""},
      {L"SOFTWARE\\Microsoft", kNullRegHandle, 0, L""},
      {L"HKEY_LOCAL_MACHINEX\\a", kNullRegHandle, 0, L""},
      {L"HK LM\\a", kNullRegHandle, 0, L""},
      {L"HKEY_CLASSES\\a", kNullRegHandle, 0, L""},
      {L"\\HKLM\\a", kNullRegHandle, 0, L""},
      {L"", kNullRegHandle, 0, L""},
      // The root name is looked for in the first 31 characters only.
      {L"HKLM" + Blanks(27) + L"\\Software", kHkeyLocalMachine, 32, L"Software"},
      {L"HKLM" + Blanks(40), kHkeyLocalMachine, 0, L""},
      {Blanks(27) + L"HKLM\\x", kHkeyLocalMachine, 32, L"x"},
      {Blanks(28) + L"HKLM\\x", kNullRegHandle, 0, L""},
      // A longer segment whose first 31 characters look like a root is not that root.
      {L"HKLM" + Blanks(27) + L"zz\\Software", kNullRegHandle, 0, L""},
  };
  for (const PARSE_CASE& c : cases) {
    SCOPED_TRACE(testing::Message() << "text '" << testing::PrintToString(c.text) << "'");
    const PARSED_KEY_PATH parsed = ParseRootKey(c.text);
    EXPECT_EQ(parsed.root, c.root);
    EXPECT_EQ(parsed.subkeyOffset, c.offset);
    EXPECT_EQ(SubkeyPath(c.text, parsed), c.subkey);
  }
}

TEST(KeyNaming, EveryFullNameParsesBackToItsRoot) {
  for (RegHandle root = kHkeyClassesRoot; root <= kHkeyDynData; ++root) {
    const std::wstring text = std::wstring(RootKeyName(root)) + L"\\Sub\\Key";
    const PARSED_KEY_PATH parsed = ParseRootKey(text);
    EXPECT_EQ(parsed.root, root) << std::hex << root;
    EXPECT_EQ(SubkeyPath(text, parsed), L"Sub\\Key");
  }
}

TEST(KeyNaming, AbbreviationShortensFourRootNamesWhereverTheyStand) {
  struct {
    const wchar_t* path;
    const wchar_t* shown;
  } const cases[] = {
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\x", L"HKLM\\SOFTWARE\\x"},
      {L"HKEY_CURRENT_USER\\Software\\Run", L"HKCU\\Software\\Run"},
      {L"HKEY_CLASSES_ROOT\\.txt", L"HKCR\\.txt"},
      {L"HKEY_USERS\\.DEFAULT", L"HKU\\.DEFAULT"},
      {L"HKEY_LOCAL_MACHINE\\a and HKEY_LOCAL_MACHINE\\b", L"HKLM\\a and HKLM\\b"},
      {L"HKEY_USERS\\x\\HKEY_CURRENT_USER", L"HKU\\x\\HKCU"},
      // Exact case only, and only these four.
      {L"hkey_local_machine\\x", L"hkey_local_machine\\x"},
      {L"HKEY_CURRENT_CONFIG\\x", L"HKEY_CURRENT_CONFIG\\x"},
      {L"HKEY_DYN_DATA", L"HKEY_DYN_DATA"},
      {L"HKEY_PERFORMANCE_DATA", L"HKEY_PERFORMANCE_DATA"},
      {L"C:\\Windows\\x.dll", L"C:\\Windows\\x.dll"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AbbreviateRootNames(c.path), c.shown);
  }
}

}  // namespace
}  // namespace qv
