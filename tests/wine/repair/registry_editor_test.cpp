// The registry editor seam on the real regedit.exe (under Wine), driven as the repair drives it:
// merges are confirmed by reading the registry back, never by the editor's exit status, and every
// wait has a limit.
#include "platform/win32/registry_editor_win32.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text_case.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "repair/reg_file_reader.h"
#include "repair/registry_merge.h"

namespace qv {
namespace {

const std::wstring kScratch = L"Software\\QuarveloEditorTest";

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  EXPECT_GT(length, 0u);
  return std::wstring(folder) + name;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  CloseHandle(file);
}

// UTF-16LE with a byte-order mark, "\n" written as CR LF.
std::string Utf16File(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (const wchar_t c : text) {
    if (c == L'\n') bytes.append("\r\0", 2);
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return bytes;
}

std::string AnsiFile(const std::string& text) {
  std::string bytes;
  for (const char c : text) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  return bytes;
}

bool KeyExists(const std::wstring& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

std::wstring ReadString(const std::wstring& subkey, const wchar_t* name) {
  wchar_t buffer[256] = {};
  DWORD bytes = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer,
                   &bytes) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buffer;
}

class RegistryEditorTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str()); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str()); }
  ErrorCode Merge(const std::wstring& path) {
    return MergeRegistryFile(m_editor, m_machine.registry(), m_machine.files(), path);
  }
  ErrorCode Export(const std::wstring& path) {
    return ExportRegistryFile(m_editor, m_machine.files(), path);
  }
  CWin32Platform m_machine;
  CWin32RegistryEditor m_editor;
};

TEST_F(RegistryEditorTest, MergesBothFormsAndConfirmsTheKeys) {
  const std::wstring ansi = TempFile(L"qv_editor_ansi.reg");
  WriteBytes(ansi, AnsiFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\QuarveloEditorTest\\A]\n"
                            "\"v\"=\"caf\xE9\"\n\n"
                            "[HKEY_CURRENT_USER\\Software\\QuarveloEditorTest\\A\\B]\n"));
  EXPECT_EQ(Merge(ansi), kErrorSuccess);
  EXPECT_TRUE(KeyExists(kScratch + L"\\A\\B"));
  EXPECT_EQ(ReadString(kScratch + L"\\A", L"v"), L"caf\u00e9");

  const std::wstring unicode = TempFile(L"qv_editor unicode.reg");  // a blank in the path
  WriteBytes(unicode, Utf16File(L"Windows Registry Editor Version 5.00\n\n"
                                L"[HKEY_CURRENT_USER\\Software\\QuarveloEditorTest\\\u041a]\n"
                                L"\"\u03c0\"=\"\u2603\"\n\n"
                                L"[-HKEY_CURRENT_USER\\Software\\QuarveloEditorTest\\A\\B]\n"));
  EXPECT_EQ(Merge(unicode), kErrorSuccess);
  EXPECT_EQ(ReadString(kScratch + L"\\\u041a", L"\u03c0"), L"\u2603");
  EXPECT_FALSE(KeyExists(kScratch + L"\\A\\B"));
  EXPECT_TRUE(KeyExists(kScratch + L"\\A"));
  DeleteFileW(ansi.c_str());
  DeleteFileW(unicode.c_str());
}

TEST_F(RegistryEditorTest, ReportsWhatDidNotArrive) {
  struct CASE {
    const char* what;
    std::string bytes;
    ErrorCode expected;
    bool nothingImported;
  };
  const std::vector<CASE> cases = {
      {"no header", AnsiFile("[HKEY_CURRENT_USER\\Software\\QuarveloEditorTest\\X]\n"),
       kErrorInvalidData, true},
      {"lower-case header", AnsiFile("regedit4\n[HKEY_CURRENT_USER\\Software\\QuarveloEditorTest\\X]\n"),
       kErrorInvalidData, true},
      {"UTF-8 byte-order mark",
       "\xEF\xBB\xBF" + AnsiFile("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\QuarveloEditorTest\\X]\n"),
       kErrorInvalidData, true},
      {"empty file", "", kErrorInvalidData, true},
      {"unknown root", AnsiFile("REGEDIT4\n\n[HKEY_NOWHERE\\Software\\QuarveloEditorTest\\X]\n"),
       kErrorCantWrite, true},
      // The editor makes the levels above the long name before it gives up.
      {"key name longer than 255 characters",
       AnsiFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\QuarveloEditorTest\\X\\" +
                std::string(300, 'k') + "]\n"),
       kErrorCantWrite, false},
  };
  const std::wstring path = TempFile(L"qv_editor_bad.reg");
  for (const CASE& c : cases) {
    WriteBytes(path, c.bytes);
    EXPECT_EQ(Merge(path), c.expected) << c.what;
    if (c.nothingImported) {
      EXPECT_FALSE(KeyExists(kScratch + L"\\X")) << c.what;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, (kScratch + L"\\X").c_str());
  }
  DeleteFileW(path.c_str());
  EXPECT_EQ(Merge(TempFile(L"qv_editor_missing.reg")), kErrorFileNotFound);
}

DWORD ReadDword(const std::wstring& subkey, const wchar_t* name) {
  DWORD value = 0;
  DWORD bytes = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value,
                   &bytes) != ERROR_SUCCESS) {
    return 0xDEADBEEF;
  }
  return value;
}

