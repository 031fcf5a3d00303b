// The application on the real system: the Win32 platform and the window thread's message pump,
// wired into CApplication. Both front ends make exactly one of these.
#pragma once

#include "app/application.h"
#include "platform/win32/win32_message_pump.h"
#include "platform/win32/win32_platform.h"

namespace qv {

// Built before the application that uses it (a base class constructed first).
class CSystemBundle {
 protected:
  CWin32Platform m_system;
  CWin32MessagePump m_pump;
};

class CSystemApplication final : private CSystemBundle, public CApplication {
 public:
  CSystemApplication() : CApplication(m_system.platform(), m_pump) {}

  [[nodiscard]] CWin32Platform& System() { return m_system; }
  [[nodiscard]] ISentMessagePump& Pump() { return m_pump; }
};

}  // namespace qv
