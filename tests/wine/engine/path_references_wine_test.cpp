// The shared path-reference cases on the real Win32 file system and shell, against files made on
// the throwaway prefix's C: drive; and the engine's case conversion against the system's.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "engine/path_references.h"
#include "base/text_case.h"
#include "platform/win32/win32_platform.h"
#include "tests/unit/engine/path_reference_cases.h"

namespace qv {
namespace {

TEST(PathReferencesOnWindows, SharedCasesOnRealFiles) {
  CWin32Platform win32;
  const CFolderTable folders = CFolderTable::Resolve(win32.shell());
  ASSERT_FALSE(folders.Path(FOLDER_WINDOWS).empty());
  ASSERT_FALSE(folders.Path(FOLDER_TEMP).empty());
  for (const auto& [name, value] : test::PathCaseEnvironment(folders)) {
    ASSERT_TRUE(SetEnvironmentVariableW(name.c_str(), value.c_str())) << GetLastError();
  }
  ASSERT_EQ(test::CreatePathCaseFiles(win32.files(), folders), kErrorSuccess);
  test::RunPathReferenceCases(win32.platform(), folders);
}

TEST(PathReferencesOnWindows, FolderTableComesFromTheShellAndTheEnvironment) {
  CWin32Platform win32;
  const CFolderTable folders = CFolderTable::Resolve(win32.shell());
  for (int i = 0; i < kEngineFolderCount; ++i) {
    const auto folder = static_cast<ENGINE_FOLDER>(i);
    if (folder == FOLDER_TEMP) continue;
    wchar_t path[MAX_PATH] = {};
    const HRESULT hr = SHGetFolderPathW(nullptr, FolderCsidl(folder), nullptr, 0, path);
    EXPECT_EQ(folders.Path(folder), SUCCEEDED(hr) ? std::wstring(path) : std::wstring())
        << "folder " << i;
  }
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH), 0u);
  EXPECT_EQ(folders.Path(FOLDER_TEMP), temp);
  // The folders every scan relies on exist in a fresh prefix.
  for (ENGINE_FOLDER folder : {FOLDER_WINDOWS, FOLDER_SYSTEM, FOLDER_PROGRAM_FILES,
                               FOLDER_COMMON_FILES, FOLDER_PROFILE, FOLDER_APPDATA}) {
    EXPECT_FALSE(folders.Path(folder).empty()) << "folder " << static_cast<int>(folder);
  }
}

TEST(TextCaseOnWindows, AgreesWithTheSystemForTheWholePlane) {
  // The generated table must still be the system's: every unit but the surrogates.
  std::vector<wchar_t> characters;
  for (unsigned c = 1; c <= 0xFFFF; ++c) {
    if (c < 0xD800 || c > 0xDFFF) characters.push_back(static_cast<wchar_t>(c));
  }
  for (wchar_t c : characters) {
    wchar_t upper = c;
    wchar_t lower = c;
    CharUpperBuffW(&upper, 1);
    CharLowerBuffW(&lower, 1);
    EXPECT_EQ(ToUpperChar(c), upper) << std::hex << static_cast<unsigned>(c);
    EXPECT_EQ(ToLowerChar(c), lower) << std::hex << static_cast<unsigned>(c);
  }
}

}  // namespace
}  // namespace qv
