// Helpers of the Windows tests that run QuarveloCli.exe on the registry of their throwaway
// prefix: running the program as a child with its output captured, and seeding registry values
// and files with the raw API (never through the code under test). The including test defines
// QV_CLI_EXE, the program's Linux path. Windows build only.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: they need its declarations
#include <sddl.h>
#include <shlobj.h>

#include <string>
#include <thread>
#include <vector>

#include "base/utf16.h"
#include "platform/win32/win32_handles.h"

#ifndef QV_CLI_EXE
#error QV_CLI_EXE must name the QuarveloCli.exe to test
#endif

namespace qv::test {

struct CHILD_RESULT {
  DWORD exitCode = 0xDEADBEEF;
  std::string out;
  std::string err;
};

// A file of the build tree, from its Linux path: Wine's Z: drive is the Linux root.
inline std::wstring BuildTreePath(const std::string& linuxPath) {
  std::wstring path = L"Z:" + FromUtf8(linuxPath);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

inline std::wstring CliPath() { return BuildTreePath(QV_CLI_EXE); }

inline std::string ReadAll(HANDLE pipe) {
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  return bytes;
}

// Runs the command line (the program's path first, quoted when it holds a space) with its output
// captured, in the current folder given (null: this process's), and waits for it to end.
inline CHILD_RESULT RunProgram(std::wstring commandLine, const wchar_t* currentFolder = nullptr) {
  CHILD_RESULT result;
  // COM gives the console a hidden window, and Wine starts its desktop process for the first
  // window of a session: started from the console it would inherit the output pipes and keep
  // them open after the console has ended (the read below would never end). This process's own
  // window starts it first.
  if (GetDesktopWindow() == nullptr) ADD_FAILURE() << "no desktop window";
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0) ||
      !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    ADD_FAILURE() << "CreatePipe " << GetLastError();
    return result;
  }
  CUniqueHandle<CWin32HandleTraits> outReader(outRead), outWriter(outWrite);
  CUniqueHandle<CWin32HandleTraits> errReader(errRead), errWriter(errWrite);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      currentFolder, &startup, &process)) {
    ADD_FAILURE() << "CreateProcessW " << GetLastError();
    return result;
  }
  CUniqueHandle<CWin32HandleTraits> processHandle(process.hProcess), threadHandle(process.hThread);
  outWriter.reset();
  errWriter.reset();
  std::thread errThread([&] { result.err = ReadAll(errRead); });
  result.out = ReadAll(outRead);
  errThread.join();
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  return result;
}

inline CHILD_RESULT RunCli(const std::wstring& arguments) {
  return RunProgram(L"\"" + CliPath() + L"\" " + arguments);
}

// Runs `program` (a Windows path) with the arguments, in the current folder given.
inline CHILD_RESULT RunChild(const std::wstring& program, const std::wstring& arguments,
                             const wchar_t* currentFolder = nullptr) {
  return RunProgram(L"\"" + program + L"\" " + arguments, currentFolder);
}

// "restore" of a repair's backup, given the registry file its report names: the backup's name is
// the file's name without its folder and extension.
inline CHILD_RESULT RestoreBackup(const std::string& backupFile) {
  std::wstring name = FromUtf8(backupFile);
  name = name.substr(name.rfind(L'\\') + 1);
  return RunCli(L"restore " + name.substr(0, name.find(L'.')));
}

inline std::string ReadFileBytes(const std::wstring& path) {
  CUniqueHandle<CWin32FileTraits> file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes = ReadAll(file.get());
  return bytes;
}

inline void SetValue(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD type,
              const void* data, DWORD bytes) {
  HKEY raw = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
      ERROR_SUCCESS)
      << ToUtf8(subkey);
  CUniqueHandle<CWin32KeyTraits> key(raw);
  ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes),
            ERROR_SUCCESS)
      << ToUtf8(name);
}

inline void SetString(HKEY root, const std::wstring& subkey, const std::wstring& name,
               const std::wstring& text) {
  SetValue(root, subkey, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

inline void SetDword(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD value) {
  SetValue(root, subkey, name, REG_DWORD, &value, sizeof(value));
}

inline void MakeKey(HKEY root, const std::wstring& subkey) {
  HKEY raw = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
      ERROR_SUCCESS);
  RegCloseKey(raw);
}

inline bool KeyExists(HKEY root, const std::wstring& subkey) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  RegCloseKey(raw);
  return true;
}

inline std::wstring ReadString(HKEY root, const std::wstring& subkey, const std::wstring& name) {
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(root, subkey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buffer;
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  CUniqueHandle<CWin32FileTraits> file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file.valid()) << ToUtf8(path) << " " << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(
      WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

inline std::wstring CommonAppData() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path), S_OK);
  return path;
}

inline std::wstring WindowsFolder() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_NE(GetWindowsDirectoryW(path, MAX_PATH), 0u);
  return path;
}

// HKEY_CURRENT_USER as the walks of HKEY_USERS see it: HKEY_USERS\<the user's SID>.
inline std::wstring UsersKeyOfThisUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"<no token>";
  CUniqueHandle<CWin32HandleTraits> held(token);
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()),
                           &size)) {
    return L"<no user>";
  }
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    return L"<no SID>";
  }
  std::wstring key = L"HKEY_USERS\\" + std::wstring(text);
  LocalFree(text);
  return key;
}

}  // namespace qv::test
