#include "base/work_control.h"

#include <chrono>

namespace qv {

void CWorkControl::Cancel() {
  std::lock_guard lock(m_lock);
  m_cancelled.store(true);
  m_paused.store(false);
  m_changed.notify_all();
}

void CWorkControl::Reset() {
  std::lock_guard lock(m_lock);
  m_cancelled.store(false);
  m_paused.store(false);
  m_changed.notify_all();
}

void CWorkControl::Pause() {
  std::lock_guard lock(m_lock);
  if (!m_cancelled.load()) m_paused.store(true);
  m_changed.notify_all();
}

void CWorkControl::Resume() {
  std::lock_guard lock(m_lock);
  m_paused.store(false);
  m_changed.notify_all();
}

bool CWorkControl::WaitWhilePaused() {
  std::unique_lock lock(m_lock);
  if (m_paused.load()) {
    m_parked.store(true);
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return !m_paused.load() || m_cancelled.load(); });
    m_parked.store(false);
    m_changed.notify_all();
  }
  return m_cancelled.load();
}

bool CWorkControl::WaitUntilParked(std::uint32_t milliseconds) {
  std::unique_lock lock(m_lock);
  m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] {
    return m_parked.load() || !m_paused.load() || m_cancelled.load();
  });
  return m_parked.load();
}

}  // namespace qv
