// The activity log as the engine sees it: one call appends one entry. state/activity_log.h holds
// the file-backed log; tests use recording doubles.
#pragma once

#include <string_view>

namespace qv {

class IActivityLog {
 public:
  virtual ~IActivityLog() = default;
  // Appends one entry; true when it was written.
  virtual bool WriteLog(std::wstring_view message) = 0;
};

}  // namespace qv
