// The activity log as its writers see it: one call appends one entry. state/activity_log.h holds
// the file-backed log; tests use recording doubles.
#pragma once

#include <string_view>

#include "base/errors.h"

namespace qv {

class IActivityLog {
 public:
  virtual ~IActivityLog() = default;
  // Appends one entry. Returns 0 once the whole entry is in the log, otherwise the error that
  // kept it out (the entry is then lost; callers go on).
  virtual ErrorCode WriteLog(std::wstring_view message) = 0;
};

}  // namespace qv
