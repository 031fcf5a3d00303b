#include "state/activity_log.h"

#include <memory>

#include "state/data_folder.h"
#include "state/state_texts.h"
#include "state/text_file.h"
#include "state/time_format.h"
#include "state/trusted_files.h"

namespace qv {
namespace {

bool IsWideSpace(wchar_t c) {
  switch (c) {
    case 0x0009: case 0x000A: case 0x000B: case 0x000C: case 0x000D: case 0x0020:
    case 0x0085: case 0x00A0: case 0x1680: case 0x2028: case 0x2029: case 0x202F:
    case 0x205F: case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

// Log objects of one process may name the same file (two runs started within one second), so
// the writes of all of them are serialised, not only those of one object.
std::mutex& ProcessWriteMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

std::wstring_view TrimLogMessage(std::wstring_view message) {
  while (!message.empty() && IsWideSpace(message.front())) message.remove_prefix(1);
  while (!message.empty() && IsWideSpace(message.back())) message.remove_suffix(1);
  return message;
}

CActivityLog::CActivityLog(IShell& shell, IFileSystem& files, IClock& clock)
    : m_shell(shell), m_files(files), m_clock(clock) {}

CActivityLog::CActivityLog(const CPlatform& platform)
    : CActivityLog(platform.shell, platform.files, platform.clock) {}

const std::wstring& CActivityLog::PathLocked() {
  if (m_path.empty()) {
    const std::wstring folder = ProductDataFolder(m_shell, m_files, kLogSubfolder, &m_folderError);
    const std::tm now = m_clock.ToLocalTime(m_clock.Now());
    m_path = folder + kLogFilePrefix + FormatTime(kLogFileTimeFormat, now) + kLogFileExtension;
  }
  return m_path;
}

std::wstring CActivityLog::LogFilePath() {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return PathLocked();
}

ErrorCode CActivityLog::WriteLog(std::wstring_view message) {
  const std::lock_guard<std::mutex> lock(m_mutex);
  const std::lock_guard<std::mutex> processLock(ProcessWriteMutex());
  const std::wstring& path = PathLocked();
  if (m_folderError != kErrorSuccess) return m_folderError;

  std::unique_ptr<IFile> file;
  ErrorCode rc = kErrorSharingViolation;
  bool folderRemade = false;
  bool created = false;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    rc = OpenTrustedFile(m_files, path, FileOpenMode::kAppendExisting, FileShareMode::kDenyWrite,
                         &file);
    if (rc == kErrorFileNotFound && !created) {
      // The run's first line: the file is made where nobody can have prepared it (another
      // process of the same second may just have made it: then it is opened as found).
      created = true;
      rc = CreateFileInPlace(m_files, path, &file);
      if (rc == kErrorSuccess) break;
      if (rc == kErrorAlreadyExists) {
        --attempt;
        continue;
      }
    }
    if (rc == kErrorPathNotFound && !folderRemade) {
      // The log folder went away during the run: make it again once and retry at once.
      folderRemade = true;
      static_cast<void>(ProductDataFolder(m_shell, m_files, kLogSubfolder, &m_folderError));
      if (m_folderError != kErrorSuccess) return m_folderError;
      created = false;
      --attempt;
      continue;
    }
    if (rc != kErrorSharingViolation) break;
    m_clock.Sleep(kRetryDelayMs);  // another process is writing its line
  }
  if (rc != kErrorSuccess) return rc;
  auto writer = std::make_unique<CTextWriter>(m_files, std::move(file));

  const std::wstring_view trimmed = TrimLogMessage(message);
  std::wstring line;
  if (!trimmed.empty()) {
    line = FormatTime(kLogLineTimeFormat, m_clock.ToLocalTime(m_clock.Now()));
    line += trimmed;
  }
  line += L'\n';
  const ErrorCode written = writer->Write(line);
  const ErrorCode closed = writer->Close();
  return written != kErrorSuccess ? written : closed;
}

}  // namespace qv
