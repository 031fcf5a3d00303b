#include "platform/win32/win32_scheduled_tasks.h"

#include <windows.h>
// after windows.h: they need its declarations
#include <commctrl.h>
#include <mstask.h>
#include <prsht.h>

#include <cstdio>
#include <string>

#include "platform/win32/com_scope.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_handles.h"

namespace qv {
namespace {

constexpr HRESULT kSharingViolation = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
constexpr int kSharingAttempts = 10;
constexpr DWORD kSharingPauseMs = 100;
// GetUserNameW's longest name taken, in characters.
constexpr DWORD kUserNameChars = 1000;

void WriteToStandardError(std::string_view line) {
  HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// Frees a string the scheduler allocated (CoTaskMemFree).
struct CTaskMemTraits {
  using Handle = wchar_t*;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::CoTaskMemFree(h); }
};

// COM and the scheduler object for one call.
class CSchedulerCall {
 public:
  CSchedulerCall() {
    if (!m_com.Ready()) {
      m_error = m_com.Error();
      return;
    }
    m_error = ::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_ITaskScheduler, PutVoid(m_scheduler));
  }
  [[nodiscard]] bool Ready() const { return SUCCEEDED(m_error); }
  [[nodiscard]] ErrorCode Error() const { return static_cast<ErrorCode>(m_error); }
  [[nodiscard]] ITaskScheduler* Scheduler() const { return m_scheduler.get(); }

  [[nodiscard]] HRESULT Activate(std::wstring_view name, CComPtr<ITask>* task) const {
    if (!Ready()) return m_error;
    const std::wstring text(name);
    return m_scheduler.get()->Activate(text.c_str(), IID_ITask,
                                       reinterpret_cast<IUnknown**>(task->put()));
  }

