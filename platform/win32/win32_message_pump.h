// The window thread's pump: MsgWaitForMultipleObjectsEx for sent messages only, then
// PeekMessageW with PM_QS_SENDMESSAGE, which runs the handlers of messages other threads sent
// without touching the posted ones; ReplyMessage to answer the sent message being handled.
#pragma once

#include "platform/message_pump.h"

namespace qv {

class CWin32MessagePump final : public ISentMessagePump {
 public:
  void PumpSentMessages(std::uint32_t milliseconds) override;
  void ReleaseSender() override;
};

}  // namespace qv
