// The scheduled scan: one Task Scheduler task, named after the application, that starts the
// launcher with "-t" (a scan at once). What the schedule page and the console show of it and do
// with it, over the scheduler seam.
//
// Where the system lacks a piece the schedule needs, a piece of our own stands in, used only when
// the system's fails: a trigger's description made from its fields when the system gives none
// (Wine's GetTriggerString is not implemented), and a schedule editor of our own when the system
// cannot show its schedule page (Wine's tasks have no IProvideTaskPage).
//
// Disabled triggers never start a scan and are no part of the schedule: they are neither listed
// nor edited (Wine saves a task that has no trigger with a disabled one in its place).
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "platform/scheduled_tasks.h"
#include "platform/shell.h"
#include "tools/tool_texts.h"

namespace qv {

inline constexpr wchar_t kScanTaskParameters[] = L"-t";
// The heading above the schedule list and its texts are in tool_texts.inc.
inline constexpr wchar_t kLauncherFileName[] = L"Quarvelo.exe";

// "Runs ", the application name, " at Scheduled Time.".
[[nodiscard]] std::wstring ScanTaskComment(std::wstring_view applicationName);

// The scan task and what it is created with.
struct SCAN_TASK {
  std::wstring name;  // the application name
  SCHEDULED_TASK settings;
};
// The task that starts `program` (a full path) with "-t" in the program's folder, named after the
// application, running only while its user is logged on.
[[nodiscard]] SCAN_TASK ScanTaskFor(std::wstring_view program);
// The task for the running program (GetModuleFileNameW(NULL)): in the library that is the
// launcher, Quarvelo.exe.
[[nodiscard]] SCAN_TASK ScanTaskForRunningProgram(IShell& shell);

// How our descriptions of triggers are worded: in the user's language or in English, dates as
// M/D/YYYY or as `date` writes them (the window: in the user's locale).
struct TRIGGER_WORDING {
  WORDING words = WORDING::kUser;
  std::wstring (*date)(unsigned year, unsigned month, unsigned day) = nullptr;
};

// Our own description of a trigger, in the wording of the system's scheduler; times as H:MM on the
// 24-hour clock, dates as M/D/YYYY (in English):
//   "At 9:00 every day, starting 12/8/2026"
//   "At 9:00 every 2 days, starting 12/8/2026"
//   "At 9:00 every Mon, Fri of every week, starting 12/8/2026"  (every 2 weeks: "of every 2 weeks")
//   "At 9:00 on day 1, 15 of every month, starting 12/8/2026"   (some months: "of Jan, Jul")
//   "At 9:00 on the last Sun of every month, starting 12/8/2026"
//   "At 9:00 on 12/8/2026"                                       (once)
//   "Run at system startup", "Run at user logon", "Run whenever idle"
// A repetition replaces "At 9:00" with "Every 10 minute(s) from 9:00 for 2 hour(s)"; an end date
// adds ", ending 1/31/2027".
[[nodiscard]] std::wstring DescribeTrigger(const SCHEDULE_TRIGGER& trigger,
                                           const TRIGGER_WORDING& wording = {});
// The system's description of the trigger when it gave one, otherwise ours.
[[nodiscard]] std::wstring TriggerDescription(const SCHEDULE_TRIGGER_ENTRY& entry,
                                              const TRIGGER_WORDING& wording = {});
[[nodiscard]] bool IsActiveTrigger(const SCHEDULE_TRIGGER& trigger);

// Sorts lines as a sorted list box orders them: without case, and spaces and punctuation before
// digits before letters ("At 1:00" before "At 10:00").
void SortAsListBox(std::vector<std::wstring>* lines);

// The descriptions of the task's active triggers, in the task's order: *lines is emptied first,
// and the result is true when there is at least one (false also when the task cannot be read).
bool GetTriggerStrings(IScheduledTasks& tasks, std::wstring_view taskName,
                       std::vector<std::wstring>* lines, const TRIGGER_WORDING& wording = {});
// What the schedule list shows: the descriptions sorted as the list box sorts them, or the single
// line kScheduleNotActiveLine.
[[nodiscard]] std::vector<std::wstring> ScheduleLines(IScheduledTasks& tasks,
                                                      std::wstring_view taskName,
                                                      const TRIGGER_WORDING& wording = {});

// Whose is the task of the scan's name. It is this program's when it starts the program the
// scan task names (the same path, without regard to case or to quotes and blanks around it). A
// task of that name that starts anything else belongs to whoever made it: it is never replaced,
// changed or deleted, and its triggers are not listed as the scan's schedule. A task whose
// program cannot be read counts as another's.
enum class SCAN_TASK_OWNER { kNoTask, kThisProgram, kOtherProgram };
struct SCAN_TASK_OWNERSHIP {
  SCAN_TASK_OWNER owner = SCAN_TASK_OWNER::kNoTask;
  std::wstring application;  // the program the task starts, as it holds it (empty: unreadable)
};
[[nodiscard]] SCAN_TASK_OWNERSHIP ScanTaskOwner(IScheduledTasks& tasks, const SCAN_TASK& task);

// What is said of a task of the scan's name that starts another program (kOtherProgramTaskLine):
// the task's name, then the program it starts (kUnreadableProgram when it cannot be read).
[[nodiscard]] std::wstring OtherProgramTaskLine(std::wstring_view taskName,
                                                const SCAN_TASK_OWNERSHIP& ownership,
                                                WORDING wording = WORDING::kUser);
// ManageSchedule's answer for such a task (ERROR_ALREADY_EXISTS as an HRESULT: the name is
// taken).
inline constexpr ErrorCode kScanTaskOfOtherProgram = HresultCode(0x800700B7u);

// What the schedule page lists for the scan task: ScheduleLines when the task is this program's
// or missing; the one line OtherProgramTaskLine when a task of that name starts another program.
[[nodiscard]] std::vector<std::wstring> ScanScheduleLines(IScheduledTasks& tasks,
                                                          const SCAN_TASK& task,
                                                          const TRIGGER_WORDING& wording = {});

// Creates the task without triggers.
[[nodiscard]] ErrorCode CreateScanTask(IScheduledTasks& tasks, const SCAN_TASK& task);

// The schedule editor of our own (the system's schedule page where it has none).
using OwnScheduleEditor =
    std::function<ErrorCode(IScheduledTasks& tasks, std::wstring_view taskName)>;
// "Manage Schedule": creates the task when it is missing, then lets the user edit its triggers on
// the system's schedule page; when the system cannot show that page but the task is there, on
// ours. Returns the editor's result, or the creation's failure (nothing is edited then), or
// kScanTaskOfOtherProgram, touching nothing, when a task of that name starts another program.
[[nodiscard]] ErrorCode ManageSchedule(IScheduledTasks& tasks, const SCAN_TASK& task,
                                       const OwnScheduleEditor& ownEditor);

// A trigger every day at the time given, from the local day given (tm_year since 1900, tm_mon
// 0-11, tm_mday).
[[nodiscard]] SCHEDULE_TRIGGER DailyTrigger(const std::tm& startDay, int hour, int minute);

// The triggers of a task while our schedule editor changes them: loaded once, changed in memory,
// written back on Save. Rows are the task's active triggers in the task's order, then the new
// ones.
class CScheduleEditModel {
 public:
  // Reads the task's triggers; fails (and keeps no rows) when the task cannot be read.
  [[nodiscard]] ErrorCode Load(IScheduledTasks& tasks, std::wstring_view taskName);

