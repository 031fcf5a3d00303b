// Path references on the in-memory platform: the shared case table, plus the cases that need a
// folder table or a shell of their own.
#include "engine/path_references.h"
#include "engine/reference_reading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text_case.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/forwarding_shell.h"
#include "tests/unit/engine/path_reference_cases.h"

namespace qv {
namespace {

TEST(PathReferences, SharedCasesOnTheMemoryPlatform) {
  CMemoryPlatform memory;
  const CFolderTable folders = CFolderTable::Resolve(memory.shell());
  for (const auto& [name, value] : test::PathCaseEnvironment(folders)) {
    memory.shell().SetEnvironment(name, value);
  }
  ASSERT_EQ(test::CreatePathCaseFiles(memory.files(), folders), kErrorSuccess);
  test::RunPathReferenceCases(memory.platform(), folders);
}

// A folder table where every folder has a path of its own.
CFolderTable DistinctFolders() {
  CFolderTable folders;
  for (int i = 0; i < kEngineFolderCount; ++i) {
    folders.SetPath(static_cast<ENGINE_FOLDER>(i), L"X:\\Folder" + std::to_wstring(i));
  }
  return folders;
}

TEST(PathReferences, EachPlaceholderStandsForItsFolder) {
  struct {
    const wchar_t* marker;
    ENGINE_FOLDER folder;
  } const cases[] = {
      {L"%systemroot%", FOLDER_WINDOWS},
      {L"%profile%", FOLDER_PROFILE},
      {L"%temp%", FOLDER_TEMP},
      {L"%windir%", FOLDER_WINDOWS},
      {L"%window%", FOLDER_WINDOWS},
      {L"%program_files%", FOLDER_PROGRAM_FILES},
      {L"%common_programs%", FOLDER_COMMON_FILES},
      {L"%autostart%", FOLDER_STARTUP},
      {L"%desktopdirectory%", FOLDER_DESKTOP_DIRECTORY},
      {L"%appdata%", FOLDER_APPDATA},
      {L"%startup%", FOLDER_PROGRAMS},
      {L"%common_startup%", FOLDER_COMMON_STARTUP},
      {L"%startmenu%", FOLDER_START_MENU},
      {L"%common_startmenu%", FOLDER_COMMON_START_MENU},
      {L"%cookie%", FOLDER_COOKIES},
      {L"%system%", FOLDER_SYSTEM},
      {L"%windows%", FOLDER_WINDOWS},
      {L"%favoriztes%", FOLDER_FAVORITES},
  };
  const CFolderTable folders = DistinctFolders();
  ASSERT_EQ(std::size(cases), kPlaceholders.size());
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.marker)));
    const std::wstring expected = folders.Path(c.folder) + L"\\file.txt";
    EXPECT_EQ(ExpandPlaceholders(std::wstring(c.marker) + L"\\File.TXT", folders), expected);
    EXPECT_EQ(ExpandPlaceholders(ToUpper(c.marker) + L"\\file.txt", folders), expected);
  }
}

TEST(PathReferences, ExpandPlaceholdersReplacesEveryOccurrenceOnce) {
  CFolderTable folders = DistinctFolders();
  struct {
    const wchar_t* text;
    const wchar_t* expected;
  } const cases[] = {
      {L"%TEMP%\\a;%temp%\\B", L"X:\\Folder11\\a;X:\\Folder11\\b"},
      {L"%Favorites%\\x", L"%favorites%\\x"},  // only the misspelt marker is known
      {L"%FOO%\\\x00c9T\x00c9", L"%foo%\\\x00e9t\x00e9"},
      {L"%temp", L"%temp"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandPlaceholders(c.text, folders), c.expected)
        << testing::PrintToString(std::wstring(c.text));
  }

  // A folder whose path contains its own marker is inserted once, not again and again; an
  // unresolved folder removes its marker.
  folders.SetPath(FOLDER_TEMP, L"C:\\%temp%\\Deeper");
  folders.SetPath(FOLDER_COOKIES, L"");
  EXPECT_EQ(ExpandPlaceholders(L"%temp%\\x|%cookie%\\y", folders), L"C:\\%temp%\\Deeper\\x|\\y");
}

