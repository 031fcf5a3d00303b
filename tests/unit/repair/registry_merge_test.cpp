#include "repair/registry_merge.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/memory/memory_platform.h"
#include "tests/support/memory_registry_editor.h"

namespace qv {
namespace {

constexpr wchar_t kFile[] = L"C:\\backup.reg";

class RegistryMergeTest : public ::testing::Test {
 protected:
  ErrorCode Merge(MERGE_MISMATCH* mismatch = nullptr) {
    return MergeRegistryFile(m_editor, m_machine.registry(), m_machine.files(), kFile, 1234,
                             mismatch);
  }
  ErrorCode Export() { return ExportRegistryFile(m_editor, m_machine.files(), kFile, 4321); }

  CMemoryPlatform m_machine;
  test::CMemoryRegistryEditor m_editor{m_machine.registry(), m_machine.files()};
};

TEST_F(RegistryMergeTest, MergesTheFileAndConfirmsIt) {
  CMemoryRegistry& registry = m_machine.registry();
  registry.SetString(L"HKCU\\Software\\Old\\Below", L"x", L"1");
  registry.SetDword(L"HKLM\\Software\\App", L"gone", 1);
  m_machine.files().AddFile(
      kFile,
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\App\\Sub]\r\n\"s\"=\"caf\xE9\"\r\n"
      "@=hex(2):41,42,00\r\n\"b\"=hex:01,\\\r\n  02\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\App]\r\n"
      "\"gone\"=-\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Old]\r\n");
  ASSERT_EQ(Merge(), kErrorSuccess);
  EXPECT_EQ(registry.GetString(L"HKLM\\Software\\App\\Sub", L"s"), L"caf\u00e9");
  EXPECT_EQ(registry.GetString(L"HKLM\\Software\\App\\Sub", L""), L"AB");
  EXPECT_EQ(registry.GetValueRaw(L"HKLM\\Software\\App\\Sub", L"b")->data,
            (std::vector<std::uint8_t>{1, 2}));
  EXPECT_FALSE(registry.ValueExists(L"HKLM\\Software\\App", L"gone"));
  EXPECT_FALSE(registry.KeyExists(L"HKCU\\Software\\Old"));
  ASSERT_EQ(m_editor.calls.size(), 1u);
  EXPECT_TRUE(m_editor.calls[0].merge);
  EXPECT_EQ(m_editor.calls[0].file, kFile);
  EXPECT_EQ(m_editor.calls[0].timeoutMs, 1234u);
}

TEST_F(RegistryMergeTest, AMergeFailsWhenTheFileOrTheEditorDoes) {
  struct CASE {
    const char* what;
    const char* file;  // null: no file at all
    test::EditorBehaviour behaviour;
    ErrorCode startError;
    ErrorCode expected;
    bool started;
  };
  const char* const good = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\New]\r\n\"v\"=dword:2\r\n";
  const std::vector<CASE> cases = {
      {"no file", nullptr, test::EditorBehaviour::kApply, 0, kErrorFileNotFound, false},
      {"no header", "[HKEY_CURRENT_USER\\Software\\New]\r\n", test::EditorBehaviour::kApply, 0,
       kErrorInvalidData, false},
      {"the editor cannot be started", good, test::EditorBehaviour::kApply, kErrorAccessDenied,
       kErrorAccessDenied, true},
      {"the editor hangs", good, test::EditorBehaviour::kHang, 0, kErrorTimeout, true},
      {"no section: nothing to merge", "REGEDIT4\r\n\r\n; merged before\r\n",
       test::EditorBehaviour::kHang, 0, kErrorSuccess, false},
      {"the editor does nothing", good, test::EditorBehaviour::kNothing, 0, kErrorCantWrite, true},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    static_cast<void>(m_machine.files().RemoveFile(kFile));
    if (c.file != nullptr) m_machine.files().AddFile(kFile, c.file);
    m_editor.behaviour = c.behaviour;
    m_editor.startError = c.startError;
    m_editor.calls.clear();
    EXPECT_EQ(Merge(), c.expected);
    EXPECT_EQ(m_editor.calls.size(), c.started ? 1u : 0u);
    EXPECT_FALSE(m_machine.registry().KeyExists(L"HKCU\\Software\\New"));
  }
  MERGE_MISMATCH mismatch;
  EXPECT_EQ(Merge(&mismatch), kErrorCantWrite);
  EXPECT_EQ(mismatch.key, L"HKEY_CURRENT_USER\\Software\\New");
  EXPECT_FALSE(mismatch.value);

  // The editor merges the key but not a line it rejects.
  m_machine.files().AddFile(kFile, "REGEDIT4\r\n[HKCU\\Software\\New]\r\n\"v\"=DWORD:2\r\n");
  m_editor.behaviour = test::EditorBehaviour::kApply;
  EXPECT_EQ(Merge(&mismatch), kErrorCantWrite);
  EXPECT_TRUE(mismatch.value);
  EXPECT_EQ(mismatch.valueName, L"v");
}

TEST_F(RegistryMergeTest, AnExportCountsOnlyWhenTheEditorWroteTheFile) {
  struct CASE {
    const char* what;
    test::EditorBehaviour behaviour;
    ErrorCode startError;
    ErrorCode expected;
  };
  const std::vector<CASE> cases = {
      {"written", test::EditorBehaviour::kApply, 0, kErrorSuccess},
      {"an older file does not pass for the export", test::EditorBehaviour::kNothing, 0,
       kErrorFileNotFound},
      {"the editor hangs", test::EditorBehaviour::kHang, 0, kErrorTimeout},
      {"the editor cannot be started", test::EditorBehaviour::kApply, kErrorFileNotFound,
       kErrorFileNotFound},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    m_machine.files().AddFile(kFile, "an older file");
    m_editor.behaviour = c.behaviour;
    m_editor.startError = c.startError;
    EXPECT_EQ(Export(), c.expected);
    const std::optional<std::string> bytes = m_machine.files().ReadFile(kFile);
    EXPECT_NE(bytes, "an older file");
    if (c.expected == kErrorSuccess) {
      std::vector<REG_FILE_SECTION> sections;
      EXPECT_EQ(ReadRegFile(m_machine.files(), kFile, &sections), kErrorSuccess);
    }
  }
  EXPECT_EQ(m_editor.calls.back().timeoutMs, 4321u);
  EXPECT_FALSE(m_editor.calls.back().merge);

  // A file that cannot be removed is an error of its own, and the editor is not started.
  m_editor.calls.clear();
  m_machine.files().AddFile(kFile, "an older file");
  std::unique_ptr<IFile> busy;
  ASSERT_EQ(m_machine.files().OpenFile(kFile, FileOpenMode::kRead, FileShareMode::kShareAll,
                                       &busy),
            kErrorSuccess);
  EXPECT_EQ(Export(), kErrorSharingViolation);
  EXPECT_TRUE(m_editor.calls.empty());
}

}  // namespace
}  // namespace qv
