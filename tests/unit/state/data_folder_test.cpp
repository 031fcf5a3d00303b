#include "state/data_folder.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"
#include "state/state_texts.h"

namespace qv {
namespace {

TEST(ProductDataFolder, CommonApplicationDataThenProductThenSubfolder) {
  struct Case {
    const wchar_t* commonFolder;  // null: the shell cannot give it
    const wchar_t* module;
    const wchar_t* subfolder;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"C:\\ProgramData", nullptr, kBackupSubfolder, L"C:\\ProgramData\\Quarvelo\\Backup"},
      {L"C:\\ProgramData", nullptr, kLogSubfolder, L"C:\\ProgramData\\Quarvelo\\LOGS"},
      {L"C:\\ProgramData\\\\", nullptr, L"Backup\\", L"C:\\ProgramData\\Quarvelo\\Backup"},
      {L"C:\\ProgramData", nullptr, L"", L"C:\\ProgramData\\Quarvelo"},
      {L"C:\\Fresh\\Common", nullptr, kLogSubfolder, L"C:\\Fresh\\Common\\Quarvelo\\LOGS"},
      // Fallback: the program's folder, then the subfolder, no product level.
      {nullptr, L"C:\\Program Files\\Quarvelo\\Quarvelo.exe", kBackupSubfolder,
       L"C:\\Program Files\\Quarvelo\\Backup"},
      {nullptr, L"C:\\Tools\\qv.exe", kLogSubfolder, L"C:\\Tools\\LOGS"},
      {nullptr, L"C:\\qv.exe", kLogSubfolder, L"C:\\LOGS"},
      {nullptr, L"C:\\Tools\\qv.exe", L"", L"C:\\Tools"},
  };
  for (const Case& c : cases) {
    CMemoryPlatform machine;
    if (c.commonFolder == nullptr) {
      machine.shell().RemoveFolder(kCsidlCommonAppData);
    } else {
      machine.shell().SetFolder(kCsidlCommonAppData, c.commonFolder);
    }
    if (c.module != nullptr) {
      machine.shell().SetModuleFileName(c.module);
      machine.files().AddFile(c.module);
    }
    ErrorCode error = -1;
    const std::wstring folder =
        ProductDataFolder(machine.shell(), machine.files(), c.subfolder, &error);
    EXPECT_EQ(folder, c.expected);
    EXPECT_EQ(error, kErrorSuccess) << folder;
    EXPECT_TRUE(machine.files().IsDirectory(folder)) << folder << " was created";
    // Asking again finds it all in place.
    EXPECT_EQ(ProductDataFolder(machine.shell(), machine.files(), c.subfolder, &error), folder);
    EXPECT_EQ(error, kErrorSuccess);
  }
}

TEST(ProductDataFolder, ALevelThatCannotBeMadeStopsTheCreation) {
  CMemoryPlatform machine;
  machine.files().AddFile(L"C:\\ProgramData\\Quarvelo");  // a file where the folder belongs
  ErrorCode error = kErrorSuccess;
  const std::wstring folder =
      ProductDataFolder(machine.shell(), machine.files(), kBackupSubfolder, &error);
  EXPECT_EQ(folder, L"C:\\ProgramData\\Quarvelo\\Backup") << "the path is named all the same";
  EXPECT_NE(error, kErrorSuccess);
  EXPECT_FALSE(machine.files().IsDirectory(L"C:\\ProgramData\\Quarvelo"));
  EXPECT_FALSE(machine.files().FileExists(folder));
}

TEST(ProgramFolder, ModulePathWithoutItsName) {
  CMemoryPlatform machine;
  EXPECT_EQ(ProgramFolder(machine.shell()), L"C:\\Program Files\\Quarvelo");
  machine.shell().SetModuleFileName(L"qv.exe");
  EXPECT_EQ(ProgramFolder(machine.shell()), L"");
  EXPECT_EQ(StripTrailingBackslashes(L"C:\\a\\\\"), L"C:\\a");
  EXPECT_EQ(StripTrailingBackslashes(L"\\"), L"");
}

}  // namespace
}  // namespace qv
