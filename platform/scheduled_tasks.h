// The Task Scheduler (version 1: ITaskScheduler, ITask, ITaskTrigger) as the scan's schedule uses
// it: one named task that starts a program, its triggers as plain data, the system's own
// description of a trigger, and the system's own schedule page.
//
// Every operation stands alone: it sets up COM for its own duration, activates the task by name,
// and saves what it changed before it returns (IPersistFile::Save), so a failed call leaves the
// task as it was on disk. Results are HRESULTs (0 on success) as the scheduler gives them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"

namespace qv {

// An HRESULT as an ErrorCode (the same bits on every build).
[[nodiscard]] constexpr ErrorCode HresultCode(std::uint32_t hresult) {
  return static_cast<ErrorCode>(static_cast<std::int32_t>(hresult));
}

// Results the system gives that callers tell apart.
inline constexpr ErrorCode kTaskNotFound = HresultCode(0x80070002u);  // no task of that name
inline constexpr ErrorCode kTaskExists = HresultCode(0x80070050u);    // NewWorkItem: name taken
inline constexpr ErrorCode kTriggerNotFound = HresultCode(0x80041309u);  // SCHED_E_TRIGGER_NOT_FOUND
inline constexpr ErrorCode kNotImplemented = HresultCode(0x80004001u);   // E_NOTIMPL
inline constexpr ErrorCode kNoInterface = HresultCode(0x80004002u);      // E_NOINTERFACE
inline constexpr ErrorCode kInvalidArgument = HresultCode(0x80070057u);  // E_INVALIDARG

// TASK_FLAG_RUN_ONLY_IF_LOGGED_ON: the task runs only while its user is logged on.
inline constexpr std::uint32_t kTaskFlagRunOnlyIfLoggedOn = 0x2000;

// TASK_TRIGGER_TYPE, with the system's values.
enum class SCHEDULE_TRIGGER_TYPE : std::uint16_t {
  kOnce = 0,               // TASK_TIME_TRIGGER_ONCE
  kDaily = 1,              // TASK_TIME_TRIGGER_DAILY
  kWeekly = 2,             // TASK_TIME_TRIGGER_WEEKLY
  kMonthlyDate = 3,        // TASK_TIME_TRIGGER_MONTHLYDATE
  kMonthlyDayOfWeek = 4,   // TASK_TIME_TRIGGER_MONTHLYDOW
  kOnIdle = 5,             // TASK_EVENT_TRIGGER_ON_IDLE
  kAtSystemStart = 6,      // TASK_EVENT_TRIGGER_AT_SYSTEMSTART
  kAtLogon = 7,            // TASK_EVENT_TRIGGER_AT_LOGON
};

// TASK_TRIGGER's flags.
inline constexpr std::uint32_t kTriggerFlagHasEndDate = 0x1;
inline constexpr std::uint32_t kTriggerFlagKillAtDurationEnd = 0x2;
inline constexpr std::uint32_t kTriggerFlagDisabled = 0x4;

// Week days (TASK_SUNDAY 0x1 ... TASK_SATURDAY 0x40), bit n = tm_wday n.
inline constexpr std::uint16_t kSunday = 0x01;
inline constexpr std::uint16_t kMonday = 0x02;
inline constexpr std::uint16_t kTuesday = 0x04;
inline constexpr std::uint16_t kWednesday = 0x08;
inline constexpr std::uint16_t kThursday = 0x10;
inline constexpr std::uint16_t kFriday = 0x20;
inline constexpr std::uint16_t kSaturday = 0x40;
// Months (TASK_JANUARY 0x1 ... TASK_DECEMBER 0x800).
inline constexpr std::uint16_t kEveryMonth = 0x0FFF;
// The week of a month (TASK_FIRST_WEEK 1 ... TASK_FOURTH_WEEK 4, TASK_LAST_WEEK 5).
inline constexpr std::uint16_t kLastWeek = 5;

// One trigger: the fields of TASK_TRIGGER, its type-dependent union spelled out. Dates are
// calendar dates (month 1-12, day 1-31), times local (hour 0-23).
struct SCHEDULE_TRIGGER {
  SCHEDULE_TRIGGER_TYPE type = SCHEDULE_TRIGGER_TYPE::kDaily;
  std::uint16_t beginYear = 0;
  std::uint16_t beginMonth = 0;
  std::uint16_t beginDay = 0;
  std::uint16_t endYear = 0;  // with kTriggerFlagHasEndDate
  std::uint16_t endMonth = 0;
  std::uint16_t endDay = 0;
  std::uint16_t startHour = 0;
  std::uint16_t startMinute = 0;
  std::uint32_t minutesDuration = 0;  // how long the repetition lasts
  std::uint32_t minutesInterval = 0;  // repeat every so many minutes within it (0: once)
  std::uint32_t flags = 0;
  std::uint16_t daysInterval = 1;   // kDaily: every n days
  std::uint16_t weeksInterval = 1;  // kWeekly: every n weeks
  std::uint16_t daysOfTheWeek = 0;  // kWeekly, kMonthlyDayOfWeek: kSunday...kSaturday
  std::uint32_t daysOfTheMonth = 0; // kMonthlyDate: bit n-1 = day n
  std::uint16_t whichWeek = 0;      // kMonthlyDayOfWeek: 1-4, kLastWeek
  std::uint16_t months = 0;         // kMonthlyDate, kMonthlyDayOfWeek: bit n-1 = month n
  std::uint16_t randomMinutesInterval = 0;

