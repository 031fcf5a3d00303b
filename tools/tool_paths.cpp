#include "tools/tool_paths.h"

#include "base/text_case.h"

namespace qv {

std::wstring ExpandSystemRoot(IShell& shell, std::wstring_view pathTemplate) {
  std::wstring windowsFolder;
  if (shell.GetFolderPath(kCsidlWindows, &windowsFolder) != kErrorSuccess ||
      windowsFolder.empty()) {
    return {};
  }
  while (!windowsFolder.empty() && windowsFolder.back() == L'\\') windowsFolder.pop_back();
  std::wstring path(pathTemplate);
  for (std::size_t at = 0; at + kSystemRootToken.size() <= path.size();) {
    if (EqualsIgnoringAsciiCase(std::wstring_view(path).substr(at, kSystemRootToken.size()),
                                kSystemRootToken)) {
      path.replace(at, kSystemRootToken.size(), windowsFolder);
      at += windowsFolder.size();
    } else {
      ++at;
    }
  }
  return path;
}

namespace {

bool SystemIsVistaOrLater(IShell& shell) {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  shell.GetSystemVersion(&major, &minor);
  return IsVistaOrLater(major);
}

}  // namespace

std::wstring RestorePointsProgramPath(IShell& shell) {
  return ExpandSystemRoot(shell, SystemIsVistaOrLater(shell) ? kRestorePointsProgramVista
                                                             : kRestorePointsProgramEarlier);
}

std::wstring DefragmenterPath(IShell& shell) {
  return ExpandSystemRoot(shell, SystemIsVistaOrLater(shell) ? kDefragmenterVista
                                                             : kDefragmenterEarlier);
}

}  // namespace qv
