// The registry and file-system contracts run against the in-memory implementations.
#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "tests/unit/platform/file_system_contract.h"
#include "tests/unit/platform/registry_contract.h"

namespace qv::test {
namespace {

class CMemoryRegistryUnderTest final : public CRegistryUnderTest {
 public:
  IRegistry& Registry() override { return m_registry; }
  CQuirks Quirks() const override { return CQuirks{}; }  // Windows' behaviour throughout
  std::wstring MakeLink(std::wstring_view linkSubkey, std::wstring_view targetSubkey) override {
    m_registry.CreateLink(L"HKCU\\" + std::wstring(linkSubkey),
                          L"HKCU\\" + std::wstring(targetSubkey));
    return CMemoryRegistry::NativePath(L"HKCU\\" + std::wstring(targetSubkey));
  }

 private:
  CMemoryRegistry m_registry;
};

class CMemoryFileSystemUnderTest final : public CFileSystemUnderTest {
 public:
  CMemoryFileSystemUnderTest() { m_files.AddFolder(L"C:\\Windows\\system32"); }
  IFileSystem& Files() override { return m_files; }
  std::wstring SystemFolder() override { return L"C:\\Windows\\system32"; }

 private:
  CMemoryFileSystem m_files;
};

INSTANTIATE_TEST_SUITE_P(Platform, CRegistryContract,
                         ::testing::Values(REGISTRY_TARGET{
                             "Memory",
                             [] {
                               return std::unique_ptr<CRegistryUnderTest>(
                                   new CMemoryRegistryUnderTest);
                             }}),
                         RegistryTargetName);

INSTANTIATE_TEST_SUITE_P(Platform, CFileSystemContract,
                         ::testing::Values(FILE_SYSTEM_TARGET{
                             "Memory",
                             [] {
                               return std::unique_ptr<CFileSystemUnderTest>(
                                   new CMemoryFileSystemUnderTest);
                             }}),
                         FileSystemTargetName);

}  // namespace
}  // namespace qv::test
