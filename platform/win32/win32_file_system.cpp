// The Win32 file system's plain calls (win32_file_system.h): path tests, listings, existence,
// drive kinds, moves and deletes, folders, files opened with CreateFileW, and the conversions of
// the ANSI code page. What it touches is the path each call names; owners, access lists, links
// and moves through handles are in win32_file_trust.cpp.
#include "platform/win32/win32_file_system.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_open_file.h"

// <windows.h> maps ReplaceFile to ReplaceFileW; the seam's method keeps its own name.
#undef ReplaceFile

namespace qv {
namespace {

using win32_files::Count;
using win32_files::InfoOfHandle;
using win32_files::LastError;

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

  ErrorCode QueryInfo(CPathInfo* info) override {
    if (info == nullptr) return ERROR_INVALID_PARAMETER;
    return InfoOfHandle(m_file.get(), info);
  }

 private:
  CUniqueHandle<CWin32FileTraits> m_file;
  bool m_append;
};

}  // namespace

std::unique_ptr<IFile> win32_files::MakeOpenFile(HANDLE handle, bool append) {
  return std::make_unique<CWin32File>(handle, append);
}

FILE_SYSTEM_CALLS CWin32FileSystem::Calls() const {
  return {m_existenceCalls.load(std::memory_order_relaxed),
          m_listingCalls.load(std::memory_order_relaxed),
          m_driveCalls.load(std::memory_order_relaxed), m_otherCalls.load(std::memory_order_relaxed)};
}

bool CWin32FileSystem::FileExists(std::wstring_view path) {
  Count(m_existenceCalls);
  const std::wstring text(path);
  return !text.empty() && ::PathFileExistsW(text.c_str()) != FALSE;
}

ErrorCode CWin32FileSystem::QueryExistence(std::wstring_view path) {
  Count(m_existenceCalls);
  const std::wstring text(path);
  if (text.empty()) return ERROR_PATH_NOT_FOUND;
  if (::GetFileAttributesW(text.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
  const DWORD error = ::GetLastError();
  // A failure that sets no code says nothing about the path: it is not "not found".
  return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : static_cast<ErrorCode>(error);
}

DRIVE_KIND CWin32FileSystem::DriveKind(wchar_t letter) {
  Count(m_driveCalls);
  if (!((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z'))) {
    return DRIVE_KIND::kAbsent;
  }
  const wchar_t root[] = {letter, L':', L'\\', L'\0'};
  switch (::GetDriveTypeW(root)) {
    case DRIVE_NO_ROOT_DIR: return DRIVE_KIND::kAbsent;
    case DRIVE_REMOVABLE: return DRIVE_KIND::kRemovable;
    case DRIVE_FIXED: return DRIVE_KIND::kFixed;
    case DRIVE_REMOTE: return DRIVE_KIND::kNetwork;
    case DRIVE_CDROM: return DRIVE_KIND::kOptical;
    case DRIVE_RAMDISK: return DRIVE_KIND::kRamDisk;
    default: return DRIVE_KIND::kUnknown;
  }
}

bool CWin32FileSystem::IsRoot(std::wstring_view path) {
  const std::wstring text(path);
  return ::PathIsRootW(text.c_str()) != FALSE;
}

bool CWin32FileSystem::FindOnPath(std::wstring* path) {
  Count(m_existenceCalls);
  if (path == nullptr || path->empty() || path->size() >= MAX_PATH) return false;
  wchar_t buffer[MAX_PATH] = {};
  std::copy(path->begin(), path->end(), buffer);
  if (!::PathFindOnPathW(buffer, nullptr)) return false;
  *path = buffer;
  return true;
}

bool CWin32FileSystem::IsDirectory(std::wstring_view path) {
  Count(m_existenceCalls);
  const std::wstring text(path);
  const DWORD attributes = ::GetFileAttributesW(text.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

ErrorCode CWin32FileSystem::FindFiles(std::wstring_view pattern,
                                      std::vector<CFindData>* entries) {
  Count(m_listingCalls);
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
  Count(m_otherCalls);
  const std::wstring source(from);
  const std::wstring target(to);
  return LastError(::MoveFileW(source.c_str(), target.c_str()));
}

ErrorCode CWin32FileSystem::RemoveFile(std::wstring_view path) {
  Count(m_otherCalls);
  const std::wstring text(path);
  return LastError(::DeleteFileW(text.c_str()));
}

ErrorCode CWin32FileSystem::MakeDirectory(std::wstring_view path) {
  Count(m_otherCalls);
  const std::wstring text(path);
  return LastError(::CreateDirectoryW(text.c_str(), nullptr));
}

ErrorCode CWin32FileSystem::RemoveFolder(std::wstring_view path) {
  Count(m_otherCalls);
  const std::wstring text(path);
  return LastError(::RemoveDirectoryW(text.c_str()));
}

ErrorCode CWin32FileSystem::ReplaceFile(std::wstring_view from, std::wstring_view to) {
  Count(m_otherCalls);
  const std::wstring source(from);
  const std::wstring target(to);
  return LastError(::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
}

ErrorCode CWin32FileSystem::OpenFile(std::wstring_view path, FileOpenMode mode,
                                     FileShareMode share, std::unique_ptr<IFile>* file) {
  Count(m_otherCalls);
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
    case FileOpenMode::kAppendExisting:
      access = GENERIC_READ | GENERIC_WRITE;
      break;
    case FileOpenMode::kRead:
      break;
  }
  const DWORD shareMode =
      share == FileShareMode::kDenyWrite ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE handle = ::CreateFileW(text.c_str(), access, shareMode, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<ErrorCode>(::GetLastError());
  *file = std::make_unique<CWin32File>(
      handle, mode == FileOpenMode::kAppend || mode == FileOpenMode::kAppendExisting);
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

}  // namespace qv
