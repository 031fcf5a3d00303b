#include "platform/win32/win32_file_system.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "base/text_case.h"
#include "platform/win32/win32_handles.h"

// <windows.h> maps ReplaceFile to ReplaceFileW; the seam's method keeps its own name.
#undef ReplaceFile

namespace qv {
namespace {

ErrorCode LastError(BOOL ok) { return ok ? ERROR_SUCCESS : static_cast<ErrorCode>(::GetLastError()); }

class CWin32File final : public IFile {
 public:
  CWin32File(HANDLE handle, bool append) : m_file(handle), m_append(append) {}

  ErrorCode Write(const void* data, std::size_t bytes) override {
    if (bytes == 0) return ERROR_SUCCESS;
    if (data == nullptr) return ERROR_INVALID_PARAMETER;
    if (m_append) {
      LARGE_INTEGER zero{};
      if (!::SetFilePointerEx(m_file.get(), zero, nullptr, FILE_END)) {
        return static_cast<ErrorCode>(::GetLastError());
      }
    }
    const auto* next = static_cast<const std::uint8_t*>(data);
    while (bytes > 0) {
      const DWORD chunk =
          static_cast<DWORD>(std::min<std::size_t>(bytes, std::numeric_limits<DWORD>::max()));
      DWORD written = 0;
      if (!::WriteFile(m_file.get(), next, chunk, &written, nullptr)) {
        return static_cast<ErrorCode>(::GetLastError());
      }
      if (written == 0) return ERROR_WRITE_FAULT;
      next += written;
      bytes -= written;
    }
    return ERROR_SUCCESS;
  }

  ErrorCode Flush() override { return LastError(::FlushFileBuffers(m_file.get())); }

  ErrorCode ReadAll(std::string* bytes) override {
    if (bytes == nullptr) return ERROR_INVALID_PARAMETER;
    std::string result;
    char buffer[16384];
    while (true) {
      DWORD read = 0;
      if (!::ReadFile(m_file.get(), buffer, sizeof buffer, &read, nullptr)) {
        return static_cast<ErrorCode>(::GetLastError());
      }
      if (read == 0) break;
      result.append(buffer, read);
    }
    *bytes = std::move(result);
    return ERROR_SUCCESS;
  }

