// The product data on the in-memory platform: the data folder prepared as the programs make it,
// and removed with everything in it but never through a folder link; in the program's own folder
// (no common application-data folder) only what the program put there; the product key removed
// unless a registry link is in it.
#include "app/product_data.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"
#include "platform/shell.h"

namespace qv {
namespace {

constexpr wchar_t kData[] = L"C:\\ProgramData\\Quarvelo";
constexpr wchar_t kProgram[] = L"C:\\Program Files\\Quarvelo";
constexpr wchar_t kKey[] = L"HKLM\\SOFTWARE\\Quarvelo";

TEST(ProductDataTest, PrepareMakesTheDataFolderOrSaysWhy) {
  CMemoryPlatform memory;
  DATA_FOLDER_PREPARATION prepared = PrepareProductDataFolder(memory.platform());
  EXPECT_EQ(prepared.folder, kData);
  EXPECT_EQ(prepared.error, kErrorSuccess);
  EXPECT_TRUE(memory.files().IsDirectory(kData));

  // A file where the folder belongs: the path all the same, and the failure.
  CMemoryPlatform blocked;
  blocked.files().AddFile(kData, "x");
  prepared = PrepareProductDataFolder(blocked.platform());
  EXPECT_EQ(prepared.folder, kData);
  EXPECT_NE(prepared.error, kErrorSuccess);
}

TEST(ProductDataTest, RemovalTakesTheFolderAndTheKeyButNeverWalksALink) {
  struct CASE {
    const char* name;
    bool commonAppData;  // the shell gives the common application-data folder
    bool folderLink;     // Backup\elsewhere is a junction to a folder holding a file
    bool registryLink;   // the product key holds a registry link
  };
  const CASE cases[] = {
      {"plain", true, false, false},
      {"folder link", true, true, false},
      {"registry link", true, false, true},
      {"program folder", false, false, false},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.name);
    CMemoryPlatform memory;
    if (!c.commonAppData) memory.shell().RemoveFolder(kCsidlCommonAppData);
    const std::wstring folder = c.commonAppData ? kData : kProgram;
    memory.files().AddFile(folder + L"\\Backup\\RCBak_1.reg", "REGEDIT4");
    memory.files().AddFile(folder + L"\\LOGS\\LOGS_1.log", "log");
    memory.files().AddFile(folder + L"\\ignore.wls", "1\r\nx\r\n");
    memory.files().AddFile(std::wstring(kProgram) + L"\\Quarvelo.exe", "MZ");
    if (c.folderLink) {
      memory.files().AddFile(folder + L"\\Backup\\elsewhere\\precious.txt", "keep");
      memory.files().MarkReparsePoint(folder + L"\\Backup\\elsewhere");
    }
    memory.registry().SetString(kKey, L"Splash", L"0");
    memory.registry().SetString(std::wstring(kKey) + L"\\blocked\\FontErrors", L"1", L"x");
    if (c.registryLink) {
      memory.registry().CreateLink(std::wstring(kKey) + L"\\link", L"HKLM\\SOFTWARE\\Other");
    }

    const PRODUCT_DATA_REMOVAL removed = RemoveProductData(memory.platform());
    EXPECT_EQ(removed.folder, folder);
    EXPECT_EQ(memory.files().FileExists(folder + L"\\Backup\\elsewhere\\precious.txt"),
              c.folderLink);
    EXPECT_EQ(removed.folderError != kErrorSuccess, c.folderLink);
    for (const wchar_t* part : {L"\\Backup\\RCBak_1.reg", L"\\LOGS", L"\\ignore.wls"}) {
      EXPECT_FALSE(memory.files().FileExists(folder + part)) << part;
    }
    EXPECT_EQ(memory.files().FileExists(kData), c.folderLink);
    EXPECT_TRUE(memory.files().FileExists(std::wstring(kProgram) + L"\\Quarvelo.exe"));
    EXPECT_EQ(removed.filesRemoved, 3u);
    EXPECT_EQ(memory.registry().KeyExists(kKey), c.registryLink);
    EXPECT_EQ(removed.keyError == kErrorReparsePointEncountered, c.registryLink);
  }
}

}  // namespace
}  // namespace qv