  [[nodiscard]] std::size_t Count() const { return m_rows.size(); }
  [[nodiscard]] const SCHEDULE_TRIGGER& Trigger(std::size_t row) const {
    return m_rows[row].trigger;
  }
  // The row's description: the system's while the trigger is as loaded, otherwise ours.
  [[nodiscard]] std::wstring Line(std::size_t row, const TRIGGER_WORDING& wording = {}) const;
  // Appends a row; returns its position.
  std::size_t Add(const SCHEDULE_TRIGGER& trigger);
  void Replace(std::size_t row, const SCHEDULE_TRIGGER& trigger);
  void Remove(std::size_t row);
  [[nodiscard]] bool Changed() const;

  // Writes the changes to the task: changed triggers in place, removed ones deleted (from the
  // last), new ones added. Stops at the first failure and returns it; the model then matches the
  // task no more and should be loaded again.
  [[nodiscard]] ErrorCode Save(IScheduledTasks& tasks, std::wstring_view taskName);

 private:
  struct ROW {
    std::optional<std::size_t> index;  // the trigger's index in the task; none: new
    SCHEDULE_TRIGGER trigger;
    SCHEDULE_TRIGGER_ENTRY loaded;  // as read (for a loaded row)
  };
  std::vector<ROW> m_rows;
  std::vector<std::size_t> m_removed;  // task indices of removed loaded rows
};

}  // namespace qv
