#include "tests/unit/platform/file_system_contract.h"

#include <algorithm>

#include "base/text_case.h"
#include "base/utf16.h"

namespace qv::test {

void RemoveTree(IFileSystem& files, const std::wstring& folder) {
  std::vector<CFindData> entries;
  if (files.FindFiles(folder + L"\\*", &entries) == kErrorSuccess) {
    for (const CFindData& e : entries) {
      if (e.name == L"." || e.name == L"..") continue;
      const std::wstring path = folder + L"\\" + e.name;
      if (e.directory) {
        RemoveTree(files, path);
      } else {
        static_cast<void>(files.RemoveFile(path));
      }
    }
  }
  static_cast<void>(files.RemoveFolder(folder));
}

std::string FileSystemTargetName(const ::testing::TestParamInfo<FILE_SYSTEM_TARGET>& info) {
  return info.param.name;
}

void CFileSystemContract::SetUp() {
  m_target = GetParam().make();
  RemoveTree(Fs(), kScratchFolder);
  ASSERT_FALSE(Fs().FileExists(kScratchFolder));
  ASSERT_EQ(Fs().MakeDirectory(kScratchFolder), kErrorSuccess);
}

void CFileSystemContract::TearDown() {
  if (m_target) RemoveTree(Fs(), kScratchFolder);
}

std::wstring CFileSystemContract::At(std::wstring_view relative) {
  return std::wstring(kScratchFolder) + L"\\" + std::wstring(relative);
}

void CFileSystemContract::WriteFile(std::wstring_view relative, std::string_view bytes) {
  std::unique_ptr<IFile> file;
  ASSERT_EQ(Fs().OpenFile(At(relative), FileOpenMode::kCreateAlways, FileShareMode::kDenyWrite,
                          &file),
            kErrorSuccess);
  ASSERT_EQ(file->Write(bytes.data(), bytes.size()), kErrorSuccess);
}

std::string CFileSystemContract::ReadFile(std::wstring_view relative) {
  std::unique_ptr<IFile> file;
  std::string bytes;
  EXPECT_EQ(Fs().OpenFile(At(relative), FileOpenMode::kRead, FileShareMode::kShareAll, &file),
            kErrorSuccess);
  if (file) {
    EXPECT_EQ(file->ReadAll(&bytes), kErrorSuccess);
  }
  return bytes;
}

std::vector<std::wstring> CFileSystemContract::List(std::wstring_view pattern, ErrorCode* rc) {
  std::vector<CFindData> entries;
  const ErrorCode result = Fs().FindFiles(pattern, &entries);
  if (rc != nullptr) *rc = result;
  std::vector<std::wstring> names;
  for (const CFindData& e : entries) names.push_back(e.name + (e.directory ? L"\\" : L""));
  // The order is the platform's: compare as sorted sets.
  std::sort(names.begin(), names.end());
  return names;
}

// ---- Existence and roots ---------------------------------------------------------------------

TEST_P(CFileSystemContract, FileExistsFollowsWindowsPathRules) {
  WriteFile(L"File.txt", "x");
  ASSERT_EQ(Fs().MakeDirectory(At(L"Sub")), kErrorSuccess);
  struct {
    std::wstring path;
    bool exists;
    bool directory;
  } cases[] = {
      {At(L"File.txt"), true, false},
      {At(L"FILE.TXT"), true, false},
      {L"c:/QVPARITY/file.txt", true, false},
      {At(L"Sub\\..\\File.txt"), true, false},
      {At(L"Sub\\.\\..\\Sub"), true, true},
      {At(L"Sub\\"), true, true},
      {At(L"File.txt\\"), false, false},  // a trailing backslash names a folder
      {At(L"missing.txt"), false, false},
      {At(L"missing\\File.txt"), false, false},
      {kScratchFolder, true, true},
      {L"C:\\", true, true},
      {L"C:", true, true},
      {L"Q:\\", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.path));
    EXPECT_EQ(Fs().FileExists(c.path), c.exists);
    EXPECT_EQ(Fs().IsDirectory(c.path), c.directory);
  }
}

