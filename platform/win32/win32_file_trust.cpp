// The Win32 file system's calls that decide trust (win32_file_system.h): the owner and access
// list of an entry read through a handle opened without following a reparse point, opens and
// renames that refuse a link, new files under unguessable names, the protected folder's access
// list, elevation, and moves through open handles. It touches the entries the calls name and
// their security descriptors; the plain calls are in win32_file_system.cpp.
#include "platform/win32/win32_file_system.h"

#include <windows.h>
#include <aclapi.h>
#include <ntsecapi.h>
#include <sddl.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "base/text_case.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_open_file.h"

namespace qv {
namespace {

using win32_files::Count;
using win32_files::InfoOfHandle;
using win32_files::LastError;
using win32_files::MakeOpenFile;

// A SID of the well-known kind, made once.
class CWellKnownSid {
 public:
  explicit CWellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = sizeof(m_sid);
    m_valid = ::CreateWellKnownSid(type, nullptr, m_sid, &size) != FALSE;
  }
  [[nodiscard]] bool Matches(PSID sid) const {
    return m_valid && sid != nullptr && ::EqualSid(const_cast<BYTE*>(m_sid), sid) != FALSE;
  }

 private:
  BYTE m_sid[SECURITY_MAX_SID_SIZE] = {};
  bool m_valid = false;
};

const CWellKnownSid& SystemSid() {
  static const CWellKnownSid sid(WinLocalSystemSid);
  return sid;
}

const CWellKnownSid& AdministratorsSid() {
  static const CWellKnownSid sid(WinBuiltinAdministratorsSid);
  return sid;
}

// The user of this process's token (TokenUser), read once.
class CProcessUser {
 public:
  CProcessUser() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    CUniqueHandle<CWin32HandleTraits> owned(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return;
    m_buffer.resize(size);
    if (!::GetTokenInformation(token, TokenUser, m_buffer.data(), size, &size)) m_buffer.clear();
  }
  [[nodiscard]] bool Matches(PSID sid) const {
    if (m_buffer.empty() || sid == nullptr) return false;
    const auto* user = reinterpret_cast<const TOKEN_USER*>(m_buffer.data());
    return ::EqualSid(user->User.Sid, sid) != FALSE;
  }

 private:
  std::vector<BYTE> m_buffer;
};

const CProcessUser& ProcessUser() {
  static const CProcessUser user;
  return user;
}

FileOwner OwnerOf(PSID owner) {
  if (SystemSid().Matches(owner)) return FileOwner::kSystem;
  if (AdministratorsSid().Matches(owner)) return FileOwner::kAdministrators;
  if (ProcessUser().Matches(owner)) return FileOwner::kCurrentUser;
  return FileOwner::kOther;
}

// Whether every entry that allows anything names SYSTEM or Administrators (`orUser`: or this
// process's user).
bool AllowsOnlyAdmins(PACL dacl, bool orUser) {
  if (dacl == nullptr) return false;  // no list at all allows everyone everything
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    PSID sid = &allowed->SidStart;
    if (SystemSid().Matches(sid) || AdministratorsSid().Matches(sid)) continue;
    if (orUser && ProcessUser().Matches(sid)) continue;
    return false;
  }
  return true;
}

// A security descriptor that LocalFree releases.
struct CLocalTraits {
  using Handle = PSECURITY_DESCRIPTOR;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::LocalFree(h); }
};
using CLocalDescriptor = CUniqueHandle<CLocalTraits>;

}  // namespace

