// The safe list and the ignore list on the in-memory platform: the identity hash, the .wls
// reader and writer (with the escape form for characters a byte cannot hold), the exclusion
// rules and their case handling, loading from shipped files, the user file and the blocked
// store, saving (atomic replacement of ignore.wls, the blocked store), the undo section in a
// backup file, the page's visible entries, the engine dropping excluded problems, queries
// running while other threads change the lists, and the shipped list of Windows' own areas.
#include "engine/exclusion_lists.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/checks.h"
#include "engine/registry_cleaner.h"
#include "platform/memory/memory_platform.h"
#include "state/state_texts.h"
#include "repair/backup_file.h"
#include "base/text_case.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/forwarding_registry.h"

namespace qv {
namespace {

constexpr wchar_t kProduct[] = L"Quarvelo";
constexpr wchar_t kProgramFolder[] = L"C:\\Program Files\\Quarvelo";
constexpr wchar_t kUserFile[] = L"C:\\ProgramData\\Quarvelo\\ignore.wls";
constexpr wchar_t kDataFolder[] = L"C:\\ProgramData\\Quarvelo";
constexpr wchar_t kBlockedKey[] = L"HKLM\\SOFTWARE\\Quarvelo\\blocked";
constexpr wchar_t kRunKey[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr ErrorCode kErrorDiskFull = 112;

using test::CRecordingLog;

// Forwards to the in-memory file system; a write to a file whose path ends in `failSuffix` (or to
// any new file of CreateUniqueFile, when the suffix is its extension) stores only what fits
// under `failAfterBytes` and then fails as a full disk would, and ReplaceFile fails when asked to.
class CFaultyFileSystem final : public test::CForwardingFileSystem {
 public:
  explicit CFaultyFileSystem(CMemoryFileSystem& inner) : CForwardingFileSystem(inner) {}

  std::wstring failSuffix;
  std::size_t failAfterBytes = 0;
  bool failReplace = false;

  ErrorCode ReplaceFile(std::wstring_view f, std::wstring_view t) override {
    if (failReplace) return kErrorAccessDenied;
    return inner().ReplaceFile(f, t);
  }
  ErrorCode OpenFile(std::wstring_view p, FileOpenMode m, FileShareMode s,
                     std::unique_ptr<IFile>* file) override {
    const ErrorCode rc = inner().OpenFile(p, m, s, file);
    const bool faulty = !failSuffix.empty() && p.size() >= failSuffix.size() &&
                        p.substr(p.size() - failSuffix.size()) == failSuffix;
    if (rc == kErrorSuccess && faulty)
      *file = std::make_unique<CFaultyFile>(std::move(*file), failAfterBytes);
    return rc;
  }
  ErrorCode CreateUniqueFile(std::wstring_view f, std::wstring* p,
                             std::unique_ptr<IFile>* file) override {
    const ErrorCode rc = inner().CreateUniqueFile(f, p, file);
    if (rc == kErrorSuccess && failSuffix == kUniqueFileExtension)
      *file = std::make_unique<CFaultyFile>(std::move(*file), failAfterBytes);
    return rc;
  }

 private:
  class CFaultyFile final : public IFile {
   public:
    CFaultyFile(std::unique_ptr<IFile> inner, std::size_t room)
        : m_file(std::move(inner)), m_room(room) {}
    ErrorCode Write(const void* data, std::size_t bytes) override {
      const std::size_t taken = std::min(bytes, m_room);
      m_room -= taken;
      const ErrorCode rc = m_file->Write(data, taken);
      if (rc != kErrorSuccess) return rc;
      return taken == bytes ? kErrorSuccess : kErrorDiskFull;
    }
    ErrorCode Flush() override { return m_file->Flush(); }
    ErrorCode ReadAll(std::string* bytes) override { return m_file->ReadAll(bytes); }

   private:
    std::unique_ptr<IFile> m_file;
    std::size_t m_room;
  };
};

// Forwards to the in-memory registry, counting key creations by last path element and failing
// SetValue for one value name.
class CCountingRegistry final : public test::CForwardingRegistry {
 public:
  using CForwardingRegistry::CForwardingRegistry;

  std::map<std::wstring, int> creates;
  std::wstring failValueName;

  ErrorCode CreateKey(RegHandle p, std::wstring_view s, std::uint32_t a, RegHandle* r,
                      bool* c) override {
    ++creates[std::wstring(s.substr(s.find_last_of(L'\\') + 1))];
    return CForwardingRegistry::CreateKey(p, s, a, r, c);
  }
  ErrorCode SetValue(RegHandle k, std::wstring_view n, std::uint32_t t, const std::uint8_t* d,
                     std::uint32_t b) override {
    if (n == failValueName) return kErrorAccessDenied;
    return CForwardingRegistry::SetValue(k, n, t, d, b);
  }
};

CRegistryProblem Problem(REGPROBLEM_TYPE type, std::wstring key, std::wstring name,
                         std::wstring data) {
  return CRegistryProblem(std::move(key), std::move(name), std::move(data), type, 0);
}

// A startup problem that no safe row covers.
CRegistryProblem RunProblem(std::wstring name, std::wstring data) {
  return Problem(REGPROBLEM_STARTUP, kRunKey, std::move(name), std::move(data));
}

// ASCII text as the bytes of a file.
std::string Narrow(std::wstring_view text) {
  std::string bytes;
  for (const wchar_t c : text) bytes.push_back(static_cast<char>(c));
  return bytes;
}

std::vector<bool> AllBytesRoundTrip() { return std::vector<bool>(256, true); }

// data/windows-owned.wls byte for byte, as it ships (and as the program has it built in).
const std::string_view kShippedOwnedList = BuiltInWindowsOwnedList();
// The list without one of its records (type line and text line).
std::string WithoutRecord(std::string_view list, std::string_view record) {
  std::string bytes(list);
  const std::size_t at = bytes.find(record);
  if (at != std::string::npos) bytes.erase(at, record.size());
  return bytes;
}
constexpr char kSystemRecord[] = "W\r\nHKEY_LOCAL_MACHINE\\SYSTEM\r\n";
constexpr wchar_t kUserHive[] = L"HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1001";

class ExclusionListsTest : public testing::Test {
 protected:
  ExclusionListsTest() { memory.files().AddFolder(kProgramFolder); }

  void AddFile(std::wstring_view path, std::string_view bytes) {
    memory.files().AddFile(path, bytes);
  }
  std::optional<std::string> UserFile() { return memory.files().ReadFile(kUserFile); }
  bool Excluded(const CRegistryProblem& problem) { return lists.IsProblemExcluded(problem); }

  CMemoryPlatform memory;
  CRecordingLog log;
  CExclusionLists lists{memory.platform(), &log, kProduct};
};

// ---------------------------------------------------------------------------------------------
// Identity and hash

TEST(ExclusionIdentity, HashIsOverUtf16UnitsWrapsAndIsWrittenSigned) {
  const struct {
    std::wstring identity;
    std::int32_t hash;
    const wchar_t* text;
  } cases[] = {
      {L"", 0, L"0"},
      {L"a", 97, L"97"},
      {L"ab", 3299, L"3299"},
      {L"abcdef", -378943819, L"-378943819"},  // past 2^31: read as negative
      {L"abcdefg", 379755964, L"379755964"},   // wrapped past 2^32
      {L"\u00e9", 233, L"233"},
      {L"\U0001F600", 1883613, L"1883613"},  // a surrogate pair counts as two units
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\App|C:\\app.exe",
       -459634232, L"-459634232"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.hash);
    EXPECT_EQ(IdentityHash(c.identity), c.hash);
    EXPECT_EQ(IdentityHashText(c.identity), c.text);
  }
}

TEST(ExclusionIdentity, IsKeyBackslashNameBarData) {
  EXPECT_EQ(ProblemIdentity(Problem(REGPROBLEM_FONT, L"HKEY_X\\Fonts", L"Arial %s", L"a.ttf")),
            L"HKEY_X\\Fonts\\Arial %s|a.ttf");
  EXPECT_EQ(ProblemIdentity(Problem(REGPROBLEM_SHORTCUT, L"C:\\x.lnk", L"", L"")), L"C:\\x.lnk\\|");
}

// ---------------------------------------------------------------------------------------------
// The .wls reader

TEST(WlsFormat, RecordsAreReadByTheirTypeLine) {
  const struct {
    const char* name;
    std::string bytes;
    std::vector<EXCLUSION_ENTRY> entries;
    std::vector<std::wstring> k, m, v;
  } cases[] = {
      {"category, text lower-cased",
       "1\r\nHKEY_X\\Uninstall\\App|C:\\A.EXE\r\n",
       {{1, L"hkey_x\\uninstall\\app|c:\\a.exe"}},
       {},
       {},
       {}},
      {"both lines trimmed, LF alone ends a line",
       " 7 \n\t  Text Line  \n",
       {{7, L"text line"}},
       {},
       {},
       {}},
      {"leading integer", "10abc\r\nT\r\n+5\r\nU\r\n", {{10, L"t"}, {5, L"u"}}, {}, {}, {}},
      {"11 and more skipped", "11\r\nA\r\n12\r\nB\r\n99999999999\r\nC\r\n", {}, {}, {}, {}},
      {"negative skipped, not clamped", "-3\r\nA\r\n-0\r\nB\r\n", {}, {}, {}, {}},
      {"0 decided by its first character",
       "0\r\nZero\r\n00\r\nAlso\r\nx\r\nSkipped\r\n\r\nEmpty\r\n",
       {{0, L"zero"}, {0, L"also"}},
       {},
       {},
       {}},
      {"letters, any case, any tail",
       "k\r\nRowK\r\nKeep\r\nKept\r\nM\r\nRowM\r\nvalue\r\nRowV\r\n",
       {},
       {L"rowk", L"kept"},
       {L"rowm"},
       {L"rowv"}},
      {"empty text adds no row", "k\r\n   \r\nm\r\n\r\nv\r\n\r\n", {}, {}, {}, {}},
      {"empty text is still an entry", "3\r\n\r\n", {{3, L""}}, {}, {}, {}},
      {"last unpaired line ignored", "3\r\nA\r\n4", {{3, L"a"}}, {}, {}, {}},
      {"no line end at the end", "2\r\nB", {{2, L"b"}}, {}, {}, {}},
      {"bytes are code points, only ASCII lower-cased",
       "1\r\nC:\\\xC9T\xC9\x80\r\n",
       {{1, L"c:\\\u00c9t\u00c9\u0080"}},
       {},
       {},
       {}},
      {"escapes decoded",
       "1\r\nA&#x20AC;&#xd83d;&#xde00;&#x26;&#xe9;&#x20;\r\n",
       {{1, L"a\u20ac\U0001F600&\u00e9 "}},
       {},
       {},
       {}},
      {"what the writer never escapes stays literal",
       "1\r\n&#x41;&amp;&#x;&#x12345;&#x20ac&#x1f;\r\n",
       {{1, L"&#x41;&amp;&#x;&#x12345;&#x20ac&#x1f;"}},
       {},
       {},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WLS_CONTENT content;
    ParseWlsBytes(c.bytes, &content);
    EXPECT_EQ(content.entries, c.entries);
    EXPECT_EQ(content.kRows, c.k);
    EXPECT_EQ(content.mRows, c.m);
    EXPECT_EQ(content.vRows, c.v);
  }
}

// ---------------------------------------------------------------------------------------------
// The .wls writer's line form

TEST(WlsFormat, TextLinesEscapeOnlyWhatALineCannotHold) {
  std::vector<bool> noE9 = AllBytesRoundTrip();
  noE9[0xE9] = false;
  const struct {
    const char* name;
    std::wstring identity;
    std::vector<bool> roundTrips;
    std::wstring line;
  } cases[] = {
      {"plain stays plain", L"HKEY_X\\Run\\A & B|C:\\a&b #x1;.exe", AllBytesRoundTrip(),
       L"HKEY_X\\Run\\A & B|C:\\a&b #x1;.exe"},
      {"Latin-1 is one byte", L"C:\\caf\u00e9\u00ff", AllBytesRoundTrip(), L"C:\\caf\u00e9\u00ff"},
      {"above U+00FF", L"C:\\\u20ac\u65e5", AllBytesRoundTrip(), L"C:\\&#x20ac;&#x65e5;"},
      {"surrogate pair as two units", L"\U0001F600", AllBytesRoundTrip(), L"&#xd83d;&#xde00;"},
      {"line breaks", L"a\r\nb", AllBytesRoundTrip(), L"a&#xd;&#xa;b"},
      {"white space at the ends only", L" a b\t", AllBytesRoundTrip(), L"&#x20;a b&#x9;"},
      {"an ampersand that would read as an escape", L"x&#X20AC;y", AllBytesRoundTrip(),
       L"x&#x26;#X20AC;y"},
      {"an ampersand before a non-escape", L"x&#x41;y&#x26", AllBytesRoundTrip(), L"x&#x41;y&#x26"},
      {"a byte the code page cannot carry", L"caf\u00e9", noE9, L"caf&#xe9;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring line = EncodeWlsText(c.identity, c.roundTrips);
    EXPECT_EQ(line, c.line);
    for (const wchar_t ch : line) EXPECT_LE(static_cast<std::uint32_t>(ch), 0xFFu);
    // What the reader makes of the line is the identity as a file entry keeps it.
    EXPECT_EQ(ReadWlsTextLine(line), ToLowerAscii(c.identity));
  }
}

TEST(WlsFormat, CodePageRoundTripsOfTheMemoryFileSystemAreEveryByte) {
  CMemoryFileSystem files;
  const std::vector<bool> roundTrips = CodePageRoundTrips(files);
  ASSERT_EQ(roundTrips.size(), 256u);
  for (std::size_t b = 0; b < 256; ++b) EXPECT_TRUE(roundTrips[b]) << b;
}

TEST(WlsFormat, WrittenFileHoldsOneBytePerCharacterWithCrLf) {
  CMemoryFileSystem files;
  const std::vector<EXCLUSION_ENTRY> entries = {
      {6, L"HKEY_X\\Run\\App|C:\\App.exe"},
      {0, L"\u0080\u00e9\u20ac"},
  };
  ASSERT_EQ(WriteWlsFile(files, L"C:\\list.wls", entries), kErrorSuccess);
  EXPECT_EQ(files.ReadFile(L"C:\\list.wls"),
            std::string("6\r\nHKEY_X\\Run\\App|C:\\App.exe\r\n0\r\n\x80\xe9&#x20ac;\r\n"));
  EXPECT_EQ(files.OpenFileCount(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Exclusion rules

TEST_F(ExclusionListsTest, OfficeInAnyCaseInKeyNameOrDataIsExcludedInEveryCategory) {
  for (int type = 0; type < kCategoryCount; ++type) {
    for (const wchar_t* word : {L"office", L"OFFICE", L"OfFiCe"}) {
      const std::wstring marked = std::wstring(L"My") + word + L"Tool";
      const auto category = static_cast<REGPROBLEM_TYPE>(type);
      SCOPED_TRACE(testing::Message() << type);
      EXPECT_TRUE(Excluded(Problem(category, L"HKEY_X\\" + marked, L"N", L"D")));
      EXPECT_TRUE(Excluded(Problem(category, L"HKEY_X\\K", marked, L"D")));
      EXPECT_TRUE(Excluded(Problem(category, L"HKEY_X\\K", L"N", L"C:\\" + marked)));
    }
    EXPECT_FALSE(Excluded(Problem(static_cast<REGPROBLEM_TYPE>(type), L"HKEY_X\\K", L"N", L"D")));
  }
}

TEST_F(ExclusionListsTest, SafeRowsFollowTheirCaseRules) {
  const std::wstring adobe = L"{06DD38D3-D187-11CF-A80D-00C04FD74AD8}";
  const std::wstring adobeLower = L"{06dd38d3-d187-11cf-a80d-00c04fd74ad8}";
  const struct {
    const char* name;
    CRegistryProblem problem;
    bool excluded;
  } cases[] = {
      {"GUID in exact case in the key: K list",
       Problem(REGPROBLEM_COM, L"HKEY_CLASSES_ROOT\\CLSID\\" + adobe, L"AppID", L"{1}"), true},
      {"GUID in lower case in the key: no list",
       Problem(REGPROBLEM_COM, L"HKEY_CLASSES_ROOT\\CLSID\\" + adobeLower, L"AppID", L"{1}"),
       false},
      {"GUID in exact case in the data: V list",
       Problem(REGPROBLEM_COM, L"HKEY_CLASSES_ROOT\\X\\CLSID", L"{Default}", adobe), true},
      {"GUID in lower case, shortcut: every test ignores case",
       Problem(REGPROBLEM_SHORTCUT, L"C:\\" + adobeLower + L".lnk", L"", L""), true},
      {"FLASH in a shortcut's key", Problem(REGPROBLEM_SHORTCUT, L"C:\\Users\\FLASH.lnk", L"", L""),
       true},
      {"FLASH in another category's key: the lower-cased identity holds flash",
       Problem(REGPROBLEM_FILE_PATH, L"HKEY_X\\FLASH", L"N", L"D"), true},
      {"upper-case row in other case outside category 8: never matches",
       Problem(REGPROBLEM_FILE_PATH, L"HKEY_X\\SOURCELIST", L"N", L"D"), false},
      {"upper-case row in its case in the key",
       Problem(REGPROBLEM_FILE_PATH, L"HKEY_X\\SourceList", L"N", L"D"), true},
      {"upper-case row in its case in the name: K subject is key/name",
       Problem(REGPROBLEM_STARTUP, kRunKey, L"McProxy", L"C:\\x.exe"), true},
      {"upper-case row in other case in the name",
       Problem(REGPROBLEM_STARTUP, kRunKey, L"mcproxy", L"C:\\x.exe"), false},
      {"upper-case row in other case in the data, category 8 folds the data",
       Problem(REGPROBLEM_SHORTCUT, L"C:\\x.lnk", L"", L"SOURCELIST"), true},
      {"upper-case row in other case in the data, category 7 does not",
       Problem(REGPROBLEM_FILE_PATH, L"HKEY_X\\K", L"N", L"SOURCELIST"), false},
      {"shortcut's M and K subjects leave out the data, its V subject is the data",
       Problem(REGPROBLEM_SHORTCUT, L"C:\\x.lnk", L"", L"C:\\Trend Micro\\a.exe"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Excluded(c.problem), c.excluded);
  }
}

// A scan's problems come in runs that share most of their text: a row that ends beyond what two
// problems share is found, and so is one wholly within it once the problem before held it.
TEST_F(ExclusionListsTest, RowsAreFoundInRunsOfProblemsThatShareTheirText) {
  const std::wstring vendor = L"HKEY_USERS\\S-1\\Software\\Vendor\\";
  const auto excluded = [&](const wchar_t* below) {
    return Excluded(Problem(REGPROBLEM_EMPTY_KEY, vendor + below, L"(Default)", L""));
  };
  EXPECT_FALSE(excluded(L"Trend Mic"));
  EXPECT_TRUE(excluded(L"Trend Micro"));
  EXPECT_TRUE(excluded(L"Trend Micro\\a"));
  EXPECT_TRUE(excluded(L"Trend Micro\\b"));
  EXPECT_FALSE(excluded(L"Trend"));
}

TEST_F(ExclusionListsTest, IgnoredAndBlockedProblemsMatchIgnoringAsciiCaseOnly) {
  ASSERT_EQ(lists.IgnoreProblem(RunProblem(L"Tool\u00c9", L"C:\\Gone\\Tool.exe")), kErrorSuccess);
  std::unique_ptr<CBackupFile> backup;
  ASSERT_EQ(CBackupFile::Create(memory.files(), L"C:\\b.reg", L"", &backup), kErrorSuccess);
  ASSERT_EQ(lists.BlockProblem(RunProblem(L"Blocked", L"C:\\Gone\\B.exe"), *backup), kErrorSuccess);

  const struct {
    const char* name;
    CRegistryProblem problem;
    bool excluded;
  } cases[] = {
      {"same identity", RunProblem(L"Tool\u00c9", L"C:\\Gone\\Tool.exe"), true},
      {"ASCII case differs",
       Problem(REGPROBLEM_STARTUP,
               L"hkey_local_machine\\software\\microsoft\\windows\\currentversion\\RUN",
               L"TOOL\u00c9", L"c:\\gone\\tool.EXE"),
       true},
      {"another category, same identity",
       Problem(REGPROBLEM_FONT, kRunKey, L"Tool\u00c9", L"C:\\Gone\\Tool.exe"), true},
      {"non-ASCII case differs", RunProblem(L"Tool\u00e9", L"C:\\Gone\\Tool.exe"), false},
      {"a prefix only", RunProblem(L"Tool\u00c9", L"C:\\Gone\\Tool.ex"), false},
      {"blocked, case differs", RunProblem(L"BLOCKED", L"c:\\gone\\b.exe"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Excluded(c.problem), c.excluded);
  }
}

TEST_F(ExclusionListsTest, RowsReadFromFilesAreLowerCaseAndMatchOnlyLowerCaseText) {
  AddFile(std::wstring(kProgramFolder) + L"\\vendor.wls",
          "K\r\nAcmeKey\r\nV\r\nAcmeData\r\nM\r\nAcmeAll\r\n");
  lists.LoadExclusionLists();
  ASSERT_EQ(lists.KRows().size(), 101u);
  EXPECT_EQ(lists.KRows().back(), L"acmekey");
  EXPECT_EQ(lists.VRows().back(), L"acmedata");
  EXPECT_EQ(lists.MRows().back(), L"acmeall");
  EXPECT_EQ(lists.KRows()[13], L"SourceList");  // built-in rows keep their case

  EXPECT_TRUE(Excluded(RunProblem(L"acmekey", L"x")));
  EXPECT_FALSE(Excluded(RunProblem(L"AcmeKey", L"x")));
  EXPECT_TRUE(Excluded(RunProblem(L"n", L"c:\\acmedata")));
  EXPECT_FALSE(Excluded(RunProblem(L"n", L"C:\\ACMEDATA")));
  EXPECT_TRUE(Excluded(RunProblem(L"ACMEALL", L"x")));  // the M subject is lower-cased
}

// ---------------------------------------------------------------------------------------------
// Loading

TEST_F(ExclusionListsTest, LoadReadsShippedFilesThenTheUserFileThenTheBlockedStore) {
  const std::wstring folder = kProgramFolder;
  AddFile(folder + L"\\b.wls", "2\r\nShipped B\r\n");
  AddFile(folder + L"\\A.WLS", "1\r\nShipped A1\r\nk\r\nrow\r\n3\r\nShipped A2\r\n");
  AddFile(folder + L"\\empty.wls", "");
  memory.files().AddFolder(folder + L"\\dir.wls");
  AddFile(folder + L"\\other.txt", "1\r\nNot a list\r\n");
  AddFile(kUserFile, "6\r\nUser\r\n");
  memory.registry().SetString(std::wstring(kBlockedKey) + L"\\FontErrors", L"1", L"Blocked Font");
  memory.registry().SetString(std::wstring(kBlockedKey) + L"\\ComErrors", L"2", L"Blocked COM");
  memory.registry().SetString(std::wstring(kBlockedKey) + L"\\ComErrors", L"3", L"");
  memory.registry().SetString(std::wstring(kBlockedKey) + L"\\ComErrors", L"4", L"Blocked COM 2");

  lists.LoadExclusionLists();
  const std::vector<EXCLUSION_ENTRY> expected = {
      {1, L"shipped a1"},  {3, L"shipped a2"},    {2, L"shipped b"},    {6, L"user"},
      {0, L"Blocked COM"}, {0, L"Blocked COM 2"}, {2, L"Blocked Font"},
  };
  EXPECT_EQ(lists.IgnoreList(), expected);
  EXPECT_EQ(lists.ShippedCount(), 3u);
  EXPECT_EQ(lists.VisibleEntries(),
            std::vector<EXCLUSION_ENTRY>(expected.begin() + 3, expected.end()));
  EXPECT_EQ(lists.VisibleCount(), 4u);
  EXPECT_EQ(lists.KRows().back(), L"row");
  EXPECT_FALSE(lists.IgnoreListChanged());
  EXPECT_FALSE(lists.BlockedListChanged());
  EXPECT_EQ(memory.registry().OpenHandleCount(), 0u);
  EXPECT_EQ(memory.files().OpenFileCount(), 0u);
}

TEST_F(ExclusionListsTest, BlockedStoreReadingEndsAtANameOrDataOverTheLimits) {
  const std::wstring com = std::wstring(kBlockedKey) + L"\\ComErrors";
  const std::wstring font = std::wstring(kBlockedKey) + L"\\FontErrors";
  memory.registry().SetString(com, std::wstring(1023, L'n'), L"name at the limit");
  memory.registry().SetString(com, std::wstring(1024, L'n'), L"name over the limit");
  memory.registry().SetString(com, L"after", L"never read");
  memory.registry().SetString(font, L"a", std::wstring(1023, L'd'));  // 2048 bytes with its NUL
  memory.registry().SetString(font, L"b", std::wstring(1024, L'd'));
  memory.registry().SetString(font, L"c", L"never read");
  memory.registry().SetString(std::wstring(kBlockedKey) + L"\\SharedDllErrors", L"x",
                              L"next category");

  lists.LoadExclusionLists();
  const std::vector<EXCLUSION_ENTRY> expected = {
      {0, L"name at the limit"}, {2, std::wstring(1023, L'd')}, {3, L"next category"}};
  EXPECT_EQ(lists.IgnoreList(), expected);
}

TEST_F(ExclusionListsTest, MissingSourcesAddNothingAndLoadDiscardsUnsavedChanges) {
  lists.LoadExclusionLists();
  EXPECT_TRUE(lists.IgnoreList().empty());
  EXPECT_EQ(lists.KRows().size(), 100u);

  AddFile(kUserFile, "6\r\nuser\r\n");
  lists.LoadExclusionLists();
  ASSERT_TRUE(lists.RemoveVisibleEntry(0));
  EXPECT_TRUE(lists.IgnoreListChanged());
  lists.LoadExclusionLists();
  EXPECT_EQ(lists.VisibleCount(), 1u);
  EXPECT_FALSE(lists.IgnoreListChanged());
}

TEST_F(ExclusionListsTest, UserFileInTheProgramFolderIsReadOnceAsTheUsers) {
  memory.shell().RemoveFolder(kCsidlCommonAppData);
  AddFile(std::wstring(kProgramFolder) + L"\\ignore.wls", "6\r\nuser\r\n");
  AddFile(std::wstring(kProgramFolder) + L"\\shipped.wls", "1\r\nshipped\r\n");
  lists.LoadExclusionLists();
  EXPECT_EQ(lists.UserListPath(), std::wstring(kProgramFolder) + L"\\ignore.wls");
  EXPECT_EQ(lists.ShippedCount(), 1u);
  EXPECT_EQ(lists.VisibleEntries(), (std::vector<EXCLUSION_ENTRY>{{6, L"user"}}));
}

// A list another account could have written (or one too large to be a list) is not read: it
// could hide every problem.
TEST_F(ExclusionListsTest, AnUntrustedOrOversizedUserListIsNotReadAndThatIsLogged) {
  const std::string record = "6\r\nhidden\r\n";
  const struct {
    const char* name;
    FileOwner fileOwner;
    bool link;
    FileOwner folderOwner;
    std::string bytes;
    const wchar_t* reason;  // null: the list is read
  } cases[] = {
      {"own", FileOwner::kAdministrators, false, FileOwner::kAdministrators, record, nullptr},
      {"planted", FileOwner::kOther, false, FileOwner::kAdministrators, record,
       kUntrustedOwner.english.data()},
      {"link", FileOwner::kAdministrators, true, FileOwner::kAdministrators, record,
       kUntrustedReparsePoint.english.data()},
      {"planted folder", FileOwner::kAdministrators, false, FileOwner::kOther, record,
       kUntrustedOwner.english.data()},
      {"too large", FileOwner::kAdministrators, false, FileOwner::kAdministrators,
       record + std::string(kUserIgnoreMaxBytes, ' '), L"it is larger than 4194304 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CMemoryPlatform machine;
    CRecordingLog notes;
    CExclusionLists user(machine.platform(), &notes, kProduct);
    machine.files().AddFile(kUserFile, c.bytes);
    machine.files().SetOwner(kUserFile, c.fileOwner);
    machine.files().SetOwner(kDataFolder, c.folderOwner);
    if (c.link) machine.files().MarkReparsePoint(kUserFile);
    user.LoadExclusionLists();
    EXPECT_EQ(user.VisibleCount(), c.reason == nullptr ? 1u : 0u);
    if (c.reason == nullptr) {
      EXPECT_TRUE(notes.entries.empty());
      continue;
    }
    EXPECT_EQ(notes.entries, std::vector<std::wstring>{L"The ignore list " +
                                                       std::wstring(kUserFile) +
                                                       L" is not read: " + c.reason + L"."});
    // Nor is anything written over it into an untrusted folder.
    if (c.folderOwner == FileOwner::kOther) {
      EXPECT_EQ(user.IgnoreProblem(RunProblem(L"App", L"C:\\App.exe")), kErrorInvalidOwner);
      EXPECT_EQ(machine.files().ReadFile(kUserFile), c.bytes);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Ignoring, removing and saving

TEST_F(ExclusionListsTest, IgnoreLogsAppendsAndSavesTheVisibleEntriesOnly) {
  AddFile(std::wstring(kProgramFolder) + L"\\shipped.wls", "1\r\nshipped\r\n");
  lists.LoadExclusionLists();
  ASSERT_EQ(lists.IgnoreProblem(RunProblem(L"App", L"C:\\App.exe")), kErrorSuccess);
  ASSERT_EQ(lists.IgnoreProblem(Problem(REGPROBLEM_FILE_ASSOCIATION, L"HKEY_CLASSES_ROOT\\.xyz",
                                        L"(Default)", L"C:\\x.exe")),
            kErrorSuccess);

  EXPECT_EQ(log.entries, (std::vector<std::wstring>{
                           L"Ignored Windows Startups problem key:" + std::wstring(kRunKey) +
                               L" valueName:App value:C:\\App.exe",
                           L"Ignored File Association References problem "
                           L"key:HKEY_CLASSES_ROOT\\.xyz valueName:(Default) value:C:\\x.exe"}));
  EXPECT_EQ(UserFile(),
            "6\r\n" + Narrow(kRunKey) +
                "\\App|C:\\App.exe\r\n10\r\nHKEY_CLASSES_ROOT\\.xyz\\(Default)|C:\\x.exe\r\n");
  EXPECT_FALSE(lists.IgnoreListChanged());
  EXPECT_EQ(memory.files().ListFolder(kDataFolder), (std::vector<std::wstring>{L"ignore.wls"}));

  // Read back: the entries come back lower-cased, after the shipped one.
  CExclusionLists again(memory.platform(), nullptr, kProduct);
  again.LoadExclusionLists();
  ASSERT_EQ(again.VisibleCount(), 2u);
  EXCLUSION_ENTRY first;
  ASSERT_TRUE(again.VisibleEntry(0, &first));
  EXPECT_EQ(first,
            (EXCLUSION_ENTRY{6, ToLowerAscii(std::wstring(kRunKey)) + L"\\app|c:\\app.exe"}));
  EXPECT_FALSE(again.VisibleEntry(2, &first));

  EXPECT_EQ(lists.IgnoreProblem(Problem(static_cast<REGPROBLEM_TYPE>(11), L"K", L"N", L"D")),
            kErrorInvalidParameter);
  EXPECT_EQ(log.entries.size(), 2u);
}

TEST_F(ExclusionListsTest, CharactersAboveLatin1SurviveASaveAndALoad) {
  const CRegistryProblem problem =
      RunProblem(L"\u65e5\u672c \u20ac", L"C:\\Caf\u00e9\\\U0001F600 &#x20ac; .exe ");
  ASSERT_EQ(lists.IgnoreProblem(problem), kErrorSuccess);
  CExclusionLists again(memory.platform(), nullptr, kProduct);
  again.LoadExclusionLists();
  ASSERT_EQ(again.VisibleCount(), 1u);
  EXPECT_EQ(again.VisibleEntries()[0].identity, ToLowerAscii(ProblemIdentity(problem)));
  EXPECT_TRUE(again.IsProblemExcluded(problem));
}

TEST_F(ExclusionListsTest, RemovingTheOnlyUserEntryDeletesTheFile) {
  ASSERT_EQ(lists.IgnoreProblem(RunProblem(L"App", L"C:\\App.exe")), kErrorSuccess);
  ASSERT_TRUE(UserFile().has_value());
  EXPECT_FALSE(lists.RemoveVisibleEntry(1));
  ASSERT_TRUE(lists.RemoveVisibleEntry(0));
  EXPECT_EQ(lists.SaveExclusionListsIfChanged(), kErrorSuccess);
  EXPECT_FALSE(UserFile().has_value());
  EXPECT_FALSE(Excluded(RunProblem(L"App", L"C:\\App.exe")));
  // Nothing changed since: nothing is written.
  AddFile(kUserFile, "1\r\nuntouched\r\n");
  EXPECT_EQ(lists.SaveExclusionListsIfChanged(), kErrorSuccess);
  EXPECT_EQ(UserFile(), "1\r\nuntouched\r\n");
}

TEST_F(ExclusionListsTest, AFailedWriteOrReplaceLeavesTheOldFileWhole) {
  const std::string old = "6\r\nfirst\r\n6\r\nsecond\r\n";
  AddFile(kUserFile, old);
  CFaultyFileSystem faulty(memory.files());
  CExclusionLists faultyLists({memory.registry(), faulty, memory.shell(), memory.clock()}, nullptr,
                              kProduct);
  faultyLists.LoadExclusionLists();

  const struct {
    const char* name;
    std::size_t room;
    bool failReplace;
  } cases[] = {{"disk full at once", 0, false},
               {"disk full midway", 12, false},
               {"replace fails", 1 << 20, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    faulty.failSuffix = kUniqueFileExtension;
    faulty.failAfterBytes = c.room;
    faulty.failReplace = c.failReplace;
    EXPECT_NE(faultyLists.IgnoreProblem(RunProblem(L"Third", L"C:\\x.exe")), kErrorSuccess);
    EXPECT_EQ(UserFile(), old);
    EXPECT_EQ(memory.files().ListFolder(kDataFolder), (std::vector<std::wstring>{L"ignore.wls"}))
        << "the new file is gone again";
    EXPECT_TRUE(faultyLists.IgnoreListChanged()) << "the next save must try again";
    ASSERT_TRUE(faultyLists.RemoveVisibleEntry(2));
  }
  // A failed deletion of the file is reported too; the file stays.
  std::unique_ptr<IFile> holder;
  ASSERT_EQ(
      memory.files().OpenFile(kUserFile, FileOpenMode::kRead, FileShareMode::kShareAll, &holder),
      kErrorSuccess);
  ASSERT_TRUE(faultyLists.RemoveVisibleEntry(0));
  ASSERT_TRUE(faultyLists.RemoveVisibleEntry(0));
  EXPECT_EQ(faultyLists.SaveExclusionListsIfChanged(), kErrorSharingViolation);
  holder.reset();
  EXPECT_EQ(UserFile(), old);
  EXPECT_TRUE(faultyLists.IgnoreListChanged());

  // Once the file may go, the next save does what the failed ones could not.
  EXPECT_EQ(faultyLists.SaveExclusionListsIfChanged(), kErrorSuccess);
  EXPECT_FALSE(faultyLists.IgnoreListChanged());
  EXPECT_FALSE(UserFile().has_value());
}

// ---------------------------------------------------------------------------------------------
// Blocking and the blocked store

TEST_F(ExclusionListsTest, BlockAppendsTheUndoSectionToTheBackupFile) {
  std::unique_ptr<CBackupFile> backup;
  ASSERT_EQ(CBackupFile::Create(memory.files(), L"C:\\b.reg", L"", &backup), kErrorSuccess);
  ASSERT_EQ(lists.BlockProblem(Problem(REGPROBLEM_STARTUP, L"x", L"y", L"z"), *backup),
            kErrorSuccess);
  ASSERT_EQ(lists.BlockProblem(Problem(REGPROBLEM_EMPTY_KEY, L"a", L"b", L"cdefg"), *backup),
            kErrorSuccess);
  EXPECT_EQ(memory.files().ReadFile(L"C:\\b.reg"),
            "\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo\\blocked\\WinStartUpErrors]\r\n"
            "\"145752707\"=-\r\n"
            "\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo\\blocked\\EmtyRegKeyErrors]\r\n"
            "\"-1424863980\"=-\r\n");
  EXPECT_EQ(lists.BlockedList(),
            (std::vector<EXCLUSION_ENTRY>{{6, L"x\\y|z"}, {9, L"a\\b|cdefg"}}));
  EXPECT_TRUE(lists.BlockedListChanged());

  // A backup file that cannot take the section: nothing is blocked.
  ASSERT_EQ(backup->Close(), kErrorSuccess);
  EXPECT_NE(lists.BlockProblem(RunProblem(L"n", L"d"), *backup), kErrorSuccess);
  EXPECT_EQ(lists.BlockedList().size(), 2u);
  EXPECT_FALSE(Excluded(RunProblem(L"n", L"d")));
}

TEST_F(ExclusionListsTest, SaveWritesTheBlockedStoreKeepingWhatIsThere) {
  CCountingRegistry counting(memory.registry());
  CExclusionLists countingLists({counting, memory.files(), memory.shell(), memory.clock()}, nullptr,
                                kProduct);
  memory.registry().SetString(std::wstring(kBlockedKey) + L"\\WinStartUpErrors", L"1", L"earlier");
  std::unique_ptr<CBackupFile> backup;
  ASSERT_EQ(CBackupFile::Create(memory.files(), L"C:\\b.reg", L"", &backup), kErrorSuccess);
  // The last two identities share their hash ("aB" and "b!" hash alike): the later one stays.
  for (const CRegistryProblem& p :
       {RunProblem(L"One", L"C:\\1.exe"),
        Problem(REGPROBLEM_COM, L"HKEY_CLASSES_ROOT\\CLSID\\{x}", L"AppID", L"{y}"),
        RunProblem(L"n", L"aB"), RunProblem(L"n", L"b!")}) {
    ASSERT_EQ(countingLists.BlockProblem(p, *backup), kErrorSuccess);
  }
  ASSERT_EQ(countingLists.SaveExclusionListsIfChanged(), kErrorSuccess);
  EXPECT_FALSE(countingLists.BlockedListChanged());

  const std::wstring run = std::wstring(kBlockedKey) + L"\\WinStartUpErrors";
  const std::wstring one = std::wstring(kRunKey) + L"\\One|C:\\1.exe";
  const std::wstring collided = std::wstring(kRunKey) + L"\\n|b!";
  EXPECT_EQ(memory.registry().ValueNames(run),
            (std::vector<std::wstring>{L"1", IdentityHashText(one), IdentityHashText(collided)}));
  EXPECT_EQ(memory.registry().GetString(run, L"1"), L"earlier");
  EXPECT_EQ(memory.registry().GetString(run, IdentityHashText(one)), one);
  EXPECT_EQ(memory.registry().GetString(run, IdentityHashText(collided)), collided);
  const auto raw = memory.registry().GetValueRaw(run, IdentityHashText(one));
  ASSERT_TRUE(raw.has_value());
  EXPECT_EQ(raw->type, kRegSz);
  EXPECT_EQ(raw->data.size(), (one.size() + 1) * 2);  // with its terminating zero
  EXPECT_EQ(
      memory.registry().GetString(std::wstring(kBlockedKey) + L"\\ComErrors",
                                  IdentityHashText(L"HKEY_CLASSES_ROOT\\CLSID\\{x}\\AppID|{y}")),
      L"HKEY_CLASSES_ROOT\\CLSID\\{x}\\AppID|{y}");
  // One open of each category's subkey for the whole save.
  EXPECT_EQ(counting.creates[L"WinStartUpErrors"], 1);
  EXPECT_EQ(counting.creates[L"ComErrors"], 1);
  EXPECT_EQ(counting.creates[L"blocked"], 1);
  EXPECT_EQ(memory.registry().OpenHandleCount(), 0u);
}

TEST_F(ExclusionListsTest, ABlockedStoreWriteThatFailsEndsTheSave) {
  CCountingRegistry counting(memory.registry());
  CExclusionLists countingLists({counting, memory.files(), memory.shell(), memory.clock()}, nullptr,
                                kProduct);
  memory.registry().CreatePath(std::wstring(kBlockedKey) + L"\\FontErrors");
  memory.registry().DenyAccess(std::wstring(kBlockedKey) + L"\\FontErrors", kKeySetValue);
  std::unique_ptr<CBackupFile> backup;
  ASSERT_EQ(CBackupFile::Create(memory.files(), L"C:\\b.reg", L"", &backup), kErrorSuccess);
  const std::wstring first = L"K\\first|";
  const std::wstring failing = L"K\\failing|";
  for (const CRegistryProblem& p : {Problem(REGPROBLEM_COM, L"K", L"first", L""),
                                    Problem(REGPROBLEM_FONT, L"K", L"denied", L""),
                                    Problem(REGPROBLEM_HELP_FILE, L"K", L"after", L"")}) {
    ASSERT_EQ(countingLists.BlockProblem(p, *backup), kErrorSuccess);
  }
  EXPECT_EQ(countingLists.SaveExclusionListsIfChanged(), kErrorAccessDenied);
  EXPECT_EQ(memory.registry().ValueNames(std::wstring(kBlockedKey) + L"\\ComErrors"),
            std::vector<std::wstring>{IdentityHashText(first)});
  EXPECT_FALSE(memory.registry().KeyExists(std::wstring(kBlockedKey) + L"\\HelpFileErrors"));
  EXPECT_TRUE(countingLists.BlockedListChanged());  // the next save tries again
  memory.registry().RemovePath(std::wstring(kBlockedKey) + L"\\FontErrors");
  EXPECT_EQ(countingLists.SaveExclusionListsIfChanged(), kErrorSuccess);
  EXPECT_FALSE(countingLists.BlockedListChanged());
  EXPECT_EQ(memory.registry().ValueNames(std::wstring(kBlockedKey) + L"\\HelpFileErrors").size(),
            1u);

  // A value that cannot be written ends the save in the same way.
  memory.registry().RemovePath(kBlockedKey);
  counting.failValueName = IdentityHashText(failing);
  CExclusionLists second({counting, memory.files(), memory.shell(), memory.clock()}, nullptr,
                         kProduct);
  for (const CRegistryProblem& p : {Problem(REGPROBLEM_COM, L"K", L"first", L""),
                                    Problem(REGPROBLEM_COM, L"K", L"failing", L""),
                                    Problem(REGPROBLEM_COM, L"K", L"after", L"")}) {
    ASSERT_EQ(second.BlockProblem(p, *backup), kErrorSuccess);
  }
  EXPECT_EQ(second.SaveExclusionListsIfChanged(), kErrorAccessDenied);
  EXPECT_EQ(memory.registry().ValueNames(std::wstring(kBlockedKey) + L"\\ComErrors"),
            std::vector<std::wstring>{IdentityHashText(first)});
  EXPECT_EQ(memory.registry().OpenHandleCount(), 0u);
}

// ---------------------------------------------------------------------------------------------
// The ignore list page's view

TEST_F(ExclusionListsTest, ABlockedEntryRemovedOnThePageComesBackAtTheNextLoad) {
  const std::wstring identity = std::wstring(kRunKey) + L"\\Tool|C:\\gone\\tool.exe";
  memory.registry().SetString(std::wstring(kBlockedKey) + L"\\WinStartUpErrors",
                              IdentityHashText(identity), identity);
  lists.LoadExclusionLists();
  ASSERT_EQ(lists.VisibleCount(), 1u);
  EXPECT_TRUE(lists.RemoveFirstVisibleMatch(ToLowerAscii(identity)));
  EXPECT_FALSE(lists.RemoveFirstVisibleMatch(identity));
  EXPECT_EQ(lists.SaveExclusionListsIfChanged(), kErrorSuccess);
  EXPECT_FALSE(UserFile().has_value());

  lists.LoadExclusionLists();
  EXPECT_EQ(lists.VisibleEntries(), (std::vector<EXCLUSION_ENTRY>{{6, identity}}));
}

TEST_F(ExclusionListsTest, TheSameIdentityTwiceShowsTwiceAndRemovalTakesTheFirst) {
  const std::wstring identity = L"HKEY_X\\Run\\Tool|C:\\tool.exe";
  AddFile(kUserFile, "6\r\n" + Narrow(identity) + "\r\n");
  memory.registry().SetString(std::wstring(kBlockedKey) + L"\\WinStartUpErrors",
                              IdentityHashText(identity), identity);
  lists.LoadExclusionLists();
  EXPECT_EQ(lists.VisibleEntries(),
            (std::vector<EXCLUSION_ENTRY>{{6, ToLowerAscii(identity)}, {6, identity}}));

  // The page checks the row showing the registry's spelling; the first match in list order goes.
  ASSERT_TRUE(lists.RemoveFirstVisibleMatch(identity));
  EXPECT_EQ(lists.VisibleEntries(), (std::vector<EXCLUSION_ENTRY>{{6, identity}}));
  // The blocked store's entry stays in the store only: the user file is deleted, not given a
  // copy of it (which would keep the problem hidden after a restore lifts the block, and gain
  // one more copy at every save).
  EXPECT_EQ(lists.SaveExclusionListsIfChanged(), kErrorSuccess);
  EXPECT_FALSE(UserFile().has_value());
  lists.LoadExclusionLists();
  EXPECT_EQ(lists.VisibleEntries(), (std::vector<EXCLUSION_ENTRY>{{6, identity}}));
}

// ---------------------------------------------------------------------------------------------
// The engine asks the lists

TEST_F(ExclusionListsTest, TheEngineDropsExcludedProblems) {
  ASSERT_EQ(lists.IgnoreProblem(RunProblem(L"Ignored", L"C:\\gone.exe")), kErrorSuccess);
  CProblemList problems;
  CRegistryCleaner engine(memory.platform(), problems, &lists, nullptr);
  engine.Prepare(AllCategories());

  EXPECT_FALSE(engine.AddProblem(std::make_unique<CRegistryProblem>(
      std::wstring(kRunKey), L"Office Helper", L"C:\\gone.exe", REGPROBLEM_STARTUP, 0)));
  EXPECT_FALSE(engine.AddProblem(std::make_unique<CRegistryProblem>(
      std::wstring(kRunKey), L"IGNORED", L"c:\\gone.exe", REGPROBLEM_STARTUP, 0)));
  EXPECT_TRUE(engine.AddProblem(std::make_unique<CRegistryProblem>(
      std::wstring(kRunKey), L"Kept", L"C:\\gone.exe", REGPROBLEM_STARTUP, 0)));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems.At(0)->name, L"Kept");
  EXPECT_EQ(engine.TotalFound(), 1);
  EXPECT_EQ(engine.Found(REGPROBLEM_STARTUP), 1);
}

// ---------------------------------------------------------------------------------------------
// Threads

TEST_F(ExclusionListsTest, QueriesStayConsistentWhileOtherThreadsChangeTheLists) {
  AddFile(std::wstring(kProgramFolder) + L"\\shipped.wls",
          "6\r\nshipped\\entry|x\r\nk\r\nacme\r\n");
  lists.LoadExclusionLists();
  const CRegistryProblem safe = RunProblem(L"Office", L"C:\\x.exe");
  const CRegistryProblem never = RunProblem(L"Plain", L"C:\\plain.exe");
  const CRegistryProblem toggled = RunProblem(L"Toggled", L"C:\\t.exe");
  constexpr int kRounds = 60;

  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  std::atomic<long> queries{0};
  std::thread scan([&] {
    // Runs until the writers are done, and at least a few hundred times.
    while (!done.load() || queries.load() < 300) {
      if (!lists.IsProblemExcluded(safe)) ++wrong;
      if (lists.IsProblemExcluded(never)) ++wrong;
      static_cast<void>(lists.IsProblemExcluded(toggled));
      ++queries;
    }
  });
  std::thread interface([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (lists.IgnoreProblem(toggled) != kErrorSuccess) ++wrong;
      if (!lists.RemoveFirstVisibleMatch(ProblemIdentity(toggled))) ++wrong;
      if (lists.SaveExclusionListsIfChanged() != kErrorSuccess) ++wrong;
      if (i % 10 == 0) lists.LoadExclusionLists();
      static_cast<void>(lists.VisibleEntries());
    }
  });
  std::set<std::wstring> blockedIdentities;
  for (int i = 0; i < kRounds; ++i) {
    blockedIdentities.insert(
        ProblemIdentity(RunProblem(L"Blocked" + std::to_wstring(i), L"C:\\b.exe")));
  }
  std::thread repair([&] {
    std::unique_ptr<CBackupFile> backup;
    if (CBackupFile::Create(memory.files(), L"C:\\threads.reg", L"", &backup) != kErrorSuccess) {
      ++wrong;
      return;
    }
    for (int i = 0; i < kRounds; ++i) {
      if (lists.BlockProblem(RunProblem(L"Blocked" + std::to_wstring(i), L"C:\\b.exe"), *backup) !=
          kErrorSuccess) {
        ++wrong;
      }
      if (lists.SaveExclusionListsIfChanged() != kErrorSuccess) ++wrong;
    }
  });
  interface.join();
  repair.join();
  done.store(true);
  scan.join();
  EXPECT_EQ(wrong.load(), 0);

  // What reached the disk and the registry is whole.
  CExclusionLists after(memory.platform(), nullptr, kProduct);
  after.LoadExclusionLists();
  EXPECT_FALSE(after.IsProblemExcluded(toggled));
  EXPECT_TRUE(after.IsProblemExcluded(safe));
  EXPECT_EQ(after.ShippedCount(), 1u);
  const std::wstring run = std::wstring(kBlockedKey) + L"\\WinStartUpErrors";
  for (const std::wstring& name : memory.registry().ValueNames(run)) {
    const std::optional<std::wstring> text = memory.registry().GetString(run, name);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(blockedIdentities.count(*text), 1u) << *text;
    EXPECT_EQ(IdentityHashText(*text), name);
  }
  EXPECT_EQ(memory.files().OpenFileCount(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Windows' own areas

TEST(WlsFormat, OwnedAreaRecordsAreReadOnlyAsAreas) {
  const OWNED_AREA system{OWNED_AREA::kAnyCategory, false, kHkeyLocalMachine, {L"system"}};
  const OWNED_AREA userWindows{9, true, kNullRegHandle, {L"software", L"microsoft", L"windows"}};
  const struct {
    const char* name;
    std::string bytes;
    std::vector<OWNED_AREA> areas;
  } cases[] = {
      {"every category, any case, abbreviated root", "w\r\nHKLM\\SYSTEM\\\r\n", {system}},
      {"one category, each user's hive", "W 9\r\nHKEY_EACH_USER\\Software\\Microsoft\\Windows\r\n",
       {userWindows}},
      {"any one key name", "W10\r\nHKEY_USERS\\*\\x\r\n",
       {{10, false, kHkeyUsers, {L"*", L"x"}}}},
      {"a root alone", "W\r\nHKEY_EACH_USER\r\n",
       {{OWNED_AREA::kAnyCategory, true, kNullRegHandle, {}}}},
      {"what is no record of ours",
       "W11\r\nHKLM\\A\r\nW+9\r\nHKLM\\A\r\nW9x\r\nHKLM\\A\r\nWin\r\nHKLM\\A\r\n"
       "W\r\nHKEY_NOWHERE\\A\r\nW\r\nHKLM/A\r\nW\r\nHKLM\\\\A\r\nW\r\n\r\nW\r\n",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WLS_CONTENT content;
    ParseWlsBytes(c.bytes, &content);
    EXPECT_EQ(content.ownedAreas, c.areas);
    EXPECT_TRUE(content.entries.empty() && content.kRows.empty() && content.mRows.empty() &&
                content.vRows.empty());
  }

  // The list as shipped: its records, notes included, are areas or nothing, never an ignore entry
  // or a safe row (the reader before areas existed read the same file as empty).
  WLS_CONTENT shipped;
  ParseWlsBytes(kShippedOwnedList, &shipped);
  EXPECT_TRUE(shipped.entries.empty() && shipped.kRows.empty() && shipped.mRows.empty() &&
              shipped.vRows.empty());
  ASSERT_EQ(shipped.ownedAreas.size(), 25u);
  EXPECT_EQ(shipped.ownedAreas.front(), system);
  EXPECT_EQ(shipped.ownedAreas.back(),
            (OWNED_AREA{OWNED_AREA::kAnyCategory, true, kNullRegHandle,
                        {L"software", L"wow6432node", L"microsoft", L"active setup",
                         L"installed components"}}));
}

TEST_F(ExclusionListsTest, WindowsOwnedAreasAsShippedCoverWhatTheyNameAndNothingMore) {
  const std::wstring shipped = std::wstring(kProgramFolder) + L"\\" + kWindowsOwnedListName;
  AddFile(shipped, kShippedOwnedList);
  const std::wstring user = kUserHive;
  const std::wstring services = L"HKEY_LOCAL_MACHINE\\System\\ControlSet001\\Services\\Gone";
  const std::wstring paging =
      L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
  const std::wstring winlogon = L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  const std::wstring explorer = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Old";
  const struct {
    const char* name;
    CRegistryProblem problem;
    bool excluded;
  } cases[] = {
      {"a service's ImagePath", Problem(REGPROBLEM_FILE_PATH, services, L"ImagePath", L"C:\\g.exe"),
       true},
      {"the paging files", Problem(REGPROBLEM_FILE_PATH, paging, L"PagingFiles", L"C:\\p.sys"),
       true},
      {"a key only beginning with SYSTEM",
       Problem(REGPROBLEM_FILE_PATH, L"HKEY_LOCAL_MACHINE\\SYSTEMX\\Gone", L"v", L"C:\\g"), false},
      {"SYSTEM below the root's child",
       Problem(REGPROBLEM_FILE_PATH, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\System\\Gone", L"v", L"C:\\g"),
       false},
      {"Winlogon of the machine, below it",
       Problem(REGPROBLEM_FILE_PATH, L"HKEY_LOCAL_MACHINE" + winlogon + L"\\Notify\\x",
               L"DllName", L"C:\\g.dll"),
       true},
      {"Winlogon of the machine's 32-bit view",
       Problem(REGPROBLEM_FILE_PATH,
               L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion"
               L"\\Winlogon",
               L"Shell", L"C:\\g"),
       true},
      {"a policy of the machine's 32-bit view",
       Problem(REGPROBLEM_FILE_PATH, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\Policies\\V",
               L"Path", L"C:\\g"),
       true},
      {"Winlogon of a user's hive",
       Problem(REGPROBLEM_FILE_PATH, user + winlogon, L"Shell", L"C:\\g"), true},
      {"Winlogon of the current user",
       Problem(REGPROBLEM_FILE_PATH, L"HKEY_CURRENT_USER" + winlogon, L"Shell", L"C:\\g"), true},
      {"a policy of a user", Problem(REGPROBLEM_FILE_PATH, user + L"\\Software\\Policies\\V\\P",
                                     L"Path", L"C:\\g"),
       true},
      {"an empty key of Windows' in a user's hive",
       Problem(REGPROBLEM_EMPTY_KEY, user + explorer, L"(Default)", L""), true},
      {"an empty key of Windows' in the default hive",
       Problem(REGPROBLEM_EMPTY_KEY,
               L"HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Internet Explorer", L"(Default)", L""),
       true},
      {"a value in the same key", Problem(REGPROBLEM_FILE_PATH, user + explorer, L"v", L"C:\\g"),
       false},
      {"an empty key of a Microsoft component",
       Problem(REGPROBLEM_EMPTY_KEY, user + L"\\Software\\Microsoft\\Windows Media\\Old",
               L"(Default)", L""),
       true},
      {"an empty key of the profile's sounds",
       Problem(REGPROBLEM_EMPTY_KEY, user + L"\\AppEvents\\Schemes\\Apps\\Old", L"(Default)",
               L""),
       true},
      {"an empty key of a program's",
       Problem(REGPROBLEM_EMPTY_KEY, user + L"\\Software\\Vendor\\Old", L"(Default)", L""),
       false},
      // A user's Active Setup record: without it Windows sets the component up again.
      {"a user's Active Setup record, 32-bit view",
       Problem(REGPROBLEM_EMPTY_KEY,
               user + L"\\Software\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components"
                      L"\\{89B4C1CD-B018-4511-B0A1-5476DBF70820}",
               L"(Default)", L""),
       true},
      {"a user's Active Setup record naming a missing file",
       Problem(REGPROBLEM_FILE_PATH,
               L"HKEY_CURRENT_USER\\Software\\Microsoft\\Active Setup\\Installed Components\\{X}",
               L"StubPath", L"C:\\gone\\stub.exe"),
       true},
      {"an uninstall entry",
       Problem(REGPROBLEM_UNINSTALL,
               L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
               L"Tool", L"C:\\Tool\\uninst.exe"),
       false},
      {"a Run value of the machine", RunProblem(L"Agent", L"C:\\Tool\\agent.exe"), false},
      {"a Run value of the machine's 32-bit view",
       Problem(REGPROBLEM_STARTUP,
               L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion"
               L"\\Run",
               L"Agent", L"C:\\Tool\\agent.exe"),
       false},
      {"a Run value of the current user",
       Problem(REGPROBLEM_STARTUP,
               L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Agent",
               L"C:\\Tool\\agent.exe"),
       false},
      {"a shortcut in a folder named like a key",
       Problem(REGPROBLEM_SHORTCUT, L"C:\\SYSTEM\\x.lnk", L"", L""), false},
  };
  lists.LoadExclusionLists();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Excluded(c.problem), c.excluded);
  }
  // The areas carry no identity: nothing of the ignore list, shown or written.
  EXPECT_TRUE(lists.IgnoreList().empty());
  EXPECT_EQ(lists.ShippedCount(), 0u);
  ASSERT_EQ(lists.IgnoreProblem(RunProblem(L"Agent", L"C:\\Tool\\agent.exe")), kErrorSuccess);
  EXPECT_EQ(UserFile(), Narrow(L"6\r\n" + ProblemIdentity(RunProblem(L"Agent",
                                                                     L"C:\\Tool\\agent.exe")) +
                               L"\r\n"));

  // Removing a row brings its rule back; a row in the user's own list is not honoured; without
  // the file the rows built into the program apply, and the lists say so.
  const CRegistryProblem& service = cases[0].problem;
  const CRegistryProblem& pagingFiles = cases[1].problem;
  const CRegistryProblem& userWinlogon = cases[5].problem;
  memory.files().AddFile(shipped, WithoutRecord(kShippedOwnedList, kSystemRecord));
  AddFile(kUserFile, "W\r\nHKEY_LOCAL_MACHINE\\SYSTEM\r\n");
  lists.LoadExclusionLists();
  EXPECT_FALSE(Excluded(service));
  EXPECT_FALSE(Excluded(pagingFiles));
  EXPECT_TRUE(Excluded(userWinlogon));
  EXPECT_EQ(lists.OwnedRowsNotice(), L"");
  ASSERT_TRUE(memory.files().RemoveFile(shipped) == kErrorSuccess);
  lists.LoadExclusionLists();
  EXPECT_TRUE(Excluded(userWinlogon));
  EXPECT_TRUE(Excluded(service));
  EXPECT_EQ(lists.OwnedRowsNotice(),
            shipped + L" is missing or cannot be read: Windows' own registry areas are protected "
                      L"by the rows built into the program.");
}

TEST_F(ExclusionListsTest, AMissingOrDamagedOwnedListFallsBackToTheRowsBuiltIn) {
  const std::wstring shipped = std::wstring(kProgramFolder) + L"\\" + kWindowsOwnedListName;
  // The walk names keys as the machine's layout spells them ("Software", "System"), in order.
  const std::wstring serviceKey = L"HKEY_LOCAL_MACHINE\\System\\ControlSet001\\Services\\Gone";
  const std::wstring toolKey = L"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Tool";
  memory.registry().SetString(serviceKey, L"ImagePath", L"C:\\Gone\\service.exe");
  memory.registry().SetString(toolKey, L"LastFile", L"C:\\Gone\\file.txt");
  const struct {
    const char* name;
    std::optional<std::string> bytes;
    bool builtIn;  // the rows built into the program stand in for the file
  } cases[] = {
      {"as shipped", std::string(kShippedOwnedList), false},
      {"missing", std::nullopt, true},
      {"binary", std::string("\0\xff\xfeW\r\n\x80\x81\0\r\nW", 12), true},
      {"cut off in its first row",
       std::string(kShippedOwnedList.substr(0, kShippedOwnedList.find("HKEY_LOCAL_MACHINE") + 12)),
       true},
      {"damaged rows around a sound one",
       "W12\r\nHKLM\\SOFTWARE\r\nW\r\nHKLM\\\\SOFTWARE\r\nW\r\nHKLM\\SYSTEM\r\nW\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.bytes.has_value()) {
      memory.files().AddFile(shipped, *c.bytes);
    } else {
      static_cast<void>(memory.files().RemoveFile(shipped));
    }
    lists.LoadExclusionLists();
    CProblemList problems;
    CRegistryCleaner engine(memory.platform(), problems, &lists, nullptr);
    engine.Prepare(AllCategories());
    CheckFileReferences(engine);
    std::vector<std::wstring> keys;
    for (std::size_t i = 0; i < problems.size(); ++i) keys.push_back(problems.At(i)->key);
    // Never a scan without Windows' own areas.
    EXPECT_EQ(keys, std::vector<std::wstring>{toolKey});
    EXPECT_EQ(!lists.OwnedRowsNotice().empty(), c.builtIn);
  }
}

}  // namespace
}  // namespace qv