TEST(PathReferences, ExtractCommandPathKeepsThePathOfFolderAndRegsvr32Commands) {
  struct {
    std::wstring text;
    std::wstring expected;
  } const cases[] = {
      {L"regsvr32 /s \"C:\\Windows\\x.dll\"", L"C:\\Windows\\x.dll"},
      {L"Folder:\"D:\\Data\"", L"D:\\Data"},
      {L"Folder:D:\\Data", L"D:\\Data"},
      // After the first colon of the whole text, wherever "Folder:" stands.
      {L"C:\\x Folder:y", L"\\x Folder:y"},
      {L"Folder:", L""},
      // Leading quotes only right after the cut: a blank in front keeps the quote.
      {L"Folder: \"D:\\Data\"", L" \"D:\\Data"},
      {L"regsvr32 \"C:\\a b\\x.ocx\"\"\"", L"C:\\a b\\x.ocx"},
      {L"ssregsvr32 \"c:\\y\"", L"c:\\y"},
      {L"regsvr32 c:\\x.dll", L" c:\\x.dll"},
      // The program name is removed by its characters, stopping at the first other one.
      {L"regsvr32.exe /s x.dll", L".exe /s x.dll"},
      // Matches are case-sensitive; anything else passes unchanged, quotes included.
      {L"REGSVR32 \"c:\\x.dll\"", L"REGSVR32 \"c:\\x.dll\""},
      {L"folder:\"x\"", L"folder:\"x\""},
      {L"\"C:\\app.exe\" /x", L"\"C:\\app.exe\" /x"},
      {L"", L""},
      // At most 260 characters, counted after the quotes are gone.
      {std::wstring(300, L'a'), std::wstring(260, L'a')},
      {L"Folder:\"" + std::wstring(300, L'b') + L"\"", std::wstring(260, L'b')},
      // A character outside the basic plane takes two of the 260 and is never split.
      {std::wstring(259, L'c') + L"\U0001F600", std::wstring(259, L'c')},
      {std::wstring(258, L'c') + L"\U0001F600z", std::wstring(258, L'c') + L"\U0001F600"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractCommandPath(c.text), c.expected) << testing::PrintToString(c.text);
  }
}

TEST(PathReferences, PathTokenLengthIsCountedInUtf16Units) {
  CMemoryPlatform memory;
  // 3 + 2 * 129 = 261 code units: too long to judge in both builds, whatever wchar_t's size.
  std::wstring token = L"c:\\";
  for (int i = 0; i < 129; ++i) token += L"\U0001F600";
  EXPECT_TRUE(PathTokenExists(token, memory.platform()));
  // 36 + 2 * 112 = 260 units before the expansion, 227 after it: still too long.
  memory.shell().SetEnvironment(L"QV_SHORT_VALUE_BEHIND_A_LONG_NAME", L"c:");
  token = L"%QV_SHORT_VALUE_BEHIND_A_LONG_NAME%\\";
  for (int i = 0; i < 112; ++i) token += L"\U0001F600";
  EXPECT_TRUE(PathTokenExists(token, memory.platform()));
  // 3 + 2 * 127 = 257 units: judged, and missing.
  token = L"c:\\";
  for (int i = 0; i < 127; ++i) token += L"\U0001F600";
  EXPECT_FALSE(PathTokenExists(token, memory.platform()));
}

// A shell that records the order of the folder requests.
class CRecordingShell final : public test::CForwardingShell {
 public:
  using CForwardingShell::CForwardingShell;
  ErrorCode GetFolderPath(int csidl, std::wstring* path) override {
    calls.push_back(csidl);
    return CForwardingShell::GetFolderPath(csidl, path);
  }
  ErrorCode GetSpecialFolderPath(int csidl, bool create, std::wstring* path) override {
    calls.push_back(1000 + csidl);
    return CForwardingShell::GetSpecialFolderPath(csidl, create, path);
  }
  std::uint32_t ExpandEnvironment(std::wstring_view text, std::uint32_t capacity,
                                  std::wstring* expanded) override {
    calls.push_back(-1);
    expandedTexts.emplace_back(text);
    capacities.push_back(capacity);
    return CForwardingShell::ExpandEnvironment(text, capacity, expanded);
  }

