// How a worker thread (a scan, a repair, a full backup or restore) is told to stop or to wait.
//
// The worker calls ShouldStop() between two items of its work (a registry key, a value, a file):
// that is the only place it pauses or stops, so it never stops holding a lock, inside the heap or
// half way through a registry or file operation. Another thread (the window's) may cancel it or
// pause it at any time; a paused worker parks at its next check point until it is resumed or
// cancelled. Cancelling releases a pause.
//
// The check point costs two relaxed atomic loads while nobody pauses, so a scan of a million
// values pays nothing for it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace qv {

class CWorkControl {
 public:
  CWorkControl() = default;
  CWorkControl(const CWorkControl&) = delete;
  CWorkControl& operator=(const CWorkControl&) = delete;

  // Stop as soon as possible (at the next check point); releases a pause.
  void Cancel();
  // Ready to run again: not cancelled, not paused.
  void Reset();
  // Park the worker at its next check point until Resume() or Cancel().
  void Pause();
  void Resume();

  [[nodiscard]] bool IsCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
  [[nodiscard]] bool IsPaused() const { return m_paused.load(std::memory_order_relaxed); }
  // True while the worker waits at a check point (it has seen the pause).
  [[nodiscard]] bool IsParked() const { return m_parked.load(); }

  // The worker's check point: waits while paused; then true when the work is to stop.
  [[nodiscard]] bool ShouldStop() {
    if (!m_paused.load(std::memory_order_relaxed)) return IsCancelled();
    return WaitWhilePaused();
  }

  // For the thread that paused: waits up to `milliseconds` for the worker to park (or to be
  // cancelled, or to be resumed). True when it has parked.
  [[nodiscard]] bool WaitUntilParked(std::uint32_t milliseconds);

 private:
  bool WaitWhilePaused();

  std::atomic<bool> m_cancelled{false};
  std::atomic<bool> m_paused{false};
  std::atomic<bool> m_parked{false};
  std::mutex m_lock;
  std::condition_variable m_changed;
};

}  // namespace qv
