// System Restore in memory: answers what the test sets and remembers what it was asked.
#pragma once

#include <string>
#include <string_view>

#include "platform/system_restore.h"

namespace qv {

class CMemorySystemRestore final : public ISystemRestore {
 public:
  void SetResult(RESTORE_POINT_RESULT result) { m_result = result; }
  [[nodiscard]] RESTORE_POINT_RESULT CreateRestorePoint(std::wstring_view description) override {
    ++m_calls;
    m_description = description;
    return m_result;
  }
  [[nodiscard]] int Calls() const { return m_calls; }
  [[nodiscard]] const std::wstring& Description() const { return m_description; }

 private:
  RESTORE_POINT_RESULT m_result = RESTORE_POINT_RESULT::kCreated;
  int m_calls = 0;
  std::wstring m_description;
};

}  // namespace qv
