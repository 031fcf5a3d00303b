// Only the system's own libraries and programs, under Wine: the programs import no library that
// could be planted beside them, call into none planted there, start no regedit.exe planted in the
// folder they are started from, keep a relative path of their command line in that folder, and
// leave alone a task of their name that starts another program.
//
// Wine looks for version.dll and SRCLIENT.DLL beside a program first, as Windows does for a
// library that is not a known DLL, when its load order for the program says "native, builtin"
// (the registry's form of WINEDLLOVERRIDES="version,srclient=n,b", which a child process takes
// only from there). Wine's own user32 imports version.dll, so under Wine every program that uses
// windows loads a version.dll planted beside it at start; what the test can see is that the
// programs' own calls reach the system's library: the version they log is their own.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/text_case.h"
#include "base/utf16.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/task_scheduler.h"

namespace qv::test {
namespace {

const std::wstring kPlantedRoot = L"C:\\QvPlanted";
const std::wstring kBeside = kPlantedRoot + L"\\bin";     // copies of the programs, and the plants
const std::wstring kStartIn = kPlantedRoot + L"\\start";  // the folder the programs are started in

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

// Wine's load order for the planted copies of the programs and the probe: version.dll and
// SRCLIENT.DLL from beside the program first.
class CPlantedLibraryOrder {
 public:
  CPlantedLibraryOrder() {
    for (const wchar_t* program : kPrograms) {
      for (const wchar_t* library : {L"version", L"srclient"}) {
        SetString(HKEY_CURRENT_USER, Key(program), library, L"native,builtin");
      }
    }
  }
  ~CPlantedLibraryOrder() {
    for (const wchar_t* program : kPrograms) {
      const std::wstring key = L"Software\\Wine\\AppDefaults\\" + std::wstring(program);
      RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    }
  }
  CPlantedLibraryOrder(const CPlantedLibraryOrder&) = delete;
  CPlantedLibraryOrder& operator=(const CPlantedLibraryOrder&) = delete;

 private:
  static constexpr const wchar_t* kPrograms[] = {L"QuarveloCli.exe", L"Quarvelo.exe",
                                                 L"probe.exe"};
  static std::wstring Key(const wchar_t* program) {
    return L"Software\\Wine\\AppDefaults\\" + std::wstring(program) + L"\\DllOverrides";
  }
};

// The program line of each activity log ("Registry Cleaner <version>").
std::vector<std::string> LoggedProgramLines() {
  std::vector<std::string> lines;
  const std::wstring folder = CommonAppData() + L"\\Quarvelo\\LOGS\\";
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((folder + L"*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return lines;
  do {
    const std::string text = ReadFileBytes(folder + found.cFileName);
    const std::size_t at = text.find("Registry Cleaner");
    if (at != std::string::npos) lines.push_back(text.substr(at, text.find('\r', at) - at));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return lines;
}

class HostileLoadingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const std::wstring& folder : {kPlantedRoot, kBeside, kStartIn}) {
      CreateDirectoryW(folder.c_str(), nullptr);
    }
    const std::wstring built = FolderOf(CliPath());
    const std::pair<std::wstring, std::wstring> copies[] = {
        {CliPath(), kBeside + L"\\QuarveloCli.exe"},
        {BuildTreePath(QV_LAUNCHER_EXE), kBeside + L"\\Quarvelo.exe"},
        {built + L"\\windows-owned.wls", kBeside + L"\\windows-owned.wls"},
        {BuildTreePath(QV_PLANTED_LIBRARY), kBeside + L"\\version.dll"},
        {BuildTreePath(QV_PLANTED_LIBRARY), kBeside + L"\\SRCLIENT.DLL"},
        {BuildTreePath(QV_PLANTED_PROBE), kBeside + L"\\probe.exe"},
        {BuildTreePath(QV_PLANTED_PROGRAM), kStartIn + L"\\regedit.exe"},
    };
    for (const auto& [from, to] : copies) {
      ASSERT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE)) << ToUtf8(from) << GetLastError();
    }
  }
};

// ---- Import tables ----

// What a 64-bit program or library imports (its import directory, loaded before its first line
// runs), in lower case, and whether its manifest (resource 1 of a program, 2 of a library) names
// the common controls' side-by-side assembly, which the system then loads instead of searching.
struct IMAGE_FACTS {
  std::vector<std::wstring> imports;
  bool commonControlsManifest = false;
};

IMAGE_FACTS ReadImage(const std::wstring& path) {
  IMAGE_FACTS facts;
  const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return facts;
  // Mapped as an image: an address is the base plus its RVA (the handle's low bits are flags).
  const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~3ull);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const DWORD imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports);
       imports != 0 && entry->Name != 0; ++entry) {
    facts.imports.push_back(
        ToLowerAscii(FromUtf8(reinterpret_cast<const char*>(base + entry->Name))));
  }
  for (const WORD id : {1, 2}) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(24));
    if (found == nullptr) continue;
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found));
    facts.commonControlsManifest = facts.commonControlsManifest ||
                                   manifest.find("Common-Controls") != std::string::npos;
  }
  FreeLibrary(module);
  return facts;
}

// Known DLLs (the system loads them from its own folder whatever the search order) of every
// Windows the program runs on; any other system library is loaded at run time from the system
// folder. The common controls may be imported under a manifest that names them.
TEST_F(HostileLoadingTest, ProgramsImportOnlyKnownDlls) {
  const std::vector<std::wstring> known = {L"advapi32.dll", L"comdlg32.dll", L"gdi32.dll",
                                           L"kernel32.dll", L"msvcrt.dll",   L"ole32.dll",
                                           L"oleaut32.dll", L"shell32.dll",  L"shlwapi.dll",
                                           L"user32.dll"};
  for (const char* built : {QV_CLI_EXE, QV_LAUNCHER_EXE, QV_LIBRARY_DLL}) {
    const IMAGE_FACTS image = ReadImage(BuildTreePath(built));
    EXPECT_GE(image.imports.size(), 4u) << built;
    for (const std::wstring& name : image.imports) {
      const bool allowed = std::find(known.begin(), known.end(), name) != known.end() ||
                           (name == L"comctl32.dll" && image.commonControlsManifest);
      EXPECT_TRUE(allowed) << built << " imports " << ToUtf8(name);
    }
  }
}

