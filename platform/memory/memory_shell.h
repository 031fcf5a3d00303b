// In-memory shell services: a settable folder map by CSIDL, environment variables with
// ExpandEnvironmentStringsW's expansion, the program's path, file versions, the system version,
// and shortcuts. Unknown CSIDLs fail as SHGetFolderPathW fails (E_INVALIDARG).
//
// A shortcut is a file of the in-memory file system holding, as UTF-8 lines, kShortcutMagic, the
// target, the arguments and the working folder; any other file fails to load as a damaged .lnk
// does (E_FAIL).
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/shell.h"

namespace qv {

class CMemoryShell final : public IShell {
 public:
  // SHGetFolderPathW's result for a CSIDL it does not know (E_INVALIDARG).
  static constexpr ErrorCode kFolderNotKnown = static_cast<std::int32_t>(0x80070057u);

  // Empty: no folders, no variables, module "C:\Program Files\Quarvelo\Quarvelo.exe",
  // system version 6.1.
  CMemoryShell();

  // IShell
  [[nodiscard]] ErrorCode GetFolderPath(int csidl, std::wstring* path) override;
  [[nodiscard]] ErrorCode GetSpecialFolderPath(int csidl, bool create,
                                         std::wstring* path) override;
  [[nodiscard]] std::uint32_t ExpandEnvironment(std::wstring_view text, std::uint32_t capacity,
                                                std::wstring* expanded) override;
  [[nodiscard]] std::wstring ModuleFileName() override;
  [[nodiscard]] ErrorCode GetFileVersion(std::wstring_view path, CFileVersion* version) override;
  void GetSystemVersion(std::uint32_t* major, std::uint32_t* minor) override;
  [[nodiscard]] ErrorCode ReadShortcut(std::wstring_view path, SHORTCUT_INFO* info) override;
  [[nodiscard]] ErrorCode CreateShortcut(std::wstring_view path,
                                         const SHORTCUT_INFO& info) override;

  static constexpr std::string_view kShortcutMagic = "QVLNK";
  // What a shortcut that cannot be loaded gives (E_FAIL).
  static constexpr ErrorCode kShortcutLoadFailed = static_cast<std::int32_t>(0x80004005u);
  // The bytes of a shortcut file (for tests that add one to a file system directly).
  [[nodiscard]] static std::string ShortcutFileBytes(const SHORTCUT_INFO& info);

  // ---- Configuration ----
  void SetFolder(int csidl, std::wstring_view path);
  void RemoveFolder(int csidl);
  // With a file system, a request with kCsidlFlagCreate (or create = true) makes the folder and
  // its missing parents there.
  void SetFileSystem(IFileSystem* files);
  // Variable names compare without case; setting keeps the name's last spelling.
  void SetEnvironment(std::wstring_view name, std::wstring_view value);
  void RemoveEnvironment(std::wstring_view name);
  [[nodiscard]] std::optional<std::wstring> GetEnvironment(std::wstring_view name);
  void SetModuleFileName(std::wstring_view path);
  // The version resource of a file (paths compare without case).
  void SetFileVersion(std::wstring_view path, CFileVersion version);
  void SetSystemVersion(std::uint32_t major, std::uint32_t minor);

 private:
  [[nodiscard]] bool LookupFolder(int csidl, bool create, std::wstring* path);

  std::mutex m_lock;
  std::map<int, std::wstring> m_folders;
  IFileSystem* m_files = nullptr;
  std::map<std::u16string, std::pair<std::wstring, std::wstring>> m_environment;  // folded name
  std::wstring m_moduleFileName = L"C:\\Program Files\\Quarvelo\\Quarvelo.exe";
  std::map<std::u16string, CFileVersion> m_versions;  // folded path
  std::uint32_t m_major = 6;
  std::uint32_t m_minor = 1;
};

}  // namespace qv
