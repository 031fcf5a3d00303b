#include "platform/memory/memory_platform.h"

#include <string>

namespace qv {

CMemoryPlatform::CMemoryPlatform() {
  const std::wstring profile(kProfileFolder);
  const std::wstring appData(kAppDataFolder);
  const std::wstring startMenu = appData + L"\\Microsoft\\Windows\\Start Menu";
  const std::wstring commonStartMenu =
      std::wstring(kCommonAppDataFolder) + L"\\Microsoft\\Windows\\Start Menu";
  const struct {
    int csidl;
    std::wstring path;
  } folders[] = {
      {kCsidlWindows, std::wstring(kWindowsFolder)},
      {kCsidlSystem, std::wstring(kSystemFolder)},
      {kCsidlProgramFiles, std::wstring(kProgramFilesFolder)},
      {kCsidlProgramFilesCommon, std::wstring(kCommonFilesFolder)},
      {kCsidlProgramFilesX86, std::wstring(kProgramFilesX86Folder)},
      {kCsidlProgramFilesCommonX86, std::wstring(kCommonFilesX86Folder)},
      {kCsidlCommonAppData, std::wstring(kCommonAppDataFolder)},
      {kCsidlCommonStartMenu, commonStartMenu},
      {kCsidlCommonPrograms, commonStartMenu + L"\\Programs"},
      {kCsidlCommonStartup, commonStartMenu + L"\\Programs\\Startup"},
      {kCsidlProfile, profile},
      {kCsidlDesktopDirectory, profile + L"\\Desktop"},
      {kCsidlFavorites, profile + L"\\Favorites"},
      {kCsidlAppData, appData},
      {kCsidlLocalAppData, std::wstring(kLocalAppDataFolder)},
      {kCsidlStartMenu, startMenu},
      {kCsidlPrograms, startMenu + L"\\Programs"},
      {kCsidlStartup, startMenu + L"\\Programs\\Startup"},
      {kCsidlCookies, appData + L"\\Microsoft\\Windows\\Cookies"},
  };
  for (const auto& f : folders) {
    m_shell.SetFolder(f.csidl, f.path);
    m_files.AddFolder(f.path);
  }
  const std::wstring windows(kWindowsFolder);
  m_files.AddFolder(windows + L"\\system");
  m_files.AddFolder(windows + L"\\Temp");
  m_files.AddFolder(windows + L"\\System32\\Wbem");
  m_files.AddFolder(kTempFolder);
  m_files.AddFolder(L"C:\\users\\Public");
  m_files.AddFolder(L"C:\\Program Files\\Quarvelo");
  m_files.SetSearchFolders({std::wstring(kSystemFolder), windows + L"\\system", windows,
                            windows + L"\\System32\\Wbem"});
  m_shell.SetFileSystem(&m_files);
  m_shell.SetModuleFileName(kModuleFileName);

  const struct {
    const wchar_t* name;
    std::wstring value;
  } variables[] = {
      {L"SystemDrive", L"C:"},
      {L"SystemRoot", windows},
      {L"windir", windows},
      {L"TEMP", std::wstring(kTempFolder)},
      {L"TMP", std::wstring(kTempFolder)},
      {L"USERPROFILE", profile},
      {L"HOMEDRIVE", L"C:"},
      {L"HOMEPATH", L"\\users\\user"},
      {L"USERNAME", L"user"},
      {L"ProgramFiles", std::wstring(kProgramFilesFolder)},
      {L"CommonProgramFiles", std::wstring(kCommonFilesFolder)},
      {L"APPDATA", appData},
      {L"LOCALAPPDATA", std::wstring(kLocalAppDataFolder)},
      {L"ALLUSERSPROFILE", std::wstring(kCommonAppDataFolder)},
      {L"ProgramData", std::wstring(kCommonAppDataFolder)},
      {L"PUBLIC", L"C:\\users\\Public"},
      {L"COMPUTERNAME", L"TESTPC"},
      {L"PATH", std::wstring(kSystemFolder) + L";" + windows + L";" + windows +
                    L"\\System32\\Wbem"},
      {L"PATHEXT", L".COM;.EXE;.BAT;.CMD"},
  };
  for (const auto& v : variables) m_shell.SetEnvironment(v.name, v.value);
  m_shell.SetFolder(kCsidlSystemX86, kSystemFolder);  // a 32-bit Windows has one system folder
  m_registry.CreatePath(L"HKEY_LOCAL_MACHINE\\Software");
}

void CMemoryPlatform::Make64Bit() {
  m_shell.SetFolder(kCsidlSystemX86, kSystemX86Folder);
  m_files.AddFolder(kSystemX86Folder);
  m_shell.SetEnvironment(L"ProgramFiles(x86)", kProgramFilesX86Folder);
  m_shell.SetEnvironment(L"CommonProgramFiles(x86)", kCommonFilesX86Folder);
  m_shell.SetEnvironment(L"ProgramW6432", kProgramFilesFolder);
  m_shell.SetEnvironment(L"CommonProgramW6432", kCommonFilesFolder);
  m_registry.CreatePath(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID");
  m_registry.CreateLink(L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Classes",
                        L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node");
}

}  // namespace qv
