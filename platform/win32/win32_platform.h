// The whole seam on the real system, in one object that hands out a CPlatform.
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"

namespace qv {

class CWin32Platform {
 public:
  CWin32Platform() = default;
  CWin32Platform(const CWin32Platform&) = delete;
  CWin32Platform& operator=(const CWin32Platform&) = delete;

  [[nodiscard]] CPlatform platform() { return CPlatform{m_registry, m_files, m_shell, m_clock}; }
  [[nodiscard]] CWin32Registry& registry() { return m_registry; }
  [[nodiscard]] CWin32FileSystem& files() { return m_files; }
  [[nodiscard]] CWin32Shell& shell() { return m_shell; }
  [[nodiscard]] CWin32Clock& clock() { return m_clock; }

 private:
  CWin32Registry m_registry;
  CWin32FileSystem m_files;
  CWin32Shell m_shell;
  CWin32Clock m_clock;
};

}  // namespace qv
