// The trust rules of the product data folder on the in-memory machine: which files are read, how
// new ones are made, what a start does with folders another account could have prepared, and
// that the log writes into none of them.
#include "state/trusted_files.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"
#include "state/activity_log.h"
#include "state/data_folder.h"
#include "state/state_texts.h"
#include "tests/support/forwarding_file_system.h"

namespace qv {
namespace {

constexpr std::int64_t kEvening = 1796581874;  // 2026-12-06 18:31:14 (the fake's local time)
constexpr wchar_t kData[] = L"C:\\ProgramData\\Quarvelo";
constexpr wchar_t kBackup[] = L"C:\\ProgramData\\Quarvelo\\Backup";
constexpr wchar_t kLogs[] = L"C:\\ProgramData\\Quarvelo\\LOGS";

TEST(TrustedFiles, OnlyOwnFilesThatAreNoLinksAreRead) {
  CMemoryPlatform machine;
  CMemoryFileSystem& fs = machine.files();
  fs.AddFile(L"C:\\d\\admins.txt", "a");
  fs.AddFile(L"C:\\d\\planted.txt", "p");
  fs.SetOwner(L"C:\\d\\planted.txt", FileOwner::kOther);
  fs.AddFile(L"C:\\d\\link.txt", "l");
  fs.MarkReparsePoint(L"C:\\d\\link.txt");
  fs.AddFile(L"C:\\d\\system.txt", "s");
  fs.SetOwner(L"C:\\d\\system.txt", FileOwner::kSystem);
  fs.AddFile(L"C:\\d\\mine.txt", "m");
  fs.SetOwner(L"C:\\d\\mine.txt", FileOwner::kCurrentUser);
  fs.AddFile(L"C:\\d\\big.txt", std::string(11, 'b'));
  struct {
    const wchar_t* path;
    ErrorCode rc;
    const char* bytes;
  } cases[] = {
      {L"C:\\d\\admins.txt", kErrorSuccess, "a"},
      {L"C:\\d\\system.txt", kErrorSuccess, "s"},
      {L"C:\\d\\mine.txt", kErrorSuccess, "m"},
      {L"C:\\d\\planted.txt", kErrorInvalidOwner, ""},
      {L"C:\\d\\link.txt", kErrorReparsePointEncountered, ""},
      {L"C:\\d\\big.txt", kErrorFileTooLarge, ""},
      {L"C:\\d\\missing.txt", kErrorFileNotFound, ""},
  };
  for (const auto& c : cases) {
    std::string bytes;
    EXPECT_EQ(ReadTrustedFile(fs, c.path, 10, &bytes), c.rc);
    EXPECT_EQ(bytes, c.bytes);
    if (c.rc == kErrorSuccess || c.rc == kErrorFileTooLarge) {
      EXPECT_EQ(CheckTrustedPath(fs, c.path), kErrorSuccess);
    } else {
      EXPECT_EQ(CheckTrustedPath(fs, c.path), c.rc);
    }
  }
  EXPECT_EQ(UntrustedReasonText(kErrorInvalidOwner), kUntrustedOwner.english);
  EXPECT_EQ(UntrustedReasonText(kErrorReparsePointEncountered), kUntrustedReparsePoint.english);
  EXPECT_EQ(UntrustedReasonText(kErrorAccessDenied), L"its owner cannot be read (error 5)");
  EXPECT_EQ(fs.OpenFileCount(), 0u);
}

TEST(TrustedFiles, ANewFileIsNeverOpenedAtANameSomeoneElsePrepared) {
  CMemoryPlatform machine;
  CMemoryFileSystem& fs = machine.files();
  fs.AddFolder(L"C:\\d");
  std::unique_ptr<IFile> file;
  ASSERT_EQ(CreateFileInPlace(fs, L"C:\\d\\new.log", &file), kErrorSuccess);
  ASSERT_EQ(file->Write("ours", 4), kErrorSuccess);
  file.reset();
  EXPECT_EQ(fs.ListFolder(L"C:\\d"), std::vector<std::wstring>{L"new.log"}) << "no file left";
  EXPECT_EQ(fs.ReadFile(L"C:\\d\\new.log"), "ours");

  // Something at the name already (a planted file, a link): refused, left as it was.
  for (const bool link : {false, true}) {
    fs.AddFile(L"C:\\d\\taken.log", "theirs");
    fs.SetOwner(L"C:\\d\\taken.log", FileOwner::kOther);
    if (link) fs.MarkReparsePoint(L"C:\\d\\taken.log");
    EXPECT_EQ(CreateFileInPlace(fs, L"C:\\d\\taken.log", &file), kErrorAlreadyExists);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(fs.ReadFile(L"C:\\d\\taken.log"), "theirs");
    EXPECT_EQ(fs.ListFolder(L"C:\\d"), (std::vector<std::wstring>{L"new.log", L"taken.log"}));
    ASSERT_EQ(fs.RemoveFile(L"C:\\d\\taken.log"), kErrorSuccess);
  }
}

// A file system on which a link can be seen but not renamed by itself (as under Wine).
class CLinksStayFileSystem final : public test::CForwardingFileSystem {
 public:
  using CForwardingFileSystem::CForwardingFileSystem;
  ErrorCode RenameNoFollow(std::wstring_view from, std::wstring_view to) override {
    CPathInfo info;
    if (inner().QueryPathInfo(from, &info) == kErrorSuccess && info.reparsePoint) {
      return kErrorNotSupported;
    }
    return inner().RenameNoFollow(from, to);
  }
};

TEST(SecureDataFolders, FoldersAnotherAccountCouldSteerAreMovedAsideAndMadeAgain) {
  const std::wstring stamp = L".untrusted-2026-12-06_18-31-14";
  enum class Plant { kNothing, kOwner, kLink, kFile };
  struct Case {
    const char* name;
    const wchar_t* folder;  // what is planted or left, and where
    Plant plant;
    bool elevated;
    bool linksStay;
    bool inherited;  // an existing trusted folder with the inherited access list
    std::vector<std::wstring> movedAside;
    int notices;
  };
  const std::wstring shortcuts = std::wstring(kBackup) + L"\\QuarveloBak_x";
  const Case cases[] = {
      {"fresh machine", kData, Plant::kNothing, true, false, false, {}, 0},
      {"old install", kData, Plant::kNothing, true, false, true, {}, 0},
      {"planted data folder", kData, Plant::kOwner, true, false, false, {kData}, 1},
      {"LOGS a link", kLogs, Plant::kLink, true, false, false, {kLogs}, 1},
      {"Backup a file", kBackup, Plant::kFile, true, false, false, {kBackup}, 1},
      {"planted shortcut folder", shortcuts.c_str(), Plant::kOwner, true, false, false,
       {shortcuts}, 1},
      {"LOGS a link that cannot be moved", kLogs, Plant::kLink, true, true, false, {}, 1},
      {"not elevated", kBackup, Plant::kOwner, false, false, true, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMemoryPlatform machine;
    machine.clock().SetNow(kEvening);
    CMemoryFileSystem& fs = machine.files();
    for (const wchar_t* folder : {kData, kBackup, kLogs}) {
      if (c.inherited || c.plant != Plant::kNothing) fs.AddFolder(folder);
    }
    if (c.plant == Plant::kFile) {
      ASSERT_EQ(fs.RemoveFolder(c.folder), kErrorSuccess);
      fs.AddFile(c.folder, "x");
    } else if (c.plant != Plant::kNothing) {
      fs.AddFile(std::wstring(c.folder) + L"\\evidence.txt", "kept");
      if (c.plant == Plant::kOwner) fs.SetOwner(c.folder, FileOwner::kOther);
      if (c.plant == Plant::kLink) fs.MarkReparsePoint(c.folder);
    }
    fs.SetElevated(c.elevated);
    CLinksStayFileSystem stay(fs);
    IFileSystem& seen = c.linksStay ? static_cast<IFileSystem&>(stay) : fs;
    const DATA_FOLDER_CHECK check = SecureDataFolders(machine.shell(), seen, machine.clock());

    ASSERT_EQ(static_cast<int>(check.untrusted.size()), c.notices);
    EXPECT_TRUE(check.unprotected.empty());
    std::vector<std::wstring> moved;
    for (const FOLDER_NOTICE& notice : check.untrusted) {
      EXPECT_EQ(notice.folder, c.folder);
      if (notice.movedTo.empty()) continue;
      moved.push_back(notice.folder);
      EXPECT_EQ(notice.movedTo, std::wstring(c.folder) + stamp);
    }
    EXPECT_EQ(moved, c.movedAside);
    for (const std::wstring& folder : c.movedAside) {
      // Nothing of it deleted, and a fresh protected folder in its place (not for the shortcut
      // folder, which a repair makes again).
      if (c.plant != Plant::kFile) {
        EXPECT_EQ(fs.ReadFile(folder + stamp + L"\\evidence.txt"), "kept");
      }
      EXPECT_EQ(fs.FileExists(folder), folder != shortcuts);
    }
    if (c.elevated && !c.linksStay) {
      for (const wchar_t* folder : {kData, kBackup, kLogs}) {
        CPathInfo info;
        ASSERT_EQ(fs.QueryPathInfo(folder, &info), kErrorSuccess);
        EXPECT_TRUE(info.adminsOnly && !info.reparsePoint && info.directory);
      }
    }
    // What the folder lookup of the log, the backups and the lists says afterwards.
    ErrorCode error = kErrorSuccess;
    const std::wstring subfolder = c.folder == kLogs ? kLogSubfolder : kBackupSubfolder;
    static_cast<void>(ProductDataFolder(machine.shell(), seen, subfolder, &error));
    if (!c.elevated) {
      EXPECT_EQ(error, kErrorInvalidOwner);
      CPathInfo info;
      ASSERT_EQ(fs.QueryPathInfo(kData, &info), kErrorSuccess);
      EXPECT_FALSE(info.adminsOnly) << "a run that is not elevated changes nothing";
    } else {
      EXPECT_EQ(error, c.linksStay ? kErrorReparsePointEncountered : kErrorSuccess);
    }
  }
}

TEST(SecureDataFolders, EachNoticeSaysWhatHappened) {
  FOLDER_NOTICE notice{L"C:\\Q\\LOGS", kErrorReparsePointEncountered, L"C:\\Q\\LOGS.x",
                       kErrorSuccess, true};
  EXPECT_EQ(FolderNoticeText(notice),
            L"The folder C:\\Q\\LOGS is not used: it is a link to another place (a junction or "
            L"symbolic link). It was moved aside to C:\\Q\\LOGS.x (nothing in it was deleted) and "
            L"a new folder was made.");
  notice.movedTo.clear();
  notice.moveError = kErrorNotSupported;
  EXPECT_EQ(FolderNoticeText(notice),
            L"The folder C:\\Q\\LOGS is not used: it is a link to another place (a junction or "
            L"symbolic link). It could not be moved aside (error 50), so nothing is read from it "
            L"or written to it in this run.");
  notice.elevated = false;
  notice.trust = kErrorInvalidOwner;
  EXPECT_EQ(DataFolderCheckTexts(DATA_FOLDER_CHECK{{notice}, {{L"C:\\Q", 5}}}),
            (std::vector<std::wstring>{
                std::wstring(L"The folder C:\\Q\\LOGS is not used: ") +
                    std::wstring(kUntrustedOwner.english) +
                    L". Nothing is read from it or written to it; an administrator's run of "
                    L"Quarvelo moves it aside.",
                L"The folder C:\\Q could not be closed to other accounts (error 5)."}));
}

TEST(CActivityLog, WritesIntoNoFolderOrFileItDoesNotTrust) {
  for (const bool plantFile : {false, true}) {
    CMemoryPlatform machine;
    machine.clock().SetNow(kEvening);
    CMemoryFileSystem& fs = machine.files();
    CActivityLog log(machine.platform());
    const std::wstring path = log.LogFilePath();
    if (plantFile) {
      fs.AddFile(path, "theirs\r\n");
      fs.SetOwner(path, FileOwner::kOther);
    } else {
      fs.SetOwner(kLogs, FileOwner::kOther);
    }
    CActivityLog fresh(machine.platform());  // forms its path (and judges the folder) anew
    EXPECT_EQ(fresh.WriteLog(L"line"), kErrorInvalidOwner);
    EXPECT_EQ(fs.ReadFile(path).value_or(""), plantFile ? "theirs\r\n" : "");
  }
}

}  // namespace
}  // namespace qv
