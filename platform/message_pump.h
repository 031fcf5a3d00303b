// How a thread that waits for a worker keeps handling what other threads send it.
//
// A worker reports to its window with synchronous window messages (SendMessageW): the worker
// waits until the window's thread has handled each one. A window thread that waits for that
// worker to end must therefore go on handling sent messages while it waits, or both wait for
// each other for ever. Every wait for a worker goes through this interface.
#pragma once

#include <cstdint>

namespace qv {

class ISentMessagePump {
 public:
  virtual ~ISentMessagePump() = default;
  // Handles the messages other threads have sent to this thread's windows, waiting at most
  // `milliseconds` for one to arrive. Never dispatches posted messages (input, timers, paint):
  // nothing of the window changes under a caller that only waits.
  virtual void PumpSentMessages(std::uint32_t milliseconds) = 0;
  // When this thread is inside the handler of a message another thread sent it (the caller was
  // reached from a worker's report), answers that message now (ReplyMessage), so its sender goes
  // on while the handler continues; otherwise does nothing. A handler that waits for the worker
  // that sent its message needs this first.
  virtual void ReleaseSender() = 0;
};

}  // namespace qv