TEST_P(CFileSystemContract, IsRootFollowsPathIsRoot) {
  struct {
    const wchar_t* path;
    bool root;
  } cases[] = {
      {L"C:\\", true},           {L"z:\\", true},         {L"\\", true},
      {L"\\\\server", true},     {L"\\\\server\\", true}, {L"\\\\server\\share", true},
      {L"C:", false},            {L"C:/", false},         {L"C:\\dir", false},
      {L"\\\\server\\share\\", false}, {L"\\\\server\\share\\dir", false},
      {L"\\dir", false},         {L"", false},            {L"dir", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Fs().IsRoot(c.path), c.root) << ToUtf8(c.path);
  }
}

TEST_P(CFileSystemContract, FindOnPathFindsABareNameInTheSystemFolder) {
  const std::wstring probe = SystemFolder() + L"\\qvparity_probe.dll";
  {
    std::unique_ptr<IFile> file;
    ASSERT_EQ(Fs().OpenFile(probe, FileOpenMode::kCreateAlways, FileShareMode::kDenyWrite, &file),
              kErrorSuccess);
  }
  std::wstring path = L"QVPARITY_PROBE.DLL";
  const bool found = Fs().FindOnPath(&path);
  EXPECT_EQ(Fs().RemoveFile(probe), kErrorSuccess);
  ASSERT_TRUE(found);
  // The folder, then the name as the caller wrote it.
  EXPECT_TRUE(EqualsNoCase(path, SystemFolder() + L"\\QVPARITY_PROBE.DLL")) << ToUtf8(path);
  EXPECT_EQ(path.substr(path.size() - 18), L"QVPARITY_PROBE.DLL");

  for (const wchar_t* notFound : {L"qvparity_missing.dll", L"system32\\qvparity_probe.dll",
                                  L"C:qvparity_probe.dll"}) {
    std::wstring unchanged = notFound;
    EXPECT_FALSE(Fs().FindOnPath(&unchanged)) << ToUtf8(notFound);
    EXPECT_EQ(unchanged, notFound);
  }
}

// ---- Listing ---------------------------------------------------------------------------------

TEST_P(CFileSystemContract, FindFilesListsWithWildcardsAndDots) {
  WriteFile(L"alpha.txt", "12345");
  WriteFile(L"Beta.TXT", "");
  WriteFile(L"noext", "");
  WriteFile(L"alpha.text", "");
  ASSERT_EQ(Fs().MakeDirectory(At(L"Folder")), kErrorSuccess);
  ASSERT_EQ(Fs().MakeDirectory(At(L"Empty")), kErrorSuccess);
  WriteFile(L"Folder\\inner.dat", "");

  const std::vector<std::wstring> everything{L".\\",       L"..\\",        L"Beta.TXT",
                                             L"Empty\\",   L"Folder\\",    L"alpha.txt",
                                             L"alpha.text", L"noext"};
  struct {
    std::wstring pattern;
    ErrorCode rc;
    std::vector<std::wstring> names;
  } cases[] = {
      {At(L"*"), kErrorSuccess, everything},
      {At(L"*.*"), kErrorSuccess, everything},  // "*.*" also matches names without a dot
      // (A long extension such as ".txt2" is left out: where 8.3 short names exist, as under
      // Wine, "*.txt" also matches it through its short name.)
      {At(L"*.txt"), kErrorSuccess, {L"Beta.TXT", L"alpha.txt"}},
      {At(L"ALPHA.TXT"), kErrorSuccess, {L"alpha.txt"}},  // the stored spelling comes back
      {At(L"alpha.tx?"), kErrorSuccess, {L"alpha.txt"}},
      {At(L"?????.txt"), kErrorSuccess, {L"alpha.txt"}},
      {At(L"folder"), kErrorSuccess, {L"Folder\\"}},
      {At(L"Folder\\*"), kErrorSuccess, {L".\\", L"..\\", L"inner.dat"}},
      {At(L"Empty\\*"), kErrorSuccess, {L".\\", L"..\\"}},
      {At(L"*.zip"), kErrorFileNotFound, {}},
      {At(L"alpha.tx"), kErrorFileNotFound, {}},
      {At(L"missing\\*"), kErrorPathNotFound, {}},
      {At(L"Folder\\"), kErrorFileNotFound, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.pattern));
    ErrorCode rc = kErrorSuccess;
    const std::vector<std::wstring> names = List(c.pattern, &rc);
    EXPECT_EQ(rc, c.rc);
    if (c.rc == kErrorSuccess) {
      std::vector<std::wstring> expected = c.names;
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(names, expected);
    }
  }
  std::vector<CFindData> entries;
  ASSERT_EQ(Fs().FindFiles(At(L"alpha.txt"), &entries), kErrorSuccess);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_FALSE(entries[0].directory);
}