 private:
  CComScope m_com;  // first made, last undone: every interface below is released before it
  HRESULT m_error = E_FAIL;
  CComPtr<ITaskScheduler> m_scheduler;
};

// Saves the task under the file it was activated or created with.
HRESULT SaveTask(IPersistFile* file) {
  HRESULT hr = S_OK;
  for (int attempt = 1; attempt <= kSharingAttempts; ++attempt) {
    hr = file->Save(nullptr, TRUE);
    if (hr != kSharingViolation) break;
    ::Sleep(kSharingPauseMs);
  }
  return hr;
}

HRESULT SaveTask(ITask* task) {
  CComPtr<IPersistFile> file;
  const HRESULT hr = task->QueryInterface(IID_IPersistFile, PutVoid(file));
  if (FAILED(hr)) return hr;
  return SaveTask(file.get());
}

TASK_TRIGGER ToSystem(const SCHEDULE_TRIGGER& from) {
  TASK_TRIGGER to{};
  to.cbTriggerSize = sizeof(TASK_TRIGGER);
  to.wBeginYear = from.beginYear;
  to.wBeginMonth = from.beginMonth;
  to.wBeginDay = from.beginDay;
  to.wEndYear = from.endYear;
  to.wEndMonth = from.endMonth;
  to.wEndDay = from.endDay;
  to.wStartHour = from.startHour;
  to.wStartMinute = from.startMinute;
  to.MinutesDuration = from.minutesDuration;
  to.MinutesInterval = from.minutesInterval;
  to.rgFlags = from.flags;
  to.TriggerType = static_cast<TASK_TRIGGER_TYPE>(from.type);
  to.wRandomMinutesInterval = from.randomMinutesInterval;
  switch (from.type) {
    case SCHEDULE_TRIGGER_TYPE::kDaily:
      to.Type.Daily.DaysInterval = from.daysInterval;
      break;
    case SCHEDULE_TRIGGER_TYPE::kWeekly:
      to.Type.Weekly.WeeksInterval = from.weeksInterval;
      to.Type.Weekly.rgfDaysOfTheWeek = from.daysOfTheWeek;
      break;
    case SCHEDULE_TRIGGER_TYPE::kMonthlyDate:
      to.Type.MonthlyDate.rgfDays = from.daysOfTheMonth;
      to.Type.MonthlyDate.rgfMonths = from.months;
      break;
    case SCHEDULE_TRIGGER_TYPE::kMonthlyDayOfWeek:
      to.Type.MonthlyDOW.wWhichWeek = from.whichWeek;
      to.Type.MonthlyDOW.rgfDaysOfTheWeek = from.daysOfTheWeek;
      to.Type.MonthlyDOW.rgfMonths = from.months;
      break;
    default:
      break;
  }
  return to;
}

SCHEDULE_TRIGGER FromSystem(const TASK_TRIGGER& from) {
  SCHEDULE_TRIGGER to;
  to.type = static_cast<SCHEDULE_TRIGGER_TYPE>(from.TriggerType);
  to.beginYear = from.wBeginYear;
  to.beginMonth = from.wBeginMonth;
  to.beginDay = from.wBeginDay;
  to.endYear = from.wEndYear;
  to.endMonth = from.wEndMonth;
  to.endDay = from.wEndDay;
  to.startHour = from.wStartHour;
  to.startMinute = from.wStartMinute;
  to.minutesDuration = from.MinutesDuration;
  to.minutesInterval = from.MinutesInterval;
  to.flags = from.rgFlags;
  to.randomMinutesInterval = from.wRandomMinutesInterval;
  switch (to.type) {
    case SCHEDULE_TRIGGER_TYPE::kDaily:
      to.daysInterval = from.Type.Daily.DaysInterval;
      break;
    case SCHEDULE_TRIGGER_TYPE::kWeekly:
      to.weeksInterval = from.Type.Weekly.WeeksInterval;
      to.daysOfTheWeek = from.Type.Weekly.rgfDaysOfTheWeek;
      break;
    case SCHEDULE_TRIGGER_TYPE::kMonthlyDate:
      to.daysOfTheMonth = from.Type.MonthlyDate.rgfDays;
      to.months = from.Type.MonthlyDate.rgfMonths;
      break;
    case SCHEDULE_TRIGGER_TYPE::kMonthlyDayOfWeek:
      to.whichWeek = from.Type.MonthlyDOW.wWhichWeek;
      to.daysOfTheWeek = from.Type.MonthlyDOW.rgfDaysOfTheWeek;
      to.months = from.Type.MonthlyDOW.rgfMonths;
      break;
    default:
      break;
  }
  return to;
}

// The trigger at `index` of an activated task.
HRESULT GetTaskTrigger(ITask* task, std::size_t index, CComPtr<ITaskTrigger>* trigger) {
  WORD count = 0;
  HRESULT hr = task->GetTriggerCount(&count);
  if (FAILED(hr)) return hr;
  if (index >= count) return static_cast<HRESULT>(kTriggerNotFound);
  return task->GetTrigger(static_cast<WORD>(index), trigger->put());
}

}  // namespace

CWin32ScheduledTasks::CWin32ScheduledTasks() : m_writer(&WriteToStandardError) {}

void CWin32ScheduledTasks::Diagnose(const char* prefix, const char* format,
                                    unsigned long code) const {
  if (!m_writer) return;
  char buffer[64] = {};
  std::snprintf(buffer, sizeof(buffer), format, static_cast<unsigned>(code));
  m_writer(std::string(prefix) + buffer);
}

bool CWin32ScheduledTasks::TaskExists(std::wstring_view name) {
  CSchedulerCall call;
  CComPtr<ITask> task;
  return call.Ready() && SUCCEEDED(call.Activate(name, &task));
}

