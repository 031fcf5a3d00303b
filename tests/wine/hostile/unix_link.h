// Unix symbolic links under Wine, which it shows as reparse points (CreateSymbolicLinkW is a stub
// there): what another account could put in place of a folder.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/utf16.h"

namespace qv::test {

// The Unix form of a Windows path whose folder exists (wine_get_unix_file_name of the folder,
// then the last name as it is, so a link there is named, not resolved); empty outside Wine.
inline std::string UnixPath(const std::wstring& path) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return {};
  const std::size_t slash = path.rfind(L'\\');
  char* name = unixName(path.substr(0, slash).c_str());
  std::string text = name != nullptr ? name : "";
  HeapFree(GetProcessHeap(), 0, name);
  return text.empty() ? text : text + "/" + ToUtf8(path.substr(slash + 1));
}

// Starts a Unix program by its Unix path ("/bin/ln"): Wine runs one given as Z:\bin\ln. Wine
// tells neither the end nor the exit code of a Unix program: the caller waits for its effect.
inline bool StartUnixProgram(const std::wstring& program, const std::string& arguments) {
  std::wstring command = L"Z:" + program;
  for (wchar_t& c : command) c = c == L'/' ? L'\\' : c;
  command += L" " + FromUtf8(arguments);  // the Unix arguments keep their slashes
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// Waits up to 5 s for the entry to be there (or gone); its attributes then.
inline DWORD WaitForEntry(const std::wstring& path, bool present) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  for (int tries = 0; tries < 100 && (attributes != INVALID_FILE_ATTRIBUTES) != present; ++tries) {
    Sleep(50);
    attributes = GetFileAttributesW(path.c_str());
  }
  return attributes;
}

// Makes `link` a Unix symbolic link to the folder `target` (Wine lists a link to a folder as a
// reparse point, a link to a file not).
inline void MakeUnixLink(const std::wstring& target, const std::wstring& link) {
  ASSERT_FALSE(UnixPath(link).empty()) << "runs under Wine only";
  ASSERT_TRUE(StartUnixProgram(L"/bin/ln", "-s " + UnixPath(target) + " " + UnixPath(link)))
      << GetLastError();
  const DWORD attributes = WaitForEntry(link, true);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << ToUtf8(link);
  ASSERT_EQ(attributes & FILE_ATTRIBUTE_REPARSE_POINT,
            static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT));
}

// Removes the Unix symbolic link itself (never what it leads to).
inline void RemoveUnixLink(const std::wstring& link) {
  ASSERT_TRUE(StartUnixProgram(L"/bin/rm", UnixPath(link))) << GetLastError();
  ASSERT_EQ(WaitForEntry(link, false), INVALID_FILE_ATTRIBUTES) << ToUtf8(link);
}

}  // namespace qv::test
