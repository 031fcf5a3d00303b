// Shell services of the real system: SHGetFolderPathW, SHGetSpecialFolderPathW,
// ExpandEnvironmentStringsW, GetModuleFileNameW, the version resource and GetVersionExW.
#pragma once

#include "platform/shell.h"

namespace qv {

class CWin32Shell final : public IShell {
 public:
  // Returns SHGetFolderPathW's HRESULT when it fails.
  [[nodiscard]] ErrorCode GetFolderPath(int csidl, std::wstring* path) override;
  [[nodiscard]] ErrorCode GetSpecialFolderPath(int csidl, bool create,
                                         std::wstring* path) override;
  [[nodiscard]] std::uint32_t ExpandEnvironment(std::wstring_view text, std::uint32_t capacity,
                                                std::wstring* expanded) override;
  [[nodiscard]] std::wstring ModuleFileName() override;
  [[nodiscard]] ErrorCode GetFileVersion(std::wstring_view path, CFileVersion* version) override;
  void GetSystemVersion(std::uint32_t* major, std::uint32_t* minor) override;
  // IShellLinkW and IPersistFile on the calling thread, COM initialised for the call when the
  // thread has not done so. The link is loaded for reading and never resolved: the target is the
  // path stored in it (GetPath with SLGP_RAWPATH), nothing is searched, tracked or asked of the
  // network, and the file is never written.
  [[nodiscard]] ErrorCode ReadShortcut(std::wstring_view path, SHORTCUT_INFO* info) override;
  [[nodiscard]] ErrorCode CreateShortcut(std::wstring_view path,
                                         const SHORTCUT_INFO& info) override;
};

}  // namespace qv