ErrorCode CWin32ScheduledTasks::CreateTask(std::wstring_view name, const SCHEDULED_TASK& settings) {
  CSchedulerCall call;
  if (!call.Ready()) return call.Error();
  CComPtr<ITask> task;
  // Windows refuses a name that is taken; Wine's NewWorkItem would hand out a fresh task that
  // the save then writes over the existing one, triggers and all.
  if (SUCCEEDED(call.Activate(name, &task))) return kTaskExists;
  const std::wstring taskName(name);
  HRESULT hr = call.Scheduler()->NewWorkItem(taskName.c_str(), CLSID_CTask, IID_ITask,
                                             reinterpret_cast<IUnknown**>(task.put()));
  if (FAILED(hr)) {
    Diagnose("", kNewWorkItemFailed, static_cast<unsigned long>(hr));
    return static_cast<ErrorCode>(hr);
  }
  wchar_t user[kUserNameChars + 1] = {};
  DWORD userChars = kUserNameChars + 1;
  if (!::GetUserNameW(user, &userChars)) user[0] = L'\0';

  const std::wstring application = settings.application;
  const std::wstring folder = settings.workingDirectory;
  const std::wstring comment = settings.comment;
  const std::wstring parameters = settings.parameters;
  ITask* t = task.get();
  hr = t->SetApplicationName(application.c_str());
  if (SUCCEEDED(hr)) hr = t->SetWorkingDirectory(folder.c_str());
  if (SUCCEEDED(hr)) hr = t->SetFlags(settings.flags);
  if (SUCCEEDED(hr)) hr = t->SetAccountInformation(user, nullptr);
  if (SUCCEEDED(hr)) hr = t->SetComment(comment.c_str());
  if (SUCCEEDED(hr)) hr = t->SetParameters(parameters.c_str());
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);

  CComPtr<IPersistFile> file;
  hr = t->QueryInterface(IID_IPersistFile, PutVoid(file));
  if (FAILED(hr)) {
    Diagnose("", kQueryPersistFileFailed, static_cast<unsigned long>(hr));
    return static_cast<ErrorCode>(hr);
  }
  hr = SaveTask(file.get());
  if (FAILED(hr)) {
    Diagnose("", kSaveFailed, static_cast<unsigned long>(hr));
    return static_cast<ErrorCode>(hr);
  }
  return kErrorSuccess;
}

ErrorCode CWin32ScheduledTasks::DeleteTask(std::wstring_view name) {
  CSchedulerCall call;
  if (!call.Ready()) return call.Error();
  const std::wstring taskName(name);
  HRESULT hr = S_OK;
  for (int attempt = 1; attempt <= kSharingAttempts; ++attempt) {
    hr = call.Scheduler()->Delete(taskName.c_str());
    if (hr != kSharingViolation) break;
    ::Sleep(kSharingPauseMs);
  }
  return static_cast<ErrorCode>(hr);
}

ErrorCode CWin32ScheduledTasks::ReadApplication(std::wstring_view name,
                                                std::wstring* application) {
  CSchedulerCall call;
  CComPtr<ITask> task;
  const HRESULT activated = call.Activate(name, &task);
  if (FAILED(activated)) return static_cast<ErrorCode>(activated);
  LPWSTR text = nullptr;
  const HRESULT hr = task.get()->GetApplicationName(&text);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  if (application != nullptr) *application = text != nullptr ? text : L"";
  ::CoTaskMemFree(text);
  return kErrorSuccess;
}

ErrorCode CWin32ScheduledTasks::ReadTriggers(std::wstring_view name,
                                             std::vector<SCHEDULE_TRIGGER_ENTRY>* entries) {
  CSchedulerCall call;
  CComPtr<ITask> task;
  HRESULT hr = call.Activate(name, &task);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  WORD count = 0;
  hr = task.get()->GetTriggerCount(&count);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  std::vector<SCHEDULE_TRIGGER_ENTRY> read;
  for (WORD index = 0; index < count; ++index) {
    CComPtr<ITaskTrigger> trigger;
    hr = task.get()->GetTrigger(index, trigger.put());
    if (FAILED(hr)) return static_cast<ErrorCode>(hr);
    TASK_TRIGGER data{};
    data.cbTriggerSize = sizeof(TASK_TRIGGER);
    hr = trigger.get()->GetTrigger(&data);
    if (FAILED(hr)) return static_cast<ErrorCode>(hr);
    SCHEDULE_TRIGGER_ENTRY entry;
    entry.trigger = FromSystem(data);
    CUniqueHandle<CTaskMemTraits> text;
    const HRESULT described = trigger.get()->GetTriggerString(text.put());
    entry.descriptionResult = static_cast<ErrorCode>(described);
    if (SUCCEEDED(described) && text) {
      entry.descriptionResult = kErrorSuccess;
      entry.systemDescription = text.get();
    } else if (SUCCEEDED(described)) {
      entry.descriptionResult = static_cast<ErrorCode>(E_POINTER);
    }
    read.push_back(std::move(entry));
  }
  if (entries != nullptr) *entries = std::move(read);
  return kErrorSuccess;
}

