// Behaviour of the in-memory file system beyond the shared contract: test helpers, drives,
// relative paths, the search list, renames and bookkeeping of open files.
#include "platform/memory/memory_file_system.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "base/utf16.h"

#include "base/utf16.h"

namespace qv {
namespace {

TEST(MemoryFileSystem, HelpersCreateFoldersFilesAndDrives) {
  CMemoryFileSystem fs;
  fs.AddFile(L"C:\\App\\Sub\\app.exe", "MZ");
  fs.AddFolder(L"D:\\Data\\Empty");
  EXPECT_TRUE(fs.IsDirectory(L"c:\\app\\sub"));
  EXPECT_EQ(fs.ReadFile(L"C:\\APP\\SUB\\APP.EXE"), "MZ");
  EXPECT_FALSE(fs.ReadFile(L"C:\\App").has_value());  // a folder
  EXPECT_FALSE(fs.ReadFile(L"C:\\App\\none").has_value());
  EXPECT_TRUE(fs.FileExists(L"D:\\Data\\Empty"));
  EXPECT_FALSE(fs.FileExists(L"E:\\"));
  fs.AddFile(L"C:\\App\\Sub\\app.exe", "new");
  EXPECT_EQ(fs.ReadFile(L"C:\\App\\Sub\\app.exe"), "new");
  fs.AddFile(L"C:\\App\\b.txt");
  fs.AddFile(L"C:\\App\\A.txt");
  EXPECT_EQ(fs.ListFolder(L"C:\\App"), (std::vector<std::wstring>{L"A.txt", L"b.txt", L"Sub"}));
  EXPECT_THROW(fs.AddFile(L"C:\\App\\b.txt\\x"), std::invalid_argument);  // a file in the way
  EXPECT_THROW(fs.AddFile(L"C:\\App"), std::invalid_argument);           // a folder
  EXPECT_THROW(fs.ListFolder(L"C:\\App\\b.txt"), std::invalid_argument);
  EXPECT_THROW(fs.AddDrive(L'1'), std::invalid_argument);
}

TEST(MemoryFileSystem, RelativePathsStartAtTheCurrentFolderAndUncPathsNameNothing) {
  CMemoryFileSystem fs;
  fs.AddFile(L"C:\\Work\\here.txt");
  fs.AddFile(L"C:\\top.txt");
  fs.SetCurrentFolder(L"C:\\Work");
  EXPECT_TRUE(fs.FileExists(L"here.txt"));
  EXPECT_TRUE(fs.FileExists(L"..\\top.txt"));
  EXPECT_TRUE(fs.FileExists(L"\\top.txt"));
  EXPECT_TRUE(fs.FileExists(L"C:..\\..\\..\\top.txt"));  // ".." stops at the root
  EXPECT_FALSE(fs.FileExists(L"\\\\server\\share\\top.txt"));
  EXPECT_FALSE(fs.FileExists(L"C:\\*.txt"));
  EXPECT_FALSE(fs.FileExists(L""));
}

TEST(MemoryFileSystem, FindOnPathSearchesTheConfiguredFoldersInOrder) {
  CMemoryFileSystem fs;
  fs.AddFile(L"C:\\First\\tool.exe");
  fs.AddFile(L"C:\\Second\\tool.exe");
  fs.AddFile(L"C:\\Second\\other.exe");
  fs.SetSearchFolders({L"C:\\First", L"C:\\Second\\"});
  std::wstring path = L"tool.exe";
  ASSERT_TRUE(fs.FindOnPath(&path));
  EXPECT_EQ(path, L"C:\\First\\tool.exe");
  path = L"other.exe";
  ASSERT_TRUE(fs.FindOnPath(&path));
  EXPECT_EQ(path, L"C:\\Second\\other.exe");
  path = L"";
  EXPECT_FALSE(fs.FindOnPath(&path));
  EXPECT_FALSE(fs.FindOnPath(nullptr));
}

TEST(MemoryFileSystem, RenamesAndMovesKeepContentAndRefuseLoops) {
  CMemoryFileSystem fs;
  fs.AddFile(L"C:\\d\\a.txt", "text");
  EXPECT_EQ(fs.MovePath(L"C:\\d\\a.txt", L"C:\\d\\A.TXT"), kErrorSuccess);  // case only
  EXPECT_EQ(fs.ListFolder(L"C:\\d"), std::vector<std::wstring>{L"A.TXT"});
  EXPECT_EQ(fs.MovePath(L"C:\\d", L"C:\\d\\inner"), kErrorAccessDenied);
  EXPECT_EQ(fs.MovePath(L"C:\\", L"C:\\x"), kErrorAccessDenied);
  EXPECT_EQ(fs.RemoveFolder(L"C:\\"), kErrorAccessDenied);
  fs.AddFolder(L"D:\\");
  EXPECT_EQ(fs.MovePath(L"C:\\d", L"D:\\d"), kErrorSuccess);
  EXPECT_EQ(fs.ReadFile(L"D:\\d\\a.txt"), "text");
}

// A link leads into its target wherever it stands in a path; moving by handle goes only where
// the paths say, so a link on the way of either path stops it.
TEST(MemoryFileSystem, LinksLeadIntoTheirTargetAndAMoveByHandleNeverPassesOne) {
  CMemoryFileSystem fs;
  fs.AddFile(L"C:\\Windows\\System32\\kernel.lnk", "system");
  fs.AddFile(L"C:\\Desk\\a.lnk", "a");
  fs.MakeLink(L"C:\\Desk\\Sys", L"C:\\Windows\\System32");
  fs.MakeLink(L"C:\\Loop", L"C:\\Loop");
  EXPECT_EQ(fs.ReadFile(L"C:\\Desk\\Sys\\kernel.lnk"), "system");
  EXPECT_TRUE(fs.IsDirectory(L"C:\\Desk\\Sys"));
  EXPECT_FALSE(fs.FileExists(L"C:\\Loop\\x"));
  std::vector<CFindData> found;
  ASSERT_EQ(fs.FindFiles(L"C:\\Desk\\Sys", &found), kErrorSuccess);
  EXPECT_TRUE(found.at(0).reparsePoint && found.at(0).directory);
  struct {
    const wchar_t* from;
    const wchar_t* to;
    ErrorCode expected;
  } const cases[] = {
      {L"C:\\Desk\\Sys\\kernel.lnk", L"C:\\Desk\\k.lnk", kErrorStoppedOnSymlink},
      {L"C:\\Desk\\a.lnk", L"C:\\Desk\\Sys\\a.lnk", kErrorStoppedOnSymlink},
      {L"C:\\Desk\\a.lnk", L"C:\\Loop\\a.lnk", kErrorPathNotFound},
      {L"C:\\Desk\\.\\a.lnk", L"C:\\b.lnk", kErrorBadPathname},
      {L"C:\\Desk\\a.lnk", L"C:\\Windows\\System32\\kernel.lnk", kErrorAlreadyExists},
      {L"C:\\DESK\\A.LNK", L"C:\\b.lnk", kErrorSuccess},  // names compare without case
      {L"C:\\Desk\\Sys", L"C:\\Sys", kErrorSuccess},      // the link itself moves
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fs.MoveByHandle(c.from, c.to), c.expected) << ToUtf8(c.from) << " " << ToUtf8(c.to);
  }
  EXPECT_EQ(fs.ReadFile(L"C:\\b.lnk"), "a");
  EXPECT_EQ(fs.ReadFile(L"C:\\Sys\\kernel.lnk"), "system");
  EXPECT_EQ(fs.ListFolder(L"C:\\Windows\\System32"), std::vector<std::wstring>{L"kernel.lnk"});
  EXPECT_EQ(fs.ListFolder(L"C:\\Desk"), std::vector<std::wstring>{});
}

TEST(MemoryFileSystem, OpenFilesAreCountedFlushesRecordedAndFoldersWithOpenFilesStay) {
  CMemoryFileSystem fs;
  fs.AddFolder(L"C:\\logs");
  std::unique_ptr<IFile> file;
  ASSERT_EQ(fs.OpenFile(L"C:\\logs\\a.log", FileOpenMode::kCreateAlways,
                        FileShareMode::kDenyWrite, &file),
            kErrorSuccess);
  EXPECT_EQ(fs.OpenFileCount(), 1u);
  ASSERT_EQ(file->Write("x", 1), kErrorSuccess);
  ASSERT_EQ(file->Flush(), kErrorSuccess);
  ASSERT_EQ(file->Flush(), kErrorSuccess);
  EXPECT_EQ(fs.FlushCount(L"C:\\logs\\a.log"), 2);
  EXPECT_EQ(fs.MovePath(L"C:\\logs", L"C:\\old"), kErrorSharingViolation);
  fs.AddFile(L"C:\\other.log", "o");
  EXPECT_EQ(fs.ReplaceFile(L"C:\\other.log", L"C:\\logs\\a.log"), kErrorSharingViolation);
  file.reset();
  EXPECT_EQ(fs.OpenFileCount(), 0u);
  EXPECT_EQ(fs.ReplaceFile(L"C:\\other.log", L"C:\\logs\\a.log"), kErrorSuccess);
  EXPECT_EQ(fs.ReadFile(L"C:\\logs\\a.log"), "o");
}

TEST(MemoryFileSystem, AnOpenFileMayOutliveItsFileSystem) {
  std::unique_ptr<IFile> file;
  {
    CMemoryFileSystem fs;
    ASSERT_EQ(fs.OpenFile(L"C:\\f.txt", FileOpenMode::kAppend, FileShareMode::kShareAll, &file),
              kErrorSuccess);
  }
  EXPECT_EQ(file->Write("late", 4), kErrorSuccess);
  std::string rest;
  EXPECT_EQ(file->ReadAll(&rest), kErrorSuccess);
  EXPECT_EQ(rest, "");
}

TEST(MemoryFileSystem, OpeningIntoAPointerThatHoldsAFileClosesThatFile) {
  CMemoryFileSystem fs;
  std::unique_ptr<IFile> file;
  ASSERT_EQ(fs.OpenFile(L"C:\\a.txt", FileOpenMode::kCreateAlways, FileShareMode::kDenyWrite,
                        &file),
            kErrorSuccess);
  ASSERT_EQ(file->Write("a", 1), kErrorSuccess);
  // The file the pointer held is closed on the way (taking the file system's lock to do so).
  ASSERT_EQ(fs.OpenFile(L"C:\\b.txt", FileOpenMode::kCreateAlways, FileShareMode::kDenyWrite,
                        &file),
            kErrorSuccess);
  EXPECT_EQ(fs.OpenFileCount(), 1u);
  ASSERT_EQ(file->Write("b", 1), kErrorSuccess);
  std::unique_ptr<IFile> again;
  EXPECT_EQ(fs.OpenFile(L"C:\\a.txt", FileOpenMode::kAppend, FileShareMode::kDenyWrite, &again),
            kErrorSuccess);
  again.reset();
  file.reset();
  EXPECT_EQ(fs.ReadFile(L"C:\\a.txt"), "a");
  EXPECT_EQ(fs.ReadFile(L"C:\\b.txt"), "b");
  EXPECT_EQ(fs.OpenFileCount(), 0u);
}

TEST(MemoryFileSystem, ListingsComeSortedWithoutCase) {
  CMemoryFileSystem fs;
  for (const wchar_t* name : {L"b.txt", L"A_b.txt", L"ab.txt", L"C.txt"}) {
    fs.AddFile(std::wstring(L"C:\\s\\") + name);
  }
  std::vector<CFindData> entries;
  ASSERT_EQ(fs.FindFiles(L"C:\\s\\*.txt", &entries), kErrorSuccess);
  std::vector<std::wstring> names;
  for (const auto& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"ab.txt", L"A_b.txt", L"b.txt", L"C.txt"}));
  EXPECT_EQ(fs.FindFiles(L"C:\\s\\*.txt", nullptr), kErrorInvalidParameter);
}