TEST_P(CFileSystemContract, ADriveRootListsNoDots) {
  ErrorCode rc = kErrorSuccess;
  const std::vector<std::wstring> names = List(L"C:\\*", &rc);
  ASSERT_EQ(rc, kErrorSuccess);
  EXPECT_EQ(std::count(names.begin(), names.end(), L".\\"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), L"..\\"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), L"qvparity\\"), 1);
}

// ---- Changing the tree -----------------------------------------------------------------------

TEST_P(CFileSystemContract, FolderOperationsReturnWindowsErrors) {
  WriteFile(L"file.txt", "x");
  ASSERT_EQ(Fs().MakeDirectory(At(L"full")), kErrorSuccess);
  WriteFile(L"full\\inside.txt", "x");
  struct {
    const char* what;
    ErrorCode rc;
    ErrorCode expected;
  } cases[] = {
      {"make existing folder", Fs().MakeDirectory(At(L"FULL")), kErrorAlreadyExists},
      {"make over a file", Fs().MakeDirectory(At(L"file.txt")), kErrorAlreadyExists},
      {"make without parent", Fs().MakeDirectory(At(L"no\\such")), kErrorPathNotFound},
      {"remove non-empty", Fs().RemoveFolder(At(L"full")), kErrorDirNotEmpty},
      {"remove a file as folder", Fs().RemoveFolder(At(L"file.txt")), kErrorDirectory},
      {"remove missing folder", Fs().RemoveFolder(At(L"nothing")), kErrorFileNotFound},
      {"delete a folder as file", Fs().RemoveFile(At(L"full")), kErrorAccessDenied},
      {"delete missing file", Fs().RemoveFile(At(L"nothing.txt")), kErrorFileNotFound},
      {"delete in missing folder", Fs().RemoveFile(At(L"no\\x.txt")), kErrorPathNotFound},
      {"move missing", Fs().MovePath(At(L"nothing"), At(L"x")), kErrorFileNotFound},
      {"move onto existing", Fs().MovePath(At(L"file.txt"), At(L"full")), kErrorAlreadyExists},
      {"move into missing folder", Fs().MovePath(At(L"file.txt"), At(L"no\\x")),
       kErrorPathNotFound},
      {"replace onto a folder", Fs().ReplaceFile(At(L"file.txt"), At(L"full")),
       kErrorAccessDenied},
      {"open a folder", [&] {
         std::unique_ptr<IFile> f;
         return Fs().OpenFile(At(L"full"), FileOpenMode::kRead, FileShareMode::kShareAll, &f);
       }(), kErrorAccessDenied},
      {"read a missing file", [&] {
         std::unique_ptr<IFile> f;
         return Fs().OpenFile(At(L"nothing.txt"), FileOpenMode::kRead, FileShareMode::kShareAll,
                              &f);
       }(), kErrorFileNotFound},
      {"write in a missing folder", [&] {
         std::unique_ptr<IFile> f;
         return Fs().OpenFile(At(L"no\\x.txt"), FileOpenMode::kCreateAlways,
                              FileShareMode::kDenyWrite, &f);
       }(), kErrorPathNotFound},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rc, c.expected) << c.what;
  // Nothing was changed by the failures.
  EXPECT_EQ(ReadFile(L"file.txt"), "x");
  EXPECT_EQ(ReadFile(L"full\\inside.txt"), "x");
}