ErrorCode CWin32ScheduledTasks::AddTrigger(std::wstring_view name,
                                           const SCHEDULE_TRIGGER& trigger) {
  CSchedulerCall call;
  CComPtr<ITask> task;
  HRESULT hr = call.Activate(name, &task);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  WORD index = 0;
  CComPtr<ITaskTrigger> created;
  hr = task.get()->CreateTrigger(&index, created.put());
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  TASK_TRIGGER data = ToSystem(trigger);
  hr = created.get()->SetTrigger(&data);
  // Refused: the task is not saved, so the file keeps no half-made trigger.
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  return static_cast<ErrorCode>(SaveTask(task.get()));
}

ErrorCode CWin32ScheduledTasks::ReplaceTrigger(std::wstring_view name, std::size_t index,
                                               const SCHEDULE_TRIGGER& trigger) {
  CSchedulerCall call;
  CComPtr<ITask> task;
  HRESULT hr = call.Activate(name, &task);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  CComPtr<ITaskTrigger> existing;
  hr = GetTaskTrigger(task.get(), index, &existing);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  TASK_TRIGGER data = ToSystem(trigger);
  hr = existing.get()->SetTrigger(&data);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  return static_cast<ErrorCode>(SaveTask(task.get()));
}

ErrorCode CWin32ScheduledTasks::DeleteTrigger(std::wstring_view name, std::size_t index) {
  CSchedulerCall call;
  CComPtr<ITask> task;
  HRESULT hr = call.Activate(name, &task);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  WORD count = 0;
  hr = task.get()->GetTriggerCount(&count);
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  if (index >= count) return kTriggerNotFound;
  hr = task.get()->DeleteTrigger(static_cast<WORD>(index));
  if (FAILED(hr)) return static_cast<ErrorCode>(hr);
  return static_cast<ErrorCode>(SaveTask(task.get()));
}

ErrorCode CWin32ScheduledTasks::EditOnSystemPage(std::wstring_view name) {
  CSchedulerCall call;
  CComPtr<ITask> task;
  HRESULT hr = call.Activate(name, &task);
  if (FAILED(hr)) {
    Diagnose("", kEditActivateFailed, static_cast<unsigned long>(hr));
    return static_cast<ErrorCode>(hr);
  }
  CComPtr<IProvideTaskPage> provider;
  hr = task.get()->QueryInterface(IID_IProvideTaskPage, PutVoid(provider));
  if (FAILED(hr)) {
    Diagnose(kQueryTaskPageFailed, kErrorSuffix, static_cast<unsigned long>(hr));
    return static_cast<ErrorCode>(hr);
  }
  // The common controls are no known DLL: the sheet's function is looked up at run time (with
  // the caller's manifest active, the version it names), never imported.
  const auto propertySheet =
      SystemFunction<decltype(::PropertySheetW)>(kCommonControlsLibrary, "PropertySheetW");
  if (propertySheet == nullptr) {
    Diagnose(kPropertySheetFailed, kLastErrorSuffix, ERROR_PROC_NOT_FOUND);
    return ERROR_PROC_NOT_FOUND;
  }
  HPROPSHEETPAGE page = nullptr;
  hr = provider.get()->GetPage(TASKPAGE_SCHEDULE, TRUE, &page);
  if (FAILED(hr) || page == nullptr) {
    if (SUCCEEDED(hr)) hr = E_FAIL;
    Diagnose(kGetPageFailed, kErrorSuffix, static_cast<unsigned long>(hr));
    return static_cast<ErrorCode>(hr);
  }
  PROPSHEETHEADERW sheet{};
  sheet.dwSize = sizeof(sheet);
  sheet.dwFlags = PSH_DEFAULT | PSH_NOAPPLYNOW;
  sheet.hwndParent = nullptr;
  sheet.pszCaption = nullptr;
  sheet.nPages = 1;
  sheet.nStartPage = 0;
  sheet.phpage = &page;
  ::SetLastError(ERROR_SUCCESS);
  // The sheet owns the page from here: it destroys it when it closes.
  if (propertySheet(&sheet) < 0) {
    const DWORD error = ::GetLastError();
    Diagnose(kPropertySheetFailed, kLastErrorSuffix, error);
    return error != ERROR_SUCCESS ? static_cast<ErrorCode>(error) : static_cast<ErrorCode>(E_FAIL);
  }
  return kErrorSuccess;
}

}  // namespace qv
