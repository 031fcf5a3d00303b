// The file-system behaviours the engine relies on, written once and run against every
// IFileSystem implementation: the in-memory one (natively and under Wine) and the Win32 one
// (under Wine). Instantiate with INSTANTIATE_TEST_SUITE_P(Name, CFileSystemContract,
// ::testing::Values(FILE_SYSTEM_TARGET{...})).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace qv::test {

// One file system under test: the scratch folder C:\qvparity does not exist at the start and is
// removed again when the object is destroyed; the system folder exists.
class CFileSystemUnderTest {
 public:
  virtual ~CFileSystemUnderTest() = default;
  virtual IFileSystem& Files() = 0;
  // The first folder FindOnPath searches (the system folder), without a trailing backslash.
  virtual std::wstring SystemFolder() = 0;
};

struct FILE_SYSTEM_TARGET {
  const char* name;
  std::unique_ptr<CFileSystemUnderTest> (*make)();
};

inline constexpr wchar_t kScratchFolder[] = L"C:\\qvparity";

// Removes a folder and everything in it through the interface under test.
void RemoveTree(IFileSystem& files, const std::wstring& folder);

class CFileSystemContract : public ::testing::TestWithParam<FILE_SYSTEM_TARGET> {
 protected:
  void SetUp() override;
  void TearDown() override;

  IFileSystem& Fs() { return m_target->Files(); }
  std::wstring SystemFolder() { return m_target->SystemFolder(); }
  // kScratchFolder + "\" + relative.
  static std::wstring At(std::wstring_view relative);
  void WriteFile(std::wstring_view relative, std::string_view bytes);
  std::string ReadFile(std::wstring_view relative);
  std::vector<std::wstring> List(std::wstring_view pattern, ErrorCode* rc = nullptr);

 private:
  std::unique_ptr<CFileSystemUnderTest> m_target;
};

std::string FileSystemTargetName(const ::testing::TestParamInfo<FILE_SYSTEM_TARGET>& info);

}  // namespace qv::test