TEST_P(CFileSystemContract, MoveReplaceAndRemoveSucceedOnTheRightTargets) {
  WriteFile(L"a.txt", "first");
  WriteFile(L"b.txt", "second");
  ASSERT_EQ(Fs().MakeDirectory(At(L"dir")), kErrorSuccess);
  WriteFile(L"dir\\in.txt", "inside");
  EXPECT_EQ(Fs().ReplaceFile(At(L"a.txt"), At(L"b.txt")), kErrorSuccess);
  EXPECT_FALSE(Fs().FileExists(At(L"a.txt")));
  EXPECT_EQ(ReadFile(L"b.txt"), "first");
  EXPECT_EQ(Fs().ReplaceFile(At(L"b.txt"), At(L"c.txt")), kErrorSuccess);  // no target yet
  EXPECT_EQ(Fs().MovePath(At(L"dir"), At(L"moved")), kErrorSuccess);
  EXPECT_EQ(ReadFile(L"moved\\in.txt"), "inside");
  EXPECT_EQ(Fs().MovePath(At(L"c.txt"), At(L"moved\\c.txt")), kErrorSuccess);
  EXPECT_EQ(List(At(L"moved\\*")),
            (std::vector<std::wstring>{L"..\\", L".\\", L"c.txt", L"in.txt"}));  // sorted
  EXPECT_EQ(Fs().RemoveFile(At(L"moved\\c.txt")), kErrorSuccess);
  EXPECT_EQ(Fs().RemoveFile(At(L"moved\\in.txt")), kErrorSuccess);
  EXPECT_EQ(Fs().RemoveFolder(At(L"moved")), kErrorSuccess);
  EXPECT_EQ(List(At(L"*")), (std::vector<std::wstring>{L"..\\", L".\\"}));
}

// A move through open handles takes only plain full paths, never replaces a file, and waits for
// no one: a file another holds without sharing its deletion stays.
TEST_P(CFileSystemContract, MoveByHandleTakesPlainPathsAndReplacesNothing) {
  WriteFile(L"a.lnk", "a");
  WriteFile(L"b.lnk", "b");
  ASSERT_EQ(Fs().MakeDirectory(At(L"dir")), kErrorSuccess);
  std::unique_ptr<IFile> held;
  WriteFile(L"held.lnk", "h");
  ASSERT_EQ(Fs().OpenFile(At(L"held.lnk"), FileOpenMode::kRead, FileShareMode::kDenyWrite, &held),
            kErrorSuccess);
  struct {
    const char* what;
    ErrorCode rc;
    ErrorCode expected;
  } const cases[] = {
      {"onto an existing file", Fs().MoveByHandle(At(L"a.lnk"), At(L"b.lnk")), kErrorAlreadyExists},
      {"a missing file", Fs().MoveByHandle(At(L"none.lnk"), At(L"x.lnk")), kErrorFileNotFound},
      {"into a missing folder", Fs().MoveByHandle(At(L"a.lnk"), At(L"no\\a.lnk")),
       kErrorPathNotFound},
      {"a dot element", Fs().MoveByHandle(At(L"dir\\..\\a.lnk"), At(L"x.lnk")), kErrorBadPathname},
      {"a relative path", Fs().MoveByHandle(L"a.lnk", At(L"x.lnk")), kErrorBadPathname},
      {"a file held open", Fs().MoveByHandle(At(L"held.lnk"), At(L"x.lnk")),
       kErrorSharingViolation},
      {"in other letter case", Fs().MoveByHandle(At(L"A.LNK"), At(L"dir\\a.lnk")), kErrorSuccess},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rc, c.expected) << c.what;
  held.reset();
  EXPECT_EQ(ReadFile(L"dir\\a.lnk"), "a");
  EXPECT_EQ(ReadFile(L"b.lnk"), "b");
  EXPECT_EQ(ReadFile(L"held.lnk"), "h");
}

// ---- Files -----------------------------------------------------------------------------------

