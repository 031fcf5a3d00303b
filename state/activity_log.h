// The activity log: one 8-bit CR LF text file per run of the library in the log folder
// (<product data folder>\LOGS), named from the local time of the run's first log call:
//   LOGS_12_06_2026_18_31_14_PM.log
// Each call appends one line "12/06/2026 18:31:14 PM:<message>" (24-hour hour and the AM/PM
// marker both, no blank after the colon), the message trimmed on both sides; a message that is
// empty after trimming is written as an empty line without the time.
//
// The log folder is used only when it is trusted (ProductDataFolder), and a log file only when it
// is no link and belongs to an account the program trusts (state/trusted_files.h): otherwise
// nothing is written. A new log file is made by CreateFileInPlace, never opened at a name
// someone could have prepared.
//
// Threads: any thread may log. Calls are serialised inside the process, so lines written at the
// same moment are all kept, in the order the calls got in, and never interleave. The file is
// opened with other writers denied for the length of one line; when another process holds it,
// the call waits and tries again for up to about a second before giving up.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "state/log_interface.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace qv {

class CActivityLog final : public IActivityLog {
 public:
  CActivityLog(IShell& shell, IFileSystem& files, IClock& clock);
  explicit CActivityLog(const CPlatform& platform);

  // Appends one line. Returns 0 when the whole line reached the file, otherwise the error of
  // the log folder (not trusted, not there), of opening (after the retries; the trust errors
  // for a file that is not trusted), writing or closing it.
  ErrorCode WriteLog(std::wstring_view message) override;

  // The log file's path: formed (and the log folder created) on first use, then kept for the
  // life of this object, so one run writes one file.
  [[nodiscard]] std::wstring LogFilePath();

  // How often and how long (milliseconds, on the log's clock) a call waits for a file that
  // another process holds open.
  static constexpr int kOpenAttempts = 100;
  static constexpr std::uint32_t kRetryDelayMs = 10;

 private:
  const std::wstring& PathLocked();

  IShell& m_shell;
  IFileSystem& m_files;
  IClock& m_clock;
  std::mutex m_mutex;  // guards m_path and serialises the writes of this log
  std::wstring m_path;
  ErrorCode m_folderError = kErrorSuccess;  // of the log folder when the path was formed
};

// The message without leading and trailing white space (blanks, tabs, line ends, form feeds and
// the Unicode space characters).
[[nodiscard]] std::wstring_view TrimLogMessage(std::wstring_view message);

}  // namespace qv
