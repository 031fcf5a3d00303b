// The whole seam in memory: registry, file system, shell and a fake clock, laid out like a fresh
// Windows 7 machine (user "user"), so a scan, a repair or a restore runs in a unit test.
//
// Layout made by the constructor (folders exist in the file system; drive C: only):
//   CSIDL_WINDOWS              C:\Windows                 (also C:\Windows\system, C:\Windows\Temp)
//   CSIDL_SYSTEM               C:\Windows\system32
//   CSIDL_PROGRAM_FILES        C:\Program Files
//   CSIDL_PROGRAM_FILES_COMMON C:\Program Files\Common Files
//   CSIDL_PROGRAM_FILESX86     C:\Program Files (x86)
//   CSIDL_PROGRAM_FILES_COMMONX86 C:\Program Files (x86)\Common Files
//   CSIDL_COMMON_APPDATA       C:\ProgramData
//   CSIDL_COMMON_STARTMENU     C:\ProgramData\Microsoft\Windows\Start Menu
//   CSIDL_COMMON_PROGRAMS      C:\ProgramData\Microsoft\Windows\Start Menu\Programs
//   CSIDL_COMMON_STARTUP       C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Startup
//   CSIDL_PROFILE              C:\users\user
//   CSIDL_DESKTOPDIRECTORY     C:\users\user\Desktop
//   CSIDL_FAVORITES            C:\users\user\Favorites
//   CSIDL_APPDATA              C:\users\user\AppData\Roaming
//   CSIDL_LOCAL_APPDATA        C:\users\user\AppData\Local
//   CSIDL_STARTMENU            C:\users\user\AppData\Roaming\Microsoft\Windows\Start Menu
//   CSIDL_PROGRAMS             ...\Start Menu\Programs
//   CSIDL_STARTUP              ...\Start Menu\Programs\Startup
//   CSIDL_COOKIES              C:\users\user\AppData\Roaming\Microsoft\Windows\Cookies
//   temporary files            C:\users\user\AppData\Local\Temp
//   the program                C:\Program Files\Quarvelo\Quarvelo.exe (its folder exists)
// Environment: SystemDrive=C:, SystemRoot and windir=C:\Windows, TEMP and TMP=the temporary
//   folder, USERPROFILE, HOMEDRIVE=C:, HOMEPATH=\users\user, USERNAME=user, ProgramFiles,
//   CommonProgramFiles, APPDATA, LOCALAPPDATA=C:\users\user\AppData\Local, ALLUSERSPROFILE and
//   ProgramData=C:\ProgramData, PUBLIC=C:\users\Public, COMPUTERNAME=TESTPC,
//   PATH=C:\Windows\system32;C:\Windows;C:\Windows\System32\Wbem, PATHEXT.
// FindOnPath searches C:\Windows\system32, C:\Windows\system, C:\Windows, C:\Windows\System32\Wbem.
// Registry: only the predefined roots and what they need (HKLM\Software\Classes,
//   HKLM\System\CurrentControlSet\Hardware Profiles\Current, HKU\.DEFAULT\Software,
//   HKU\S-1-5-21-0-0-0-1000\Software\Classes = HKCU\Software\Classes); tests add the rest.
// System version 6.1; clock at CFakeClock::kDefaultNow.
// As made, the machine is a 32-bit Windows: no 32-bit registry view, CSIDL_SYSTEMX86 the system
// folder. Make64Bit() turns it into a 64-bit one.
#pragma once

#include <string_view>

#include "platform/memory/fake_clock.h"
#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/platform.h"

namespace qv {

class CMemoryPlatform {
 public:
  static constexpr std::wstring_view kWindowsFolder = L"C:\\Windows";
  static constexpr std::wstring_view kSystemFolder = L"C:\\Windows\\system32";
  static constexpr std::wstring_view kSystemX86Folder = L"C:\\Windows\\SysWOW64";
  static constexpr std::wstring_view kProgramFilesFolder = L"C:\\Program Files";
  static constexpr std::wstring_view kCommonFilesFolder = L"C:\\Program Files\\Common Files";
  static constexpr std::wstring_view kProgramFilesX86Folder = L"C:\\Program Files (x86)";
  static constexpr std::wstring_view kCommonFilesX86Folder =
      L"C:\\Program Files (x86)\\Common Files";
  static constexpr std::wstring_view kCommonAppDataFolder = L"C:\\ProgramData";
  static constexpr std::wstring_view kProfileFolder = L"C:\\users\\user";
  static constexpr std::wstring_view kAppDataFolder = L"C:\\users\\user\\AppData\\Roaming";
  static constexpr std::wstring_view kLocalAppDataFolder = L"C:\\users\\user\\AppData\\Local";
  static constexpr std::wstring_view kTempFolder = L"C:\\users\\user\\AppData\\Local\\Temp";
  static constexpr std::wstring_view kModuleFileName =
      L"C:\\Program Files\\Quarvelo\\Quarvelo.exe";

  CMemoryPlatform();
  CMemoryPlatform(const CMemoryPlatform&) = delete;
  CMemoryPlatform& operator=(const CMemoryPlatform&) = delete;

  // Makes the machine a 64-bit Windows, as a 64-bit program sees it: the 32-bit registry view
  // (HKLM\Software\Wow6432Node; HKLM\Software\Classes\Wow6432Node, seen as HKCR\Wow6432Node, with
  // its CLSID key; HKLM\Software\Wow6432Node\Classes a link to it, as on Windows), the 32-bit
  // system folder C:\Windows\SysWOW64 (CSIDL_SYSTEMX86) and the variables ProgramFiles(x86),
  // CommonProgramFiles(x86), ProgramW6432 and CommonProgramW6432.
  void Make64Bit();

  [[nodiscard]] CPlatform platform() { return CPlatform{m_registry, m_files, m_shell, m_clock}; }
  [[nodiscard]] CMemoryRegistry& registry() { return m_registry; }
  [[nodiscard]] CMemoryFileSystem& files() { return m_files; }
  [[nodiscard]] CMemoryShell& shell() { return m_shell; }
  [[nodiscard]] CFakeClock& clock() { return m_clock; }

 private:
  CMemoryRegistry m_registry;
  CMemoryFileSystem m_files;
  CMemoryShell m_shell;
  CFakeClock m_clock;
};

}  // namespace qv