TEST_P(CFileSystemContract, OpenModesTruncateAppendAndRead) {
  WriteFile(L"log.txt", "one\r\n");
  {
    std::unique_ptr<IFile> file;
    ASSERT_EQ(Fs().OpenFile(At(L"log.txt"), FileOpenMode::kAppend, FileShareMode::kDenyWrite,
                            &file),
              kErrorSuccess);
    ASSERT_EQ(file->Write("two\r\n", 5), kErrorSuccess);
    EXPECT_EQ(file->Flush(), kErrorSuccess);
  }
  EXPECT_EQ(ReadFile(L"log.txt"), "one\r\ntwo\r\n");
  {
    std::unique_ptr<IFile> file;
    ASSERT_EQ(Fs().OpenFile(At(L"new.txt"), FileOpenMode::kAppend, FileShareMode::kDenyWrite,
                            &file),
              kErrorSuccess);  // append creates a missing file
    ASSERT_EQ(file->Write("n", 1), kErrorSuccess);
  }
  EXPECT_EQ(ReadFile(L"new.txt"), "n");
  WriteFile(L"log.txt", "fresh");
  EXPECT_EQ(ReadFile(L"log.txt"), "fresh");
  std::unique_ptr<IFile> reader;
  ASSERT_EQ(Fs().OpenFile(At(L"log.txt"), FileOpenMode::kRead, FileShareMode::kShareAll, &reader),
            kErrorSuccess);
  EXPECT_NE(reader->Write("x", 1), kErrorSuccess);
  std::string bytes;
  ASSERT_EQ(reader->ReadAll(&bytes), kErrorSuccess);
  EXPECT_EQ(bytes, "fresh");
  // The bytes go through untouched: no newline translation, NULs kept.
  WriteFile(L"bin.dat", std::string("a\nb\0c\r", 6));
  EXPECT_EQ(ReadFile(L"bin.dat"), std::string("a\nb\0c\r", 6));
  // Overwriting starts at the first byte and keeps what lies beyond the bytes written; it never
  // creates a file.
  {
    std::unique_ptr<IFile> file;
    ASSERT_EQ(Fs().OpenFile(At(L"bin.dat"), FileOpenMode::kOverwrite, FileShareMode::kDenyWrite,
                            &file),
              kErrorSuccess);
    ASSERT_EQ(file->Write("XY", 2), kErrorSuccess);
  }
  EXPECT_EQ(ReadFile(L"bin.dat"), std::string("XYb\0c\r", 6));
  std::unique_ptr<IFile> none;
  EXPECT_EQ(Fs().OpenFile(At(L"missing.dat"), FileOpenMode::kOverwrite, FileShareMode::kDenyWrite,
                          &none),
            kErrorFileNotFound);
  EXPECT_FALSE(Fs().FileExists(At(L"missing.dat")));
}

TEST_P(CFileSystemContract, DenyWriteSharingIsEnforcedBetweenOpenFiles) {
  std::unique_ptr<IFile> writer;
  ASSERT_EQ(Fs().OpenFile(At(L"locked.txt"), FileOpenMode::kCreateAlways,
                          FileShareMode::kDenyWrite, &writer),
            kErrorSuccess);
  ASSERT_EQ(writer->Write("data", 4), kErrorSuccess);
  struct {
    FileOpenMode mode;
    FileShareMode share;
    ErrorCode expected;
  } whileWriting[] = {
      {FileOpenMode::kAppend, FileShareMode::kShareAll, kErrorSharingViolation},
      {FileOpenMode::kCreateAlways, FileShareMode::kShareAll, kErrorSharingViolation},
      {FileOpenMode::kRead, FileShareMode::kDenyWrite, kErrorSharingViolation},  // we write
      {FileOpenMode::kRead, FileShareMode::kShareAll, kErrorSuccess},
  };
  for (const auto& c : whileWriting) {
    std::unique_ptr<IFile> other;
    EXPECT_EQ(Fs().OpenFile(At(L"LOCKED.TXT"), c.mode, c.share, &other), c.expected)
        << static_cast<int>(c.mode) << "/" << static_cast<int>(c.share);
  }
  EXPECT_EQ(Fs().RemoveFile(At(L"locked.txt")), kErrorSharingViolation);
  EXPECT_EQ(Fs().MovePath(At(L"locked.txt"), At(L"other.txt")), kErrorSharingViolation);
  writer.reset();
  std::unique_ptr<IFile> after;
  EXPECT_EQ(Fs().OpenFile(At(L"locked.txt"), FileOpenMode::kAppend, FileShareMode::kShareAll,
                          &after),
            kErrorSuccess);
  after.reset();
  EXPECT_EQ(ReadFile(L"locked.txt"), "data");

  // A reader that denies writing keeps writers out.
  std::unique_ptr<IFile> reader;
  ASSERT_EQ(Fs().OpenFile(At(L"locked.txt"), FileOpenMode::kRead, FileShareMode::kDenyWrite,
                          &reader),
            kErrorSuccess);
  std::unique_ptr<IFile> writer2;
  EXPECT_EQ(Fs().OpenFile(At(L"locked.txt"), FileOpenMode::kAppend, FileShareMode::kShareAll,
                          &writer2),
            kErrorSharingViolation);
  std::unique_ptr<IFile> reader2;
  EXPECT_EQ(Fs().OpenFile(At(L"locked.txt"), FileOpenMode::kRead, FileShareMode::kShareAll,
                          &reader2),
            kErrorSuccess);
}

