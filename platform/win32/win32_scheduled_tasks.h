// The Task Scheduler on the real system (mstask.dll's CLSID_CTaskScheduler). Each call sets up
// COM and the scheduler object for its own duration and releases every interface before it
// returns.
//
// Diagnostic lines go to the process's standard error (nothing when it has none), or to the
// writer given: creating a task writes kNewWorkItemFailed, kQueryPersistFileFailed or
// kSaveFailed, the schedule page kEditActivateFailed, kQueryTaskPageFailed, kGetPageFailed or
// kPropertySheetFailed, each with the failing call's HRESULT (the sheet: the system's last
// error).
//
// Under Wine the scheduler's own files are shared with its service, which reads a task file
// moments after it was written: a delete or save refused for a sharing violation is tried again
// for up to a second.
#pragma once

#include <functional>
#include <string_view>

#include "platform/scheduled_tasks.h"

namespace qv {

inline constexpr char kNewWorkItemFailed[] = "Failed calling NewWorkItem, error = 0x%x\n";
inline constexpr char kQueryPersistFileFailed[] = "Failed calling QueryInterface, error = 0x%x\n";
inline constexpr char kSaveFailed[] = "Failed calling Save, error = 0x%x\n";
inline constexpr char kEditActivateFailed[] = "Failed calling Editing, error = 0x%x\n";
inline constexpr char kQueryTaskPageFailed[] = "Failed calling ITask::QueryInterface: ";
inline constexpr char kGetPageFailed[] = "Failed calling IProvideTaskPage::GetPage: ";
inline constexpr char kErrorSuffix[] = "error = 0x%x\n";
inline constexpr char kPropertySheetFailed[] = "Failed to create the property page: ";
inline constexpr char kLastErrorSuffix[] = "0x%x\n";

class CWin32ScheduledTasks final : public IScheduledTasks {
 public:
  // Receives each diagnostic line whole, "\n" included.
  using DiagnosticWriter = std::function<void(std::string_view line)>;

  CWin32ScheduledTasks();
  explicit CWin32ScheduledTasks(DiagnosticWriter writer) : m_writer(std::move(writer)) {}

  [[nodiscard]] bool TaskExists(std::wstring_view name) override;
  [[nodiscard]] ErrorCode CreateTask(std::wstring_view name, const SCHEDULED_TASK& task) override;
  [[nodiscard]] ErrorCode DeleteTask(std::wstring_view name) override;
  [[nodiscard]] ErrorCode ReadApplication(std::wstring_view name,
                                          std::wstring* application) override;
  [[nodiscard]] ErrorCode ReadTriggers(std::wstring_view name,
                                       std::vector<SCHEDULE_TRIGGER_ENTRY>* entries) override;
  [[nodiscard]] ErrorCode AddTrigger(std::wstring_view name,
                                     const SCHEDULE_TRIGGER& trigger) override;
  [[nodiscard]] ErrorCode ReplaceTrigger(std::wstring_view name, std::size_t index,
                                         const SCHEDULE_TRIGGER& trigger) override;
  [[nodiscard]] ErrorCode DeleteTrigger(std::wstring_view name, std::size_t index) override;
  [[nodiscard]] ErrorCode EditOnSystemPage(std::wstring_view name) override;

 private:
  void Diagnose(const char* prefix, const char* format, unsigned long code) const;

  DiagnosticWriter m_writer;
};

}  // namespace qv
