// System Restore in memory: a small model of the system's behaviour that tests set up (on or off,
// the points it has, whether they can be listed, Windows 8's one point a day), judged as the real
// one is. It remembers what it was asked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memory/fake_clock.h"
#include "platform/system_restore.h"

namespace qv {

class CMemorySystemRestore final : public ISystemRestore {
 public:
  // False: no System Restore client, nothing is asked.
  void SetAvailable(bool available) { m_available = available; }
  // Not 0: every request is refused with this status (kRestoreStatusServiceDisabled: turned off).
  void SetStatus(std::uint32_t status) { m_status = status; }
  // Not 0: the end of the change is refused with this status.
  void SetEndStatus(std::uint32_t status) { m_endStatus = status; }
  // A point the system has, made at `time` (seconds since 1970 UTC).
  void AddPoint(std::int64_t sequenceNumber, std::int64_t time) {
    m_points.push_back({sequenceNumber, time});
  }
  // False: the points cannot be listed (as when the management service refuses).
  void SetListed(bool listed) { m_listed = listed; }
  // The system's time, for new points and for the span below.
  void SetNow(std::int64_t seconds) { m_now = seconds; }
  // No new point when the newest was made less than this many minutes ago (0: always a new one).
  void SetCreationFrequencyMinutes(std::int64_t minutes) { m_frequencyMinutes = minutes; }

  [[nodiscard]] RESTORE_POINT_OUTCOME CreateRestorePoint(std::wstring_view description) override {
    ++m_calls;
    m_description = description;
    RESTORE_POINT_OUTCOME outcome;
    if (!m_available) return outcome;
    if (m_status != kRestoreStatusSuccess) {
      outcome.result = RESTORE_POINT_RESULT::kFailed;
      outcome.status = m_status;
      return outcome;
    }
    std::optional<std::vector<LISTED_RESTORE_POINT>> before;
    if (m_listed) before = m_points;
    const LISTED_RESTORE_POINT* newest = nullptr;
    for (const LISTED_RESTORE_POINT& point : m_points) {
      if (newest == nullptr || point.sequenceNumber > newest->sequenceNumber) newest = &point;
    }
    std::int64_t number = 1;
    if (newest != nullptr && newest->time && m_now - *newest->time < m_frequencyMinutes * 60) {
      number = newest->sequenceNumber;
    } else {
      if (newest != nullptr) number = newest->sequenceNumber + 1;
      m_points.push_back({number, m_now});
    }
    outcome = JudgeAcceptedRequest(before, number);
    if (m_endStatus != kRestoreStatusSuccess) {
      outcome.ended = false;
      outcome.endStatus = m_endStatus;
    }
    return outcome;
  }

  [[nodiscard]] int Calls() const { return m_calls; }
  [[nodiscard]] const std::wstring& Description() const { return m_description; }
  [[nodiscard]] const std::vector<LISTED_RESTORE_POINT>& Points() const { return m_points; }

 private:
  bool m_available = true;
  std::uint32_t m_status = kRestoreStatusSuccess;
  std::uint32_t m_endStatus = kRestoreStatusSuccess;
  bool m_listed = true;
  std::int64_t m_now = CFakeClock::kDefaultNow;
  std::int64_t m_frequencyMinutes = 24 * 60;
  std::vector<LISTED_RESTORE_POINT> m_points;
  int m_calls = 0;
  std::wstring m_description;
};

}  // namespace qv