 private:
  CUniqueHandle<CWin32FileTraits> m_file;
  bool m_append;
};

}  // namespace

bool CWin32FileSystem::FileExists(std::wstring_view path) {
  const std::wstring text(path);
  return !text.empty() && ::PathFileExistsW(text.c_str()) != FALSE;
}

bool CWin32FileSystem::IsRoot(std::wstring_view path) {
  const std::wstring text(path);
  return ::PathIsRootW(text.c_str()) != FALSE;
}

bool CWin32FileSystem::FindOnPath(std::wstring* path) {
  if (path == nullptr || path->empty() || path->size() >= MAX_PATH) return false;
  wchar_t buffer[MAX_PATH] = {};
  std::copy(path->begin(), path->end(), buffer);
  if (!::PathFindOnPathW(buffer, nullptr)) return false;
  *path = buffer;
  return true;
}

bool CWin32FileSystem::IsDirectory(std::wstring_view path) {
  const std::wstring text(path);
  const DWORD attributes = ::GetFileAttributesW(text.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

ErrorCode CWin32FileSystem::FindFiles(std::wstring_view pattern,
                                      std::vector<CFindData>* entries) {
  if (entries == nullptr) return ERROR_INVALID_PARAMETER;
  const std::wstring text(pattern);
  WIN32_FIND_DATAW data{};
  CUniqueHandle<CWin32FindTraits> search(::FindFirstFileW(text.c_str(), &data));
  if (!search.valid()) return static_cast<ErrorCode>(::GetLastError());
  std::vector<CFindData> found;
  do {
    CFindData entry;
    entry.name = data.cFileName;
    entry.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.reparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.lastWriteTime = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
    found.push_back(std::move(entry));
  } while (::FindNextFileW(search.get(), &data));
  const DWORD rc = ::GetLastError();
  if (rc != ERROR_NO_MORE_FILES) return static_cast<ErrorCode>(rc);
  *entries = std::move(found);
  return ERROR_SUCCESS;
}

ErrorCode CWin32FileSystem::MovePath(std::wstring_view from, std::wstring_view to) {
  const std::wstring source(from);
  const std::wstring target(to);
  return LastError(::MoveFileW(source.c_str(), target.c_str()));
}

ErrorCode CWin32FileSystem::RemoveFile(std::wstring_view path) {
  const std::wstring text(path);
  return LastError(::DeleteFileW(text.c_str()));
}

ErrorCode CWin32FileSystem::MakeDirectory(std::wstring_view path) {
  const std::wstring text(path);
  return LastError(::CreateDirectoryW(text.c_str(), nullptr));
}

ErrorCode CWin32FileSystem::RemoveFolder(std::wstring_view path) {
  const std::wstring text(path);
  return LastError(::RemoveDirectoryW(text.c_str()));
}

ErrorCode CWin32FileSystem::ReplaceFile(std::wstring_view from, std::wstring_view to) {
  const std::wstring source(from);
  const std::wstring target(to);
  return LastError(::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
}

ErrorCode CWin32FileSystem::OpenFile(std::wstring_view path, FileOpenMode mode,
                                     FileShareMode share, std::unique_ptr<IFile>* file) {
  if (file == nullptr) return ERROR_INVALID_PARAMETER;
  const std::wstring text(path);
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case FileOpenMode::kCreateAlways:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case FileOpenMode::kAppend:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = OPEN_ALWAYS;
      break;
    case FileOpenMode::kOverwrite:
      access = GENERIC_WRITE;
      break;
    case FileOpenMode::kRead:
      break;
  }
  const DWORD shareMode =
      share == FileShareMode::kDenyWrite ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE handle = ::CreateFileW(text.c_str(), access, shareMode, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<ErrorCode>(::GetLastError());
  *file = std::make_unique<CWin32File>(handle, mode == FileOpenMode::kAppend);
  return ERROR_SUCCESS;
}

bool CodePageTakesNoFlags(unsigned codePage) {
  switch (codePage) {
    case 42:     // symbol
    case 50220:  // ISO-2022 Japanese and Korean
    case 50221:
    case 50222:
    case 50225:
    case 50227:  // ISO-2022 Chinese
    case 50229:
    case 52936:  // HZ-GB2312
    case 54936:  // GB18030
    case 65000:  // UTF-7
    case 65001:  // UTF-8
      return true;
    default:
      return codePage >= 57002 && codePage <= 57011;  // ISCII
  }
}

namespace {

// The error of a failed conversion call; one that sets none is an untranslatable text.
ErrorCode ConversionError() {
  const DWORD error = ::GetLastError();
  return static_cast<ErrorCode>(error != ERROR_SUCCESS ? error : ERROR_NO_UNICODE_TRANSLATION);
}

}  // namespace

ErrorCode WideToCodePage(unsigned codePage, std::wstring_view text, std::string* bytes,
                         bool* lossless) {
  if (lossless != nullptr) *lossless = true;
  if (text.empty()) {
    bytes->clear();
    return kErrorSuccess;
  }
  const int length = static_cast<int>(text.size());
  const bool noFlags = CodePageTakesNoFlags(codePage);
  const DWORD flags = noFlags ? 0 : WC_NO_BEST_FIT_CHARS;
  const int needed =
      ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    if (lossless != nullptr) *lossless = false;
    return ConversionError();
  }
  std::string result(static_cast<std::size_t>(needed), '\0');
  BOOL usedDefault = FALSE;
  const int written = ::WideCharToMultiByte(codePage, flags, text.data(), length, result.data(),
                                            needed, nullptr, noFlags ? nullptr : &usedDefault);
  if (written <= 0) {
    if (lossless != nullptr) *lossless = false;
    return ConversionError();
  }
  result.resize(static_cast<std::size_t>(written));
  if (lossless != nullptr) {
    if (noFlags) {
      // These code pages give no word on replaced characters: a text that reads back as itself
      // had a form of its own for every character.
      std::wstring back;
      *lossless = CodePageToWide(codePage, result, &back) == kErrorSuccess && back == text;
    } else {
      *lossless = !usedDefault;
    }
  }
  *bytes = std::move(result);
  return kErrorSuccess;
}

ErrorCode CodePageToWide(unsigned codePage, std::string_view bytes, std::wstring* text) {
  if (bytes.empty()) {
    text->clear();
    return kErrorSuccess;
  }
  const int length = static_cast<int>(bytes.size());
  const int chars = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (chars <= 0) {
    return ConversionError();
  }
  std::wstring result(static_cast<std::size_t>(chars), L'\0');
  const int written =
      ::MultiByteToWideChar(codePage, 0, bytes.data(), length, result.data(), chars);
  if (written <= 0) {
    return ConversionError();
  }
  result.resize(static_cast<std::size_t>(written));
  *text = std::move(result);
  return kErrorSuccess;
}

ErrorCode CWin32FileSystem::ToCodePage(std::wstring_view text, std::string* bytes,
                                       bool* lossless) {
  return WideToCodePage(::GetACP(), text, bytes, lossless);
}

ErrorCode CWin32FileSystem::FromCodePage(std::string_view bytes, std::wstring* text) {
  return CodePageToWide(::GetACP(), bytes, text);
}

// ---- Moves through open handles ----

namespace {

// GetFinalPathNameByHandleW (normalized, with the drive letter), without its "\\?\" prefix;
// "\\?\UNC\server\share" comes back as "\\server\share".
ErrorCode FinalPathOf(HANDLE handle, std::wstring* path) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return static_cast<ErrorCode>(::GetLastError());
    if (length < buffer.size()) {
      std::wstring text(buffer.data(), length);
      if (text.starts_with(L"\\\\?\\UNC\\")) {
        text = L"\\" + text.substr(7);
      } else if (text.starts_with(L"\\\\?\\")) {
        text.erase(0, 4);
      }
      *path = std::move(text);
      return ERROR_SUCCESS;
    }
    if (length > 32768) return ERROR_BUFFER_OVERFLOW;
    buffer.resize(length + 1);
  }
}

}  // namespace

ErrorCode CWin32FileSystem::MoveByHandle(std::wstring_view from, std::wstring_view to) {
  if (!IsPlainDrivePath(from) || !IsPlainDrivePath(to)) return ERROR_BAD_PATHNAME;
  // The file itself, a link there included (never what it leads to), open for the rename and
  // not shared for deletion: nobody renames or deletes it, or a folder above it, meanwhile.
  const std::wstring source(from);
  CUniqueHandle<CWin32FileTraits> file(::CreateFileW(
      source.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return static_cast<ErrorCode>(::GetLastError());
  std::wstring final;
  ErrorCode rc = FinalPathOf(file.get(), &final);
  if (rc != ERROR_SUCCESS) return rc;
  if (!EqualsNoCase(final, source)) return kErrorStoppedOnSymlink;

  // The folder it goes into, held the same way while the file is renamed into it.
  const std::wstring target(to);
  std::wstring folderPath = target.substr(0, target.rfind(L'\\'));
  if (folderPath.size() == 2) folderPath += L'\\';  // "C:" is the drive's root
  CUniqueHandle<CWin32FileTraits> folder(::CreateFileW(
      folderPath.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
      nullptr));
  if (!folder.valid()) {
    // As MoveFileW says it: the folder of the new path is missing.
    const DWORD error = ::GetLastError();
    return static_cast<ErrorCode>(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
  }
  rc = FinalPathOf(folder.get(), &final);
  if (rc != ERROR_SUCCESS) return rc;
  if (!EqualsNoCase(final, folderPath)) return kErrorStoppedOnSymlink;

  // FILE_RENAME_INFO with the new full path (and its NUL, from the buffer's zeros) in place of
  // its one-character name array.
  const std::size_t nameBytes = target.size() * sizeof(wchar_t);
  FILE_RENAME_INFO head{};
  head.ReplaceIfExists = FALSE;
  head.RootDirectory = nullptr;
  head.FileNameLength = static_cast<DWORD>(nameBytes);
  constexpr std::size_t kNameOffset = offsetof(FILE_RENAME_INFO, FileName);
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
  std::memcpy(buffer.data(), &head, kNameOffset);
  std::memcpy(buffer.data() + kNameOffset, target.data(), nameBytes);
  return LastError(::SetFileInformationByHandle(file.get(), FileRenameInfo, buffer.data(),
                                                static_cast<DWORD>(buffer.size())));
}

}  // namespace qv
