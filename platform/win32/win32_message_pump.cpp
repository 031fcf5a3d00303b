#include "platform/win32/win32_message_pump.h"

#include <windows.h>

namespace qv {

void CWin32MessagePump::PumpSentMessages(std::uint32_t milliseconds) {
  // Sent messages are delivered inside PeekMessageW; PM_NOREMOVE leaves every posted one queued.
  MSG message;
  ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  ::MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_SENDMESSAGE, 0);
  ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void CWin32MessagePump::ReleaseSender() {
  if (::InSendMessage()) ::ReplyMessage(0);
}

}  // namespace qv
