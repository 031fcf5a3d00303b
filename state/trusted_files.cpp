#include "state/trusted_files.h"

#include "base/text.h"
#include "state/state_texts.h"

namespace qv {

bool IsTrustedOwner(FileOwner owner) {
  return owner == FileOwner::kSystem || owner == FileOwner::kAdministrators ||
         owner == FileOwner::kCurrentUser;
}

ErrorCode TrustOf(const CPathInfo& info) {
  if (info.reparsePoint) return kErrorReparsePointEncountered;
  if (!IsTrustedOwner(info.owner)) return kErrorInvalidOwner;
  return kErrorSuccess;
}

ErrorCode CheckTrustedPath(IFileSystem& files, std::wstring_view path) {
  CPathInfo info;
  const ErrorCode rc = files.QueryPathInfo(path, &info);
  return rc != kErrorSuccess ? rc : TrustOf(info);
}

std::wstring UntrustedReasonText(ErrorCode trust, WORDING wording) {
  switch (trust) {
    case kErrorReparsePointEncountered:
      return std::wstring(Tr(kUntrustedReparsePoint, wording));
    case kErrorInvalidOwner:
      return std::wstring(Tr(kUntrustedOwner, wording));
    case kErrorDirectory:
      return std::wstring(Tr(kUntrustedNotFolder, wording));
    default:
      return TrFormat(kUntrustedUnreadableFormat, {DecimalText(trust)}, wording);
  }
}

ErrorCode OpenTrustedFile(IFileSystem& files, std::wstring_view path, FileOpenMode mode,
                          FileShareMode share, std::unique_ptr<IFile>* file) {
  std::unique_ptr<IFile> opened;
  ErrorCode rc = files.OpenFileNoFollow(path, mode, share, &opened);
  if (rc != kErrorSuccess) return rc;
  if (opened == nullptr) return kErrorInvalidHandle;
  CPathInfo info;
  rc = opened->QueryInfo(&info);
  if (rc == kErrorSuccess) rc = TrustOf(info);
  if (rc != kErrorSuccess) return rc;
  *file = std::move(opened);
  return kErrorSuccess;
}

ErrorCode ReadTrustedFile(IFileSystem& files, std::wstring_view path, std::uint64_t maxBytes,
                          std::string* bytes) {
  std::unique_ptr<IFile> file;
  ErrorCode rc = OpenTrustedFile(files, path, FileOpenMode::kRead, FileShareMode::kShareAll, &file);
  if (rc != kErrorSuccess) return rc;
  CPathInfo info;
  rc = file->QueryInfo(&info);
  if (rc != kErrorSuccess) return rc;
  if (info.size > maxBytes) return kErrorFileTooLarge;
  std::string read;
  rc = file->ReadAll(&read);
  if (rc != kErrorSuccess) return rc;
  // A file that grew after it was measured is read no further than the limit allows.
  if (read.size() > maxBytes) return kErrorFileTooLarge;
  *bytes = std::move(read);
  return kErrorSuccess;
}

std::wstring_view FolderOf(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring_view::npos ? std::wstring_view() : path.substr(0, slash);
}

ErrorCode CreateTemporaryBeside(IFileSystem& files, std::wstring_view path,
                                std::wstring* temporary, std::unique_ptr<IFile>* file) {
  return files.CreateUniqueFile(FolderOf(path), temporary, file);
}

ErrorCode CreateFileInPlace(IFileSystem& files, std::wstring_view path,
                            std::unique_ptr<IFile>* file) {
  std::wstring temporary;
  std::unique_ptr<IFile> made;
  ErrorCode rc = CreateTemporaryBeside(files, path, &temporary, &made);
  if (rc != kErrorSuccess) return rc;
  made.reset();  // closed, so it can be renamed
  rc = files.RenameNoFollow(temporary, path);
  if (rc != kErrorSuccess) {
    static_cast<void>(files.RemoveFile(temporary));
    return rc == kErrorFileExists ? kErrorAlreadyExists : rc;
  }
  return files.OpenFileNoFollow(path, FileOpenMode::kAppendExisting, FileShareMode::kDenyWrite,
                                file);
}

}  // namespace qv
