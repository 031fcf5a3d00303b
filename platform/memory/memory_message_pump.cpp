#include "platform/memory/memory_message_pump.h"

#include <chrono>
#include <thread>

namespace qv {

void CNoMessagePump::PumpSentMessages(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace qv