  friend bool operator==(const SCHEDULE_TRIGGER&, const SCHEDULE_TRIGGER&) = default;
};

// A trigger of a task, as the scheduler holds it.
struct SCHEDULE_TRIGGER_ENTRY {
  SCHEDULE_TRIGGER trigger;
  // The system's own description (ITaskTrigger::GetTriggerString), or why there is none
  // (kNotImplemented under Wine).
  ErrorCode descriptionResult = kErrorSuccess;
  std::wstring systemDescription;
};

// What a new task is made with. The account is always the calling user, with no password.
struct SCHEDULED_TASK {
  std::wstring application;       // full path of the program started
  std::wstring parameters;
  std::wstring workingDirectory;
  std::wstring comment;
  std::uint32_t flags = 0;        // TASK_FLAG_*
};

class IScheduledTasks {
 public:
  virtual ~IScheduledTasks() = default;

  // True when the task can be activated (ITaskScheduler::Activate). False also when COM or the
  // scheduler cannot be had.
  [[nodiscard]] virtual bool TaskExists(std::wstring_view name) = 0;
  // A new task (NewWorkItem) with the settings given and no trigger, the account set to the
  // calling user's name (GetUserNameW) without a password, saved under its name. kTaskExists,
  // and nothing changed, when the name is taken.
  [[nodiscard]] virtual ErrorCode CreateTask(std::wstring_view name,
                                             const SCHEDULED_TASK& task) = 0;
  // Deletes the task. kTaskNotFound when there is none.
  [[nodiscard]] virtual ErrorCode DeleteTask(std::wstring_view name) = 0;
  // The program the task starts, as the task holds it (ITask::GetApplicationName). kTaskNotFound
  // when there is no task of that name; *application is left alone on failure.
  [[nodiscard]] virtual ErrorCode ReadApplication(std::wstring_view name,
                                                  std::wstring* application) = 0;

  // Every trigger of the task in the scheduler's order (index 0 first); *entries is replaced on
  // success and left alone on failure.
  [[nodiscard]] virtual ErrorCode ReadTriggers(std::wstring_view name,
                                               std::vector<SCHEDULE_TRIGGER_ENTRY>* entries) = 0;
  // Appends a trigger (CreateTrigger, SetTrigger) and saves the task.
  [[nodiscard]] virtual ErrorCode AddTrigger(std::wstring_view name,
                                             const SCHEDULE_TRIGGER& trigger) = 0;
  // Replaces trigger `index` (GetTrigger, SetTrigger) and saves. kTriggerNotFound past the end.
  [[nodiscard]] virtual ErrorCode ReplaceTrigger(std::wstring_view name, std::size_t index,
                                                 const SCHEDULE_TRIGGER& trigger) = 0;
  // Removes trigger `index` (the later ones move down one) and saves.
  [[nodiscard]] virtual ErrorCode DeleteTrigger(std::wstring_view name, std::size_t index) = 0;

  // Shows the system's schedule page of the task (IProvideTaskPage::GetPage(TASKPAGE_SCHEDULE,
  // changes saved by the page)) alone in a modal property sheet without Apply button, caption or
  // owner, and returns when it has closed: 0 whether or not the user changed anything. Fails
  // with the activation's result when there is no such task, and with the system's result when
  // it has no such page (kNoInterface under Wine) or the sheet cannot be shown.
  [[nodiscard]] virtual ErrorCode EditOnSystemPage(std::wstring_view name) = 0;
};

}  // namespace qv