// Value lines are confirmed one by one: a file of value sections names keys that exist anyway, so
// a line the editor rejects must not pass for merged.
TEST_F(RegistryEditorTest, ConfirmsEachValueLineNotOnlyItsKey) {
  struct CASE {
    const char* what;
    std::string lines;  // below the section head of the scratch key V
    ErrorCode expected;
    DWORD after;  // "v" afterwards (0xDEADBEEF: gone)
  };
  const std::vector<CASE> cases = {
      {"upper-case DWORD: is rejected", "\"v\"=DWORD:00000005\n", kErrorCantWrite, 1},
      {"upper-case HEX: is rejected", "\"v\"=HEX:05,00,00,00\n", kErrorCantWrite, 1},
      {"nine dword digits are rejected", "\"v\"=dword:000000005\n", kErrorCantWrite, 1},
      {"a blank inside a byte is rejected", "\"v\"=hex(4):0 5,00,00,00\n", kErrorCantWrite, 1},
      {"an unclosed string is rejected", "\"s\"=\"open\n", kErrorCantWrite, 1},
      {"a byte list broken off by an empty line", "\"b\"=hex:01,\\\n\n\"v\"=dword:5\n",
       kErrorCantWrite, 1},
      {"a merged dword", "\"v\"=dword:00000005\n", kErrorSuccess, 5},
      {"a merged byte list over lines", "\"v\"=hex(4):07,\\\n  00,\\\n ; note\n  00,00\n",
       kErrorSuccess, 7},
      {"a deleted value", "\"v\"=-\n", kErrorSuccess, 0xDEADBEEF},
      {"the last line on a value counts", "\"v\"=DWORD:9\n\"v\"=dword:8 ; fixed\n", kErrorSuccess,
       8},
      {"string bytes in an 8-bit file", "\"e\"=hex(2):25,00,78,00,00,00\n\"v\"=dword:3\n",
       kErrorSuccess, 3},
      {"escapes, blanks and the default value",
       "@ = \"d\"\n\"a\\\\b\\\"c\" = \"x\\\"y\\\\\"\n\"v\"=dword:2\n", kErrorSuccess, 2},  // checked below
  };
  const std::wstring key = kScratch + L"\\V";
  const std::wstring path = TempFile(L"qv_editor_values.reg");
  for (const CASE& c : cases) {
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &created, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExW(created, L"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(created);
    WriteBytes(path, AnsiFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\QuarveloEditorTest\\V]\n" +
                              c.lines));
    EXPECT_EQ(Merge(path), c.expected) << c.what;
    EXPECT_EQ(ReadDword(key, L"v"), c.after) << c.what;
  }
  EXPECT_EQ(ReadString(key, L"a\\b\"c"), L"x\"y\\");
  EXPECT_EQ(ReadString(key, nullptr), L"d");
  DeleteFileW(path.c_str());
}

// A file already at the path cannot pass for the export: one the editor cannot replace (held
// open without sharing) is a failure, not a success.
TEST_F(RegistryEditorTest, AnExportOverAFileInUseFails) {
  const std::wstring path = TempFile(L"qv_export_busy.reg");
  WriteBytes(path, "an older file");
  HANDLE busy = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  EXPECT_NE(Export(path), kErrorSuccess);
  CloseHandle(busy);
  DeleteFileW(path.c_str());
}

TEST_F(RegistryEditorTest, ExportsTheRegistry) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (kScratch + L"\\Exported").c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  const std::wstring path = TempFile(L"qv_export.reg");
  DeleteFileW(path.c_str());
  ASSERT_EQ(Export(path), kErrorSuccess);
  std::vector<REG_FILE_SECTION> sections;
  ASSERT_EQ(ReadRegFile(m_machine.files(), path, &sections), kErrorSuccess);
  bool found = false;
  for (const REG_FILE_SECTION& s : sections) {
    // The whole registry is exported from HKEY_LOCAL_MACHINE and HKEY_USERS, where the current
    // user's keys are found under the user's own subkey.
    const std::wstring_view tail = L"\\Software\\QuarveloEditorTest\\Exported";
    found = found || (s.key.size() > tail.size() &&
                      s.key.compare(s.key.size() - tail.size(), tail.size(), tail) == 0);
  }
  EXPECT_TRUE(found) << sections.size() << " sections";
  DeleteFileW(path.c_str());
}

using CKernelHandle = CUniqueHandle<CWin32HandleTraits>;
using CSnapshotHandle = CUniqueHandle<CWin32FileTraits>;  // empty = INVALID_HANDLE_VALUE

// The registry editor processes running now, opened for waiting.
std::vector<CKernelHandle> RunningEditors() {
  std::vector<CKernelHandle> editors;
  CSnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return editors;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (!EqualsNoCase(entry.szExeFile, kRegistryEditorProgram)) continue;
    CKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (process.valid()) editors.push_back(std::move(process));
  }
  return editors;
}

// The wait has a limit. An export of the whole registry takes the editor seconds (the prefix's
// registry alone is thousands of keys, written at a few thousand keys a second), and merely
// starting a process under Wine takes longer than a millisecond, so a one-millisecond wait runs
// out before the editor ends; the editor is left running and writes its file afterwards.
TEST_F(RegistryEditorTest, AWaitThatRunsOutIsATimeoutAndTheEditorGoesOn) {
  const std::wstring path = TempFile(L"qv_export_slow.reg");
  DeleteFileW(path.c_str());
  EXPECT_EQ(m_editor.Export(path, 1), kErrorTimeout);
  std::vector<CKernelHandle> editors = RunningEditors();
  ASSERT_FALSE(editors.empty()) << "the editor was not left running";
  for (const CKernelHandle& editor : editors) {
    EXPECT_EQ(WaitForSingleObject(editor.get(), 5 * 60 * 1000), WAIT_OBJECT_0);
  }
  std::vector<REG_FILE_SECTION> sections;
  EXPECT_EQ(ReadRegFile(m_machine.files(), path, &sections), kErrorSuccess);
  EXPECT_GT(sections.size(), 1000u);
  DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace qv
