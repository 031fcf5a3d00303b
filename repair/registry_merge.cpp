#include "repair/registry_merge.h"

#include <vector>

#include "repair/reg_file_reader.h"

namespace qv {

ErrorCode MergeRegistryFile(IRegistryEditor& editor, IRegistry& registry, IFileSystem& files,
                            std::wstring_view regFile, std::uint32_t timeoutMs,
                            MERGE_MISMATCH* mismatch, bool* nothingToMerge) {
  // Read first: what the file must leave behind is known before the editor changes anything,
  // and a file that cannot be read is never handed to it.
  std::vector<REG_FILE_SECTION> sections;
  ErrorCode rc = ReadRegFile(files, regFile, &sections);
  if (rc != kErrorSuccess) return rc;
  if (nothingToMerge != nullptr) *nothingToMerge = sections.empty();
  if (sections.empty()) return kErrorSuccess;
  rc = editor.Merge(regFile, timeoutMs);
  if (rc != kErrorSuccess) return rc;
  return ConfirmMerge(registry, sections, mismatch);
}

ErrorCode ExportRegistryFile(IRegistryEditor& editor, IFileSystem& files,
                             std::wstring_view regFile, std::uint32_t timeoutMs) {
  const ErrorCode removed = files.RemoveFile(regFile);
  if (removed != kErrorSuccess && removed != kErrorFileNotFound) return removed;
  const ErrorCode rc = editor.Export(regFile, timeoutMs);
  if (rc != kErrorSuccess) return rc;
  return files.FileExists(regFile) ? kErrorSuccess : kErrorFileNotFound;
}

}  // namespace qv
