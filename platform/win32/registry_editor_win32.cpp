#include "platform/win32/registry_editor_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <map>
#include <string>

#include "platform/unique_handle.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/wine_detect.h"

namespace qv {
namespace {

constexpr std::wstring_view kHeaderVersion5 = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kHeaderVersion4 = L"REGEDIT4";

using CKernelHandle = CUniqueHandle<CWin32HandleTraits>;
using CFileHandle = CUniqueHandle<CWin32FileTraits>;
using CHkey = CUniqueHandle<CWin32KeyTraits>;

// COM for the shell call, undone only when this thread's call set it up.
class CComScope {
 public:
  CComScope()
      : m_initialized(SUCCEEDED(
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~CComScope() {
    if (m_initialized) CoUninitialize();
  }
  CComScope(const CComScope&) = delete;
  CComScope& operator=(const CComScope&) = delete;

 private:
  bool m_initialized;
};

std::wstring Substitute(std::wstring_view format, std::wstring_view path) {
  std::wstring out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's') {
      out += path;
      ++i;
    } else {
      out.push_back(format[i]);
    }
  }
  return out;
}

// Starts the registry editor with the parameters and waits for it to end.
ErrorCode RunRegistryEditor(const std::wstring& parameters) {
  CComScope com;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = nullptr;
  info.lpFile = kRegistryEditorProgram;
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? static_cast<ErrorCode>(error) : ERROR_FILE_NOT_FOUND;
  }
  CKernelHandle process(info.hProcess);
  if (!process.valid()) return ERROR_INVALID_HANDLE;  // no process to wait for
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    return static_cast<ErrorCode>(GetLastError());
  }
  return kErrorSuccess;
}

ErrorCode ReadWholeFile(std::wstring_view path, std::string* bytes) {
  const std::wstring name(path);
  CFileHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return static_cast<ErrorCode>(GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return static_cast<ErrorCode>(GetLastError());
  if (size.QuadPart > 0x7FFFFFFF) return ERROR_NOT_ENOUGH_MEMORY;
  bytes->assign(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes->empty() &&
      !ReadFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr)) {
    return static_cast<ErrorCode>(GetLastError());
  }
  bytes->resize(read);
  return kErrorSuccess;
}

// The file's text: UTF-16LE after a byte-order mark, otherwise the system code page.
std::wstring DecodeRegFile(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                     (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
    }
    return text;
  }
  if (bytes.empty()) return {};
  const int chars = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                        nullptr, 0);
  std::wstring text(static_cast<std::size_t>(chars), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                      chars);
  return text;
}

std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t' || text.back() == L'\r')) {
    text.remove_suffix(1);
  }
  return text;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

HKEY RootHandle(std::wstring_view name) {
  struct ROOT {
    std::wstring_view name;
    HKEY handle;
  };
  static const ROOT kRoots[] = {
      {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {L"HKLM", HKEY_LOCAL_MACHINE},
      {L"HKEY_USERS", HKEY_USERS},                 {L"HKU", HKEY_USERS},
      {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {L"HKCR", HKEY_CLASSES_ROOT},
      {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, {L"HKCC", HKEY_CURRENT_CONFIG},
      {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {L"HKCU", HKEY_CURRENT_USER},
      {L"HKEY_DYN_DATA", HKEY_DYN_DATA},
  };
  for (const ROOT& root : kRoots) {
    if (EqualsNoCase(root.name, name)) return root.handle;
  }
  return nullptr;
}

// Whether the key named by the full key text exists (a key that refuses reading exists).
bool KeyExists(std::wstring_view fullKey, bool* knownRoot) {
  const std::size_t slash = fullKey.find(L'\\');
  const HKEY root = RootHandle(fullKey.substr(0, slash));
  *knownRoot = root != nullptr;
  if (root == nullptr) return false;
  const std::wstring subkey(slash == std::wstring_view::npos ? std::wstring_view()
                                                             : fullKey.substr(slash + 1));
  CHkey key;
  const LSTATUS rc = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put());
  return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
}

std::wstring UpperCase(std::wstring_view text) {
  std::wstring upper(text);
  if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

// What the sections leave behind, in file order: the last word on a key wins, a deleted key takes
// the keys below it with it, and a key section brings back every level above it.
// Upper-cased key -> whether it must exist.
std::map<std::wstring, bool> ExpectedKeys(const std::vector<REG_FILE_SECTION>& sections) {
  std::map<std::wstring, bool> expected;
  for (const REG_FILE_SECTION& section : sections) {
    const std::wstring key = UpperCase(section.key);
    if (section.deletion) {
      const std::wstring below = key + L"\\";
      auto it = expected.lower_bound(below);
      while (it != expected.end() && it->first.compare(0, below.size(), below) == 0) {
        it = expected.erase(it);
      }
      expected[key] = false;
      continue;
    }
    expected[key] = true;
    for (std::size_t slash = key.rfind(L'\\'); slash != std::wstring::npos && slash > 0;
         slash = key.rfind(L'\\', slash - 1)) {
      auto it = expected.find(key.substr(0, slash));
      if (it != expected.end() && !it->second) expected.erase(it);
    }
  }
  return expected;
}

}  // namespace

ErrorCode ReadRegFileSections(std::wstring_view regFile, std::vector<REG_FILE_SECTION>* sections) {
  std::string bytes;
  const ErrorCode rc = ReadWholeFile(regFile, &bytes);
  if (rc != kErrorSuccess) return rc;
  const std::wstring text = DecodeRegFile(bytes);
  std::vector<REG_FILE_SECTION> found;
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring_view line = TrimBlanks(std::wstring_view(text).substr(start, end - start));
    start = end + 1;
    if (first) {
      if (line != kHeaderVersion5 && line != kHeaderVersion4) return kErrorInvalidData;
      first = false;
      continue;
    }
    if (line.empty() || line.front() != L'[') continue;
    const std::size_t close = line.rfind(L']');
    if (close == std::wstring_view::npos || close < 1) continue;
    REG_FILE_SECTION section;
    std::wstring_view key = line.substr(1, close - 1);
    if (!key.empty() && key.front() == L'-') {
      section.deletion = true;
      key.remove_prefix(1);
    }
    section.key.assign(key);
    found.push_back(std::move(section));
  }
  if (first) return kErrorInvalidData;  // empty file: no header
  *sections = std::move(found);
  return kErrorSuccess;
}

ErrorCode CWin32RegistryEditor::MergeFile(std::wstring_view regFile) {
  std::vector<REG_FILE_SECTION> sections;
  ErrorCode rc = ReadRegFileSections(regFile, &sections);
  if (rc != kErrorSuccess) return rc;
  const wchar_t* format =
      IsRunningOnWine() ? kRegistryEditorMergeParametersWine : kRegistryEditorMergeParameters;
  rc = RunRegistryEditor(Substitute(format, regFile));
  if (rc != kErrorSuccess) return rc;
  for (const auto& [key, mustExist] : ExpectedKeys(sections)) {
    bool knownRoot = false;
    const bool exists = KeyExists(key, &knownRoot);
    if (!knownRoot || exists != mustExist) return ERROR_CANTWRITE;
  }
  return kErrorSuccess;
}

ErrorCode CWin32RegistryEditor::ExportRegistry(std::wstring_view regFile) {
  const ErrorCode rc = RunRegistryEditor(Substitute(kRegistryEditorExportParameters, regFile));
  if (rc != kErrorSuccess) return rc;
  const std::wstring path(regFile);
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ? kErrorSuccess
                                                                     : kErrorFileNotFound;
}

}  // namespace qv