ErrorCode win32_files::InfoOfHandle(HANDLE handle, CPathInfo* info) {
  BY_HANDLE_FILE_INFORMATION facts{};
  if (!::GetFileInformationByHandle(handle, &facts)) {
    return static_cast<ErrorCode>(::GetLastError());
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  const DWORD rc = ::GetSecurityInfo(handle, SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                     &owner, nullptr, &dacl, nullptr, &raw);
  if (rc != ERROR_SUCCESS) return static_cast<ErrorCode>(rc);
  const CLocalDescriptor descriptor(raw);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!::GetSecurityDescriptorControl(raw, &control, &revision)) control = 0;
  CPathInfo result;
  result.directory = (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  result.reparsePoint = (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  result.owner = OwnerOf(owner);
  result.adminsOnly = (control & SE_DACL_PROTECTED) != 0 && AllowsOnlyAdmins(dacl, false);
  result.size = result.directory
                    ? 0
                    : (static_cast<std::uint64_t>(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow;
  *info = result;
  return ERROR_SUCCESS;
}


namespace {

bool PathIsReparsePoint(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens the entry itself for the access given (folders too), never through a reparse point at
// its last element.
ErrorCode OpenEntry(const std::wstring& path, DWORD access, CUniqueHandle<CWin32FileTraits>* out) {
  HANDLE handle = ::CreateFileW(path.c_str(), access,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<ErrorCode>(::GetLastError());
  out->reset(handle);
  return ERROR_SUCCESS;
}

// The protected descriptor (kProtectedFolderSddl), made once.
PSECURITY_DESCRIPTOR ProtectedDescriptor() {
  static const CLocalDescriptor descriptor = [] {
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedFolderSddl,
                                                                SDDL_REVISION_1, &made, nullptr)) {
      made = nullptr;
    }
    return CLocalDescriptor(made);
  }();
  return descriptor.get();
}

}  // namespace

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

ErrorCode CWin32FileSystem::QueryPathInfo(std::wstring_view path, CPathInfo* info) {
  Count(m_existenceCalls);
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  const std::wstring text(path);
  CUniqueHandle<CWin32FileTraits> handle;
  ErrorCode rc = OpenEntry(text, READ_CONTROL | FILE_READ_ATTRIBUTES, &handle);
  if (rc != ERROR_SUCCESS) return rc;
  CPathInfo result;
  rc = InfoOfHandle(handle.get(), &result);
  if (rc != ERROR_SUCCESS) return rc;
  // Wine opens what a Unix symbolic link points at even so; its listing still says what it is.
  if (PathIsReparsePoint(text)) result.reparsePoint = true;
  *info = result;
  return ERROR_SUCCESS;
}

ErrorCode CWin32FileSystem::OpenFileNoFollow(std::wstring_view path, FileOpenMode mode,
                                             FileShareMode share, std::unique_ptr<IFile>* file) {
  Count(m_otherCalls);
  if (file == nullptr) return ERROR_INVALID_PARAMETER;
  const std::wstring text(path);
  // Looked at first, so a link is never truncated or written through by the open itself.
  if (PathIsReparsePoint(text)) return kErrorReparsePointEncountered;
  DWORD access = GENERIC_READ | READ_CONTROL;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case FileOpenMode::kCreateAlways:
      access |= GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case FileOpenMode::kAppend:
      access |= GENERIC_WRITE;
      disposition = OPEN_ALWAYS;
      break;
    case FileOpenMode::kOverwrite:
    case FileOpenMode::kAppendExisting:
      access |= GENERIC_WRITE;
      break;
    case FileOpenMode::kRead:
      break;
  }
  const DWORD shareMode =
      share == FileShareMode::kDenyWrite ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE handle = ::CreateFileW(text.c_str(), access, shareMode, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<ErrorCode>(::GetLastError());
  std::unique_ptr<IFile> opened =
      MakeOpenFile(handle, mode == FileOpenMode::kAppend || mode == FileOpenMode::kAppendExisting);
  BY_HANDLE_FILE_INFORMATION facts{};
  if (!::GetFileInformationByHandle(handle, &facts)) {
    return static_cast<ErrorCode>(::GetLastError());
  }
  if ((facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return kErrorReparsePointEncountered;
  }
  *file = std::move(opened);
  return ERROR_SUCCESS;
}

ErrorCode CWin32FileSystem::CreateUniqueFile(std::wstring_view folder, std::wstring* path,
                                             std::unique_ptr<IFile>* file) {
  Count(m_otherCalls);
  if (path == nullptr || file == nullptr) return ERROR_INVALID_PARAMETER;
  std::wstring base(folder);
  if (!base.empty() && base.back() != L'\\') base.push_back(L'\\');
  constexpr int kAttempts = 16;  // a taken name is another try, never an open
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::uint8_t random[kUniqueFileRandomBytes] = {};
    if (!::RtlGenRandom(random, sizeof(random))) return ERROR_GEN_FAILURE;
    const std::wstring candidate = base + UniqueFileName(random);
    HANDLE handle = ::CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE | READ_CONTROL,
                                  FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return static_cast<ErrorCode>(error);
    }
    *file = MakeOpenFile(handle, false);
    *path = candidate;
    return ERROR_SUCCESS;
  }
  return ERROR_FILE_EXISTS;
}

ErrorCode CWin32FileSystem::RenameNoFollow(std::wstring_view from, std::wstring_view to) {
  Count(m_otherCalls);
  const std::wstring source(from);
  const std::wstring target(to);
  {
    CUniqueHandle<CWin32FileTraits> handle;
    const ErrorCode rc = OpenEntry(source, FILE_READ_ATTRIBUTES, &handle);
    if (rc != ERROR_SUCCESS) return rc;
    BY_HANDLE_FILE_INFORMATION facts{};
    if (!::GetFileInformationByHandle(handle.get(), &facts)) {
      return static_cast<ErrorCode>(::GetLastError());
    }
    // Listed as a link while the handle is what it points at: a rename here would move that.
    if ((facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
        PathIsReparsePoint(source)) {
      return ERROR_NOT_SUPPORTED;
    }
  }
  // MoveFileExW renames a reparse point itself, and without MOVEFILE_REPLACE_EXISTING never over
  // an existing name.
  return LastError(::MoveFileExW(source.c_str(), target.c_str(), 0));
}

ErrorCode CWin32FileSystem::MakeProtectedDirectory(std::wstring_view path) {
  Count(m_otherCalls);
  PSECURITY_DESCRIPTOR descriptor = ProtectedDescriptor();
  if (descriptor == nullptr) return ERROR_INVALID_SECURITY_DESCR;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  const std::wstring text(path);
  return LastError(::CreateDirectoryW(text.c_str(), &attributes));
}

ErrorCode CWin32FileSystem::ProtectDirectory(std::wstring_view path) {
  Count(m_otherCalls);
  PSECURITY_DESCRIPTOR descriptor = ProtectedDescriptor();
  if (descriptor == nullptr) return ERROR_INVALID_SECURITY_DESCR;
  const std::wstring text(path);
  if (PathIsReparsePoint(text)) return kErrorReparsePointEncountered;
  CUniqueHandle<CWin32FileTraits> handle;
  ErrorCode rc = OpenEntry(text, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES, &handle);
  if (rc != ERROR_SUCCESS) return rc;
  CPathInfo info;
  rc = InfoOfHandle(handle.get(), &info);
  if (rc != ERROR_SUCCESS) return rc;
  if (info.reparsePoint) return kErrorReparsePointEncountered;
  if (!info.directory) return ERROR_DIRECTORY;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
    return static_cast<ErrorCode>(::GetLastError());
  }
  // SetSecurityInfo also gives what is inside the folder the entries it now inherits.
  rc = static_cast<ErrorCode>(::SetSecurityInfo(
      handle.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, dacl, nullptr));
  if (rc != ERROR_SUCCESS) return rc;
  // Wine leaves the list (its Unix mode) as it was after SetSecurityInfo; the descriptor set on
  // the handle itself changes it.
  PSID owner = nullptr;
  PACL now = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (::GetSecurityInfo(handle.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &now, nullptr, &raw) == ERROR_SUCCESS) {
    const CLocalDescriptor readBack(raw);
    if (!AllowsOnlyAdmins(now, true) &&
        !::SetKernelObjectSecurity(handle.get(), DACL_SECURITY_INFORMATION, descriptor)) {
      return static_cast<ErrorCode>(::GetLastError());
    }
  }
  return ERROR_SUCCESS;
}

bool CWin32FileSystem::IsElevated() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  const CUniqueHandle<CWin32HandleTraits> owned(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!::GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size)) {
    return false;
  }
  return elevation.TokenIsElevated != 0;
}

ErrorCode CWin32FileSystem::MoveByHandle(std::wstring_view from, std::wstring_view to) {
  Count(m_otherCalls);
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