// ---- Planted libraries ----

TEST_F(HostileLoadingTest, LibrariesPlantedBesideTheProgramsAreNotUsed) {
  const CPlantedLibraryOrder order;
  const std::wstring restoreLoaded = kBeside + L"\\SRCLIENT.DLL.loaded";
  // The probe loads SRCLIENT.DLL by its bare name: the planted one, so its absence below counts.
  CHILD_RESULT run = RunChild(kBeside + L"\\probe.exe", L"", kStartIn.c_str());
  ASSERT_EQ(run.exitCode, 0u);
  ASSERT_TRUE(Exists(restoreLoaded)) << "a planted library is not loaded even by its bare name";
  ASSERT_TRUE(DeleteFileW(restoreLoaded.c_str()));

  // A repair logs the program's version (version.dll) and asks System Restore (SRCLIENT.DLL) for a
  // point. Its JSON report, named relative to the start folder, lands there.
  run = RunChild(kBeside + L"\\QuarveloCli.exe", L"fix --category 5 --quiet --json report.json",
                 kStartIn.c_str());
  EXPECT_NE(run.exitCode, 2u) << run.err;
  const std::string report = ReadFileBytes(kStartIn + L"\\report.json");
  EXPECT_NE(report.find("\"restorePoint\": \"failed\""), std::string::npos) << report;
  EXPECT_FALSE(Exists(L"C:\\windows\\system32\\report.json"));
  const std::vector<std::string> logged = LoggedProgramLines();
  EXPECT_FALSE(logged.empty());
  for (const std::string& line : logged) EXPECT_EQ(line, "Registry Cleaner " QV_EXPECTED_VERSION);
  // The launcher alone (no library beside it): it starts, finds no library, and says so.
  run = RunChild(kBeside + L"\\Quarvelo.exe", L"-d", kStartIn.c_str());
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.out, "Message printed from executable\n");

  EXPECT_FALSE(Exists(restoreLoaded));
  EXPECT_FALSE(Exists(kBeside + L"\\SRCLIENT.DLL.called"));
}

// ---- A planted registry editor ----

TEST_F(HostileLoadingTest, ARegistryEditorInTheStartFolderIsNotStarted) {
  const std::wstring started = kStartIn + L"\\regedit.exe.started";
  CHILD_RESULT run = RunChild(CliPath(), L"backup", kStartIn.c_str());
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  const std::string exported = run.out.substr(run.out.find(" to ") + 4);
  const std::wstring file = FromUtf8(exported.substr(0, exported.find_last_not_of("\r\n") + 1));
  EXPECT_GT(ReadFileBytes(file).size(), 100000u) << "the system's editor exported no registry";
  DeleteFileW(file.c_str());

  const std::wstring backup = CommonAppData() + L"\\Quarvelo\\Backup\\RCBak_hostile.reg";
  WriteFileBytes(backup,
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QuarveloHostile]\r\n"
                 "\"merged\"=\"by the system's editor\"\r\n\r\n");
  run = RunChild(CliPath(), L"restore RCBak_hostile", kStartIn.c_str());
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, L"Software\\QuarveloHostile", L"merged"),
            L"by the system's editor");
  EXPECT_FALSE(Exists(started));
}

// ---- A task of the program's name made by another program ----

TEST_F(HostileLoadingTest, ATaskOfTheNameThatStartsAnotherProgramIsLeftAlone) {
  // Our task, then another program's installer makes it start its program.
  ASSERT_EQ(RunCli(L"schedule create").exitCode, 0u);
  const std::wstring other = kStartIn + L"\\other.exe";
  SetRawTaskApplication(L"Quarvelo", other.c_str());
  const std::string refused = "QuarveloCli: The task Quarvelo starts another program (" +
                              ToUtf8(other) +
                              "): it is left alone (not replaced, changed or deleted)\r\n";
  for (const wchar_t* command : {L"schedule create --daily 9:00", L"schedule delete"}) {
    const CHILD_RESULT run = RunCli(command);
    EXPECT_EQ(run.exitCode, 1u) << ToUtf8(command);
    EXPECT_EQ(run.err, refused) << ToUtf8(command);
  }
  CHILD_RESULT run = RunCli(L"schedule show");
  EXPECT_EQ(run.out, "Scheduled to run at:\r\n  The task Quarvelo starts another program (" +
                         ToUtf8(other) + "): it is left alone\r\n");
  run = RunCli(L"schedule show --json");
  std::string escaped;
  for (char c : ToUtf8(other)) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  EXPECT_EQ(run.out, "{\n  \"task\": true,\n  \"otherProgram\": \"" + escaped +
                         "\",\n  \"triggers\": []\n}\n");

  const RAW_TASK raw = ReadRawTask(L"Quarvelo");
  ASSERT_EQ(raw.activated, S_OK);
  EXPECT_EQ(raw.application, other);
  EXPECT_TRUE(EnabledTriggers(raw).empty());
  // Ours again, and gone.
  SetRawTaskApplication(L"Quarvelo", (FolderOf(CliPath()) + L"\\Quarvelo.exe").c_str());
  EXPECT_EQ(RunCli(L"schedule delete").exitCode, 0u);
}

}  // namespace
}  // namespace qv::test
