// Shell services: special folders, environment expansion, the running program and its version,
// the system version, shortcut files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"

namespace qv {

// CSIDL values (Windows values).
inline constexpr int kCsidlPrograms = 0x02;
inline constexpr int kCsidlFavorites = 0x06;
inline constexpr int kCsidlStartup = 0x07;
inline constexpr int kCsidlStartMenu = 0x0B;
inline constexpr int kCsidlDesktopDirectory = 0x10;
inline constexpr int kCsidlCommonStartMenu = 0x16;
inline constexpr int kCsidlCommonPrograms = 0x17;
inline constexpr int kCsidlCommonStartup = 0x18;
inline constexpr int kCsidlAppData = 0x1A;
inline constexpr int kCsidlLocalAppData = 0x1C;
inline constexpr int kCsidlCookies = 0x21;
inline constexpr int kCsidlCommonAppData = 0x23;
inline constexpr int kCsidlWindows = 0x24;
inline constexpr int kCsidlSystem = 0x25;
inline constexpr int kCsidlProgramFiles = 0x26;
inline constexpr int kCsidlProfile = 0x28;
inline constexpr int kCsidlSystemX86 = 0x29;  // SysWOW64 on 64-bit Windows
inline constexpr int kCsidlProgramFilesX86 = 0x2A;
inline constexpr int kCsidlProgramFilesCommon = 0x2B;
inline constexpr int kCsidlProgramFilesCommonX86 = 0x2C;
inline constexpr int kCsidlFlagCreate = 0x8000;

struct CFileVersion {
  std::array<std::uint16_t, 4> parts{};  // major, minor, build, revision
};

// What a shortcut (.lnk) file says, as the shell link object reads it.
struct SHORTCUT_INFO {
  std::wstring target;         // the file it starts (empty: none, a shortcut to a shell object)
  std::wstring arguments;
  std::wstring workingFolder;
};

// A shortcut without a file target (GetPath gives S_FALSE): ERROR_NOT_FOUND.
inline constexpr ErrorCode kErrorShortcutHasNoTarget = 1168;

class IShell {
 public:
  virtual ~IShell() = default;

  // SHGetFolderPathW(no window, csidl, no token, flag 0): 0 on success, otherwise a failure code;
  // csidl may carry kCsidlFlagCreate.
  [[nodiscard]] virtual ErrorCode GetFolderPath(int csidl, std::wstring* path) = 0;
  // SHGetSpecialFolderPathW(no window, path, csidl, create): 0 on success, otherwise the failure
  // code (the system's last error, or E_FAIL when it gives none); *path unchanged on failure.
  [[nodiscard]] virtual ErrorCode GetSpecialFolderPath(int csidl, bool create,
                                                       std::wstring* path) = 0;

  // ExpandEnvironmentStringsW into a buffer of `capacity` characters: returns the number of
  // characters the expansion needs including its terminator (0 on failure). *expanded is set only
  // when that number is at most `capacity`. Unknown variables stay as written.
  [[nodiscard]] virtual std::uint32_t ExpandEnvironment(std::wstring_view text,
                                                        std::uint32_t capacity,
                                                        std::wstring* expanded) = 0;

  // Full path of the running program's executable (GetModuleFileNameW(NULL)).
  [[nodiscard]] virtual std::wstring ModuleFileName() = 0;
  // The fixed file version of a file's version resource: 0, or the error of reading it
  // (kErrorResourceTypeNotFound 1813 for a file without one); *version unchanged on failure.
  [[nodiscard]] virtual ErrorCode GetFileVersion(std::wstring_view path,
                                                 CFileVersion* version) = 0;
  // GetVersionExW: major and minor version of the operating system.
  virtual void GetSystemVersion(std::uint32_t* major, std::uint32_t* minor) = 0;

  // Reads a shortcut with the shell link object (IPersistFile::Load for reading, then GetPath
  // with the raw path, GetArguments, GetWorkingDirectory), without resolving it: the target is
  // the path stored in the file, whether or not it exists, and nothing but the shortcut file
  // itself is read (no search, no link tracking, no network); the file is never written. Returns
  // 0 with *info filled; kErrorShortcutHasNoTarget for a shortcut without a file target (*info
  // has its arguments then); otherwise the failure (the object cannot be made, the file cannot
  // be loaded), *info unchanged.
  [[nodiscard]] virtual ErrorCode ReadShortcut(std::wstring_view path, SHORTCUT_INFO* info) = 0;
  // Writes a shortcut file (replacing one at the path) with the target, arguments and working
  // folder given (IShellLinkW setters, IPersistFile::Save). Returns 0 or the failure.
  [[nodiscard]] virtual ErrorCode CreateShortcut(std::wstring_view path,
                                                 const SHORTCUT_INFO& info) = 0;
};

}  // namespace qv
