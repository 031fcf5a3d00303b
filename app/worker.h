// One thread model for every worker of the application: the scan, the repair, the full registry
// backup and the restore.
//
//   start   Start() runs the body on a new thread; the body obeys the work control it was started
//           with at its check points (CWorkControl::ShouldStop between items).
//   cancel  Cancel() stops it at its next check point.
//   pause   Pause() parks it at its next check point; Resume() lets it go on.
//   wait    Join() waits for the body to return while the calling thread keeps handling the
//           messages other threads send it (the worker's reports are such messages), then joins.
//   end     The destructor of a worker still running cancels it, answers the report the calling
//           thread may be handling for it, waits the same way and joins.
//
// A worker is never detached and never suspended: no thread outlives the object that started it,
// so none runs on inside a library that has been unloaded, and none is stopped while it holds a
// lock. Join and the destructor belong to any thread but the worker's own (from there they would
// wait for themselves: the process is ended with a message instead).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "base/work_control.h"
#include "platform/message_pump.h"

namespace qv {

class CWorker {
 public:
  // How long one wait of the pump lasts while the worker has not ended.
  static constexpr std::uint32_t kPumpSliceMs = 10;

  explicit CWorker(ISentMessagePump& pump) : m_pump(pump) {}
  ~CWorker();
  CWorker(const CWorker&) = delete;
  CWorker& operator=(const CWorker&) = delete;

  // Resets nothing of the control (the caller prepares it) and starts the body on a new thread.
  // False, with nothing started, when an earlier body has not been joined or the thread cannot
  // be created.
  [[nodiscard]] bool Start(CWorkControl& control, std::function<void()> body);

  void Cancel();
  void Pause();
  void Resume();

  // Started and not yet joined.
  [[nodiscard]] bool Running() const { return m_thread.joinable(); }
  // The body of the last Start has returned (Join then returns at once).
  [[nodiscard]] bool Finished() const { return m_finished.load(); }

  // Waits for the body while handling sent messages, then joins. Nothing to do when none runs.
  void Join();
  // Cancel, answer a report being handled on this thread, then Join.
  void Stop();

 private:
  ISentMessagePump& m_pump;
  CWorkControl* m_control = nullptr;
  std::atomic<bool> m_finished{false};
  std::thread m_thread;
};

}  // namespace qv
