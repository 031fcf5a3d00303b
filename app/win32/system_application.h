// The application on the real system: the Win32 platform, the window thread's message pump and
// System Restore, wired into CApplication. Both front ends make exactly one of these.
#pragma once

#include "app/application.h"
#include "platform/win32/win32_message_pump.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_system_restore.h"

namespace qv {

// Built before the application that uses it (a base class constructed first).
class CSystemBundle {
 protected:
  CWin32Platform m_system;
  CWin32MessagePump m_pump;
  CWin32SystemRestore m_restore;
};

class CSystemApplication final : private CSystemBundle, public CApplication {
 public:
  CSystemApplication() : CApplication(m_system.platform(), m_pump, &m_restore) {}

  [[nodiscard]] CWin32Platform& System() { return m_system; }
  [[nodiscard]] ISentMessagePump& Pump() { return m_pump; }
};

}  // namespace qv