// What the trust rules ask of the in-memory machine: owners, reparse points, access lists and
// elevation, each set by a helper and seen through the seam.
TEST(MemoryFileSystem, OwnersReparsePointsAndAccessListsAreModelled) {
  CMemoryFileSystem fs;
  fs.AddFile(L"C:\\d\\planted.txt", "x");
  fs.SetOwner(L"C:\\d\\planted.txt", FileOwner::kOther);
  fs.AddFolder(L"C:\\d\\link");
  fs.MarkReparsePoint(L"C:\\d\\link");
  fs.AddFile(L"C:\\d\\linkfile.txt", "y");
  fs.MarkReparsePoint(L"C:\\d\\linkfile.txt");
  ASSERT_EQ(fs.MakeProtectedDirectory(L"C:\\d\\closed"), kErrorSuccess);
  ASSERT_EQ(fs.MakeDirectory(L"C:\\d\\open"), kErrorSuccess);
  fs.SetNewEntryOwner(FileOwner::kCurrentUser);
  fs.AddFile(L"C:\\d\\mine.txt");

  struct {
    const wchar_t* path;
    FileOwner owner;
    bool reparsePoint;
    bool adminsOnly;
  } cases[] = {
      {L"C:\\d\\planted.txt", FileOwner::kOther, false, false},
      {L"C:\\d\\link", FileOwner::kAdministrators, true, false},
      {L"C:\\d\\closed", FileOwner::kAdministrators, false, true},
      {L"C:\\d\\open", FileOwner::kAdministrators, false, false},
      {L"C:\\d\\mine.txt", FileOwner::kCurrentUser, false, false},
  };
  for (const auto& c : cases) {
    CPathInfo info;
    ASSERT_EQ(fs.QueryPathInfo(c.path, &info), kErrorSuccess);
    EXPECT_EQ(info.owner, c.owner) << ToUtf8(c.path);
    EXPECT_EQ(info.reparsePoint, c.reparsePoint) << ToUtf8(c.path);
    EXPECT_EQ(info.adminsOnly, c.adminsOnly) << ToUtf8(c.path);
  }

  std::unique_ptr<IFile> file;
  EXPECT_EQ(fs.OpenFileNoFollow(L"C:\\d\\linkfile.txt", FileOpenMode::kRead,
                                FileShareMode::kShareAll, &file),
            kErrorReparsePointEncountered);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(fs.OpenFile(L"C:\\d\\linkfile.txt", FileOpenMode::kRead, FileShareMode::kShareAll,
                        &file),
            kErrorSuccess)
      << "a plain open follows the link";
  EXPECT_EQ(fs.ProtectDirectory(L"C:\\d\\link"), kErrorReparsePointEncountered);
  EXPECT_EQ(fs.RenameNoFollow(L"C:\\d\\link", L"C:\\d\\link.aside"), kErrorSuccess);
  ASSERT_EQ(fs.ProtectDirectory(L"C:\\d\\open"), kErrorSuccess);
  CPathInfo info;
  ASSERT_EQ(fs.QueryPathInfo(L"C:\\d\\open", &info), kErrorSuccess);
  EXPECT_TRUE(info.adminsOnly);

  fs.SetElevated(false);
  EXPECT_FALSE(fs.IsElevated());
  EXPECT_EQ(fs.ProtectDirectory(L"C:\\d\\link.aside"), kErrorReparsePointEncountered);
  ASSERT_EQ(fs.MakeDirectory(L"C:\\d\\later"), kErrorSuccess);
  EXPECT_EQ(fs.ProtectDirectory(L"C:\\d\\later"), kErrorAccessDenied);
}

}  // namespace
}  // namespace qv