  std::vector<int> calls;  // CSIDLs; -1 for an environment expansion
  std::vector<std::wstring> expandedTexts;
  std::vector<std::uint32_t> capacities;
};

TEST(PathReferences, FolderTableIsResolvedInItsOrderWithTempFromTheEnvironment) {
  CMemoryShell shell;
  const int csidls[] = {0x1A, 0x07, 0x2B, 0x10, 0x06, 0x26, 0x02, 0x0B,
                        0x16, 0x18, 0x25, -1,   0x28, 0x24, 0x21};
  for (int csidl : csidls) {
    if (csidl >= 0) shell.SetFolder(csidl, L"C:\\Csidl" + std::to_wstring(csidl));
  }
  shell.SetEnvironment(L"TEMP", L"C:\\Tmp");
  CRecordingShell recording(shell);

  const CFolderTable folders = CFolderTable::Resolve(recording);

  EXPECT_EQ(recording.calls, std::vector<int>(std::begin(csidls), std::end(csidls)));
  ASSERT_EQ(recording.expandedTexts.size(), 1u);
  EXPECT_EQ(recording.expandedTexts[0], L"%temp%");
  EXPECT_EQ(recording.capacities[0], 260u);
  for (int i = 0; i < kEngineFolderCount; ++i) {
    const auto folder = static_cast<ENGINE_FOLDER>(i);
    const int csidl = csidls[i];
    EXPECT_EQ(FolderCsidl(folder), csidl) << i;
    EXPECT_EQ(folders.Path(folder), csidl < 0 ? L"C:\\Tmp" : L"C:\\Csidl" + std::to_wstring(csidl))
        << i;
  }
}

TEST(PathReferences, UnresolvedFoldersAreEmpty) {
  struct {
    const char* what;
    std::wstring temp;  // empty: TEMP not set
    std::wstring cookies;  // empty: the shell does not know the folder
    std::wstring expectedTemp;
    std::wstring expectedCookies;
  } const cases[] = {
      {"all known", L"C:\\Tmp", L"C:\\Cookies", L"C:\\Tmp", L"C:\\Cookies"},
      {"neither known", L"", L"", L"", L""},
      {"259 characters fit", L"C:\\" + std::wstring(256, L't'), L"C:\\" + std::wstring(256, L'c'),
       L"C:\\" + std::wstring(256, L't'), L"C:\\" + std::wstring(256, L'c')},
      {"260 characters do not", L"C:\\" + std::wstring(257, L't'), L"C:\\" + std::wstring(257, L'c'),
       L"", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CMemoryShell shell;
    if (!c.temp.empty()) shell.SetEnvironment(L"TEMP", c.temp);
    if (!c.cookies.empty()) shell.SetFolder(kCsidlCookies, c.cookies);
    const CFolderTable folders = CFolderTable::Resolve(shell);
    EXPECT_EQ(folders.Path(FOLDER_TEMP), c.expectedTemp);
    EXPECT_EQ(folders.Path(FOLDER_COOKIES), c.expectedCookies);
  }
}

TEST(PathReferences, FolderTableOfTheMemoryMachine) {
  CMemoryPlatform memory;
  const CFolderTable folders = CFolderTable::Resolve(memory.shell());
  EXPECT_EQ(folders.Path(FOLDER_WINDOWS), CMemoryPlatform::kWindowsFolder);
  EXPECT_EQ(folders.Path(FOLDER_SYSTEM), CMemoryPlatform::kSystemFolder);
  EXPECT_EQ(folders.Path(FOLDER_TEMP), CMemoryPlatform::kTempFolder);
  EXPECT_EQ(folders.Path(FOLDER_COMMON_FILES), CMemoryPlatform::kCommonFilesFolder);
  EXPECT_EQ(folders.Path(FOLDER_PROFILE), CMemoryPlatform::kProfileFolder);
  EXPECT_EQ(folders.Path(FOLDER_APPDATA), CMemoryPlatform::kAppDataFolder);
}

}  // namespace
}  // namespace qv
