#include "app/product_data.h"

#include <vector>

#include "base/text.h"
#include "base/text_case.h"
#include "engine/exclusion_lists.h"
#include "repair/key_delete.h"
#include "state/data_folder.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {
namespace {

bool Missing(ErrorCode rc) { return rc == kErrorFileNotFound || rc == kErrorPathNotFound; }

class CTreeRemover {
 public:
  CTreeRemover(IFileSystem& files, PRODUCT_DATA_REMOVAL* result)
      : m_files(files), m_result(result) {}

  // Removes the file or folder at path and, for a real folder, everything in it first.
  void Remove(const std::wstring& path) {
    std::vector<CFindData> self;
    const ErrorCode looked = m_files.FindFiles(path, &self);
    if (Missing(looked)) return;
    if (looked != kErrorSuccess || self.empty()) {
      Fail(path, looked != kErrorSuccess ? looked : kErrorFileNotFound);
      return;
    }
    const CFindData& entry = self.front();
    if (!entry.directory) {
      Count(path, m_files.RemoveFile(path), &m_result->filesRemoved);
      return;
    }
    // A junction or a folder link: removing it removes the link alone, whatever it points at.
    if (!entry.reparsePoint) RemoveContents(path);
    Count(path, m_files.RemoveFolder(path), &m_result->foldersRemoved);
  }

 private:
  void RemoveContents(const std::wstring& folder) {
    std::vector<CFindData> entries;
    const ErrorCode listed = m_files.FindFiles(JoinPath(folder, L"*"), &entries);
    if (Missing(listed)) return;
    if (listed != kErrorSuccess) {
      Fail(folder, listed);
      return;
    }
    for (const CFindData& entry : entries) {
      if (entry.name == L"." || entry.name == L"..") continue;
      Remove(JoinPath(folder, entry.name));
    }
  }

  void Count(const std::wstring& path, ErrorCode rc, std::uint32_t* counter) {
    if (rc == kErrorSuccess) {
      ++*counter;
    } else if (!Missing(rc)) {
      Fail(path, rc);
    }
  }

  void Fail(const std::wstring& path, ErrorCode rc) {
    if (m_result->folderError != kErrorSuccess) return;
    m_result->folderError = rc;
    m_result->failedPath = path;
  }

  IFileSystem& m_files;
  PRODUCT_DATA_REMOVAL* m_result;
};

}  // namespace

DATA_FOLDER_PREPARATION PrepareProductDataFolder(const CPlatform& platform) {
  DATA_FOLDER_PREPARATION result;
  result.folder = ProductDataFolder(platform.shell, platform.files, L"", &result.error);
  return result;
}

PRODUCT_DATA_REMOVAL RemoveProductData(const CPlatform& platform) {
  PRODUCT_DATA_REMOVAL result;
  result.folder = ProductDataFolderPath(platform.shell, L"");
  CTreeRemover remover(platform.files, &result);
  if (EqualsNoCase(result.folder, ProgramFolder(platform.shell))) {
    for (const wchar_t* part : {kBackupSubfolder, kLogSubfolder, kUserIgnoreFileName}) {
      remover.Remove(JoinPath(result.folder, part));
    }
  } else if (!result.folder.empty()) {
    remover.Remove(result.folder);
  }
  result.keyError = DeleteKeyTree(platform.registry, kHkeyLocalMachine, ProductSubkey(kProductName));
  if (Missing(result.keyError)) result.keyError = kErrorSuccess;
  return result;
}

}  // namespace qv