// ---- Trust: entries themselves, new files, protected folders -------------------------------

TEST_P(CFileSystemContract, NewFilesGetUnguessableNamesAndAreRenamedNeverOverAnything) {
  EXPECT_TRUE(Fs().IsElevated()) << "tests run as an elevated administrator";
  std::wstring first;
  std::wstring second;
  std::unique_ptr<IFile> a;
  std::unique_ptr<IFile> b;
  ASSERT_EQ(Fs().CreateUniqueFile(kScratchFolder, &first, &a), kErrorSuccess);
  ASSERT_EQ(Fs().CreateUniqueFile(std::wstring(kScratchFolder) + L"\\", &second, &b),
            kErrorSuccess);
  EXPECT_NE(first, second);
  const std::size_t nameLength = 3 + 2 * kUniqueFileRandomBytes + 4;  // "~qv", hex, ".tmp"
  for (const std::wstring& path : {first, second}) {
    EXPECT_EQ(path.size(), At(L"").size() + nameLength) << ToUtf8(path);
    EXPECT_EQ(path.rfind(At(kUniqueFilePrefix), 0), 0u) << ToUtf8(path);
  }
  ASSERT_EQ(a->Write("new", 3), kErrorSuccess);
  CPathInfo info;
  ASSERT_EQ(a->QueryInfo(&info), kErrorSuccess);
  EXPECT_FALSE(info.directory);
  EXPECT_FALSE(info.reparsePoint);
  EXPECT_NE(info.owner, FileOwner::kOther);
  a.reset();
  b.reset();
  std::unique_ptr<IFile> none;
  EXPECT_EQ(Fs().CreateUniqueFile(At(L"missing"), &first, &none), kErrorPathNotFound);

  ASSERT_EQ(Fs().RenameNoFollow(first, At(L"placed.txt")), kErrorSuccess);
  EXPECT_EQ(Fs().RenameNoFollow(second, At(L"placed.txt")), kErrorAlreadyExists);
  EXPECT_EQ(ReadFile(L"placed.txt"), "new") << "the first file stays in place";
  EXPECT_TRUE(Fs().FileExists(second));
  ASSERT_EQ(Fs().MakeDirectory(At(L"folder")), kErrorSuccess);
  EXPECT_EQ(Fs().RenameNoFollow(At(L"folder"), At(L"folder.aside")), kErrorSuccess);
  EXPECT_TRUE(Fs().IsDirectory(At(L"folder.aside")));
}

