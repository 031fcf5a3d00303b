// The message pump of a thread without windows (the native build, the console): nothing is ever
// sent to it, so a pump only waits.
#pragma once

#include "platform/message_pump.h"

namespace qv {

class CNoMessagePump final : public ISentMessagePump {
 public:
  void PumpSentMessages(std::uint32_t milliseconds) override;
  void ReleaseSender() override {}
};

}  // namespace qv