TEST_P(CFileSystemContract, EntriesAnswerForThemselvesAndOpenWithoutFollowing) {
  WriteFile(L"file.txt", "12345");
  ASSERT_EQ(Fs().MakeProtectedDirectory(At(L"Closed")), kErrorSuccess);
  EXPECT_EQ(Fs().MakeProtectedDirectory(At(L"Closed")), kErrorAlreadyExists);
  EXPECT_EQ(Fs().ProtectDirectory(At(L"Closed")), kErrorSuccess);
  ASSERT_EQ(Fs().MakeDirectory(At(L"Open")), kErrorSuccess);
  EXPECT_EQ(Fs().ProtectDirectory(At(L"Open")), kErrorSuccess);
  EXPECT_EQ(Fs().ProtectDirectory(At(L"file.txt")), kErrorDirectory);
  EXPECT_EQ(Fs().ProtectDirectory(At(L"missing")), kErrorFileNotFound);

  struct {
    const wchar_t* name;
    ErrorCode rc;
    bool directory;
    std::uint64_t size;
  } cases[] = {
      {L"file.txt", kErrorSuccess, false, 5},
      {L"Closed", kErrorSuccess, true, 0},
      {L"Open", kErrorSuccess, true, 0},
      {L"missing", kErrorFileNotFound, false, 0},
      {L"missing\\deeper", kErrorPathNotFound, false, 0},
  };
  for (const auto& c : cases) {
    CPathInfo info;
    info.size = 99;
    EXPECT_EQ(Fs().QueryPathInfo(At(c.name), &info), c.rc) << ToUtf8(c.name);
    if (c.rc != kErrorSuccess) continue;
    EXPECT_EQ(info.directory, c.directory) << ToUtf8(c.name);
    EXPECT_FALSE(info.reparsePoint) << ToUtf8(c.name);
    EXPECT_NE(info.owner, FileOwner::kOther) << ToUtf8(c.name);
    EXPECT_EQ(info.size, c.size) << ToUtf8(c.name);
  }

  // Appending to an existing file only: it is never created.
  std::unique_ptr<IFile> file;
  EXPECT_EQ(Fs().OpenFileNoFollow(At(L"new.txt"), FileOpenMode::kAppendExisting,
                                  FileShareMode::kDenyWrite, &file),
            kErrorFileNotFound);
  EXPECT_FALSE(Fs().FileExists(At(L"new.txt")));
  ASSERT_EQ(Fs().OpenFileNoFollow(At(L"file.txt"), FileOpenMode::kAppendExisting,
                                  FileShareMode::kDenyWrite, &file),
            kErrorSuccess);
  ASSERT_EQ(file->Write("6", 1), kErrorSuccess);
  file.reset();
  EXPECT_EQ(ReadFile(L"file.txt"), "123456");
}

// ---- Code page -------------------------------------------------------------------------------

TEST_P(CFileSystemContract, CodePageIsWindows1252AsWindowsConvertsIt) {
  struct {
    std::u16string text;
    std::string bytes;
    bool lossless;
  } cases[] = {
      {u"plain ASCII", "plain ASCII", true},
      {u"caf\u00e9 \u20ac \u2122 \u0178", "caf\xE9 \x80 \x99 \x9F", true},
      {u"\u0081\u008d\u008f\u0090\u009d", "\x81\x8D\x8F\x90\x9D", true},  // undefined bytes
      {u"\u0080", "?", false},           // a C1 control that 1252 gives to the euro sign
      {u"\u0100x", "?x", false},         // no best fit: A with macron is not 'A'
      {u"\u4e2d", "?", false},
      {u"\U0001F600", "??", false},      // one '?' per UTF-16 unit
      {u"", "", true},
  };
  for (const auto& c : cases) {
    const std::wstring text = FromUtf16(c.text);
    SCOPED_TRACE(ToUtf8(text));
    bool lossless = !c.lossless;
    std::string bytes = "sentinel";
    EXPECT_EQ(Fs().ToCodePage(text, &bytes, &lossless), kErrorSuccess);
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(lossless, c.lossless);
    bytes = "sentinel";
    EXPECT_EQ(Fs().ToCodePage(text, &bytes, nullptr), kErrorSuccess);
    EXPECT_EQ(bytes, c.bytes);
  }
  // Every byte has a character, and that character converts back to the same byte.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::wstring decoded;
  ASSERT_EQ(Fs().FromCodePage(all, &decoded), kErrorSuccess);
  ASSERT_EQ(decoded.size(), all.size());
  EXPECT_EQ(decoded[0x80 - 1], static_cast<wchar_t>(0x20AC));
  EXPECT_EQ(decoded[0x81 - 1], static_cast<wchar_t>(0x0081));
  EXPECT_EQ(decoded[0x9F - 1], static_cast<wchar_t>(0x0178));
  EXPECT_EQ(decoded[0xFF - 1], static_cast<wchar_t>(0x00FF));
  bool lossless = false;
  std::string back;
  EXPECT_EQ(Fs().ToCodePage(decoded, &back, &lossless), kErrorSuccess);
  EXPECT_EQ(back, all);
  EXPECT_TRUE(lossless);
}

}  // namespace qv::test
