// The scan task on the real Task Scheduler of the throwaway prefix: created, read back with the raw
// interfaces, given a trigger, listed with its description, and the diagnostic lines of failures.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/win32/win32_scheduled_tasks.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/wine_detect.h"
#include "tests/support/win32/task_scheduler.h"
#include "tools/schedule.h"

namespace qv {
namespace {

std::wstring TodayText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return std::to_wstring(now.wMonth) + L"/" + std::to_wstring(now.wDay) + L"/" +
         std::to_wstring(now.wYear);
}

std::tm Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  std::tm day{};
  day.tm_year = now.wYear - 1900;
  day.tm_mon = now.wMonth - 1;
  day.tm_mday = now.wDay;
  return day;
}

TEST(ScheduledTask, CreatedForTheRunningProgramGivenADailyTriggerAndListed) {
  std::vector<std::string> diagnostics;
  CWin32ScheduledTasks tasks([&](std::string_view line) { diagnostics.emplace_back(line); });
  CWin32Shell shell;
  const SCAN_TASK scanTask = ScanTaskForRunningProgram(shell);
  ASSERT_EQ(scanTask.name, L"Quarvelo");
  const std::vector<std::wstring> inactive = {L"System scan schedule is not active"};

  EXPECT_FALSE(tasks.TaskExists(L"Quarvelo"));
  EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo"), inactive);
  ASSERT_EQ(CreateScanTask(tasks, scanTask), kErrorSuccess);
  EXPECT_TRUE(tasks.TaskExists(L"Quarvelo"));

  test::RAW_TASK raw = test::ReadRawTask(L"Quarvelo");
  ASSERT_EQ(raw.activated, S_OK);
  const std::wstring program = shell.ModuleFileName();
  EXPECT_EQ(raw.application, program);
  EXPECT_EQ(raw.parameters, L"-t");
  EXPECT_EQ(raw.workingDirectory, program.substr(0, program.rfind(L'\\')));
  EXPECT_EQ(raw.comment, L"Runs Quarvelo at Scheduled Time.");
  EXPECT_EQ(raw.flags & TASK_FLAG_RUN_ONLY_IF_LOGGED_ON, DWORD{TASK_FLAG_RUN_ONLY_IF_LOGGED_ON});
  if (IsRunningOnWine()) {
    // Wine keeps the account only on the object that was given it, not in the task's file; and a
    // task saved without triggers is written with one disabled trigger in their place.
    EXPECT_EQ(raw.accountResult, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(raw.triggers.size(), 1u);
    EXPECT_NE(raw.triggers[0].rgFlags & TASK_TRIGGER_FLAG_DISABLED, 0u);
  } else {
    wchar_t user[1001] = {};
    DWORD chars = 1001;
    ASSERT_TRUE(GetUserNameW(user, &chars));
    EXPECT_EQ(raw.account, user);
  }
  EXPECT_TRUE(test::EnabledTriggers(raw).empty());
  EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo"), inactive);

  // A second creation leaves the task as it is (Wine's NewWorkItem alone would replace it).
  ASSERT_EQ(tasks.AddTrigger(L"Quarvelo", DailyTrigger(Today(), 9, 0)), kErrorSuccess);
  EXPECT_EQ(CreateScanTask(tasks, scanTask), kTaskExists);
  raw = test::ReadRawTask(L"Quarvelo");
  std::vector<TASK_TRIGGER> enabled = test::EnabledTriggers(raw);
  ASSERT_EQ(enabled.size(), 1u);
  EXPECT_EQ(enabled[0].TriggerType, TASK_TIME_TRIGGER_DAILY);
  EXPECT_EQ(enabled[0].Type.Daily.DaysInterval, 1);
  EXPECT_EQ(enabled[0].wStartHour, 9);
  EXPECT_EQ(enabled[0].wStartMinute, 0);

  // The system describes no trigger under Wine: the line is ours.
  std::vector<SCHEDULE_TRIGGER_ENTRY> entries;
  ASSERT_EQ(tasks.ReadTriggers(L"Quarvelo", &entries), kErrorSuccess);
  ASSERT_EQ(entries.size(), raw.triggers.size());
  const SCHEDULE_TRIGGER_ENTRY& added = entries.back();
  EXPECT_EQ(added.trigger, DailyTrigger(Today(), 9, 0));
  if (IsRunningOnWine()) {
    EXPECT_EQ(added.descriptionResult, kNotImplemented);
  }
  const std::wstring ours = L"At 9:00 every day, starting " + TodayText();
  EXPECT_EQ(DescribeTrigger(added.trigger), ours);
  EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo"),
            (std::vector<std::wstring>{TriggerDescription(added)}));
  if (IsRunningOnWine()) {
    EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo")[0], ours);
  }

  // Replaced in place, then removed; past the end nothing is found.
  const std::size_t last = entries.size() - 1;
  SCHEDULE_TRIGGER weekly = DailyTrigger(Today(), 18, 30);
  weekly.type = SCHEDULE_TRIGGER_TYPE::kWeekly;
  weekly.weeksInterval = 2;
  weekly.daysOfTheWeek = kMonday | kFriday;
  ASSERT_EQ(tasks.ReplaceTrigger(L"Quarvelo", last, weekly), kErrorSuccess);
  ASSERT_EQ(tasks.ReadTriggers(L"Quarvelo", &entries), kErrorSuccess);
  EXPECT_EQ(entries.back().trigger, weekly);
  EXPECT_EQ(tasks.ReplaceTrigger(L"Quarvelo", last + 1, weekly), kTriggerNotFound);
  EXPECT_EQ(tasks.DeleteTrigger(L"Quarvelo", last + 1), kTriggerNotFound);
  ASSERT_EQ(tasks.DeleteTrigger(L"Quarvelo", last), kErrorSuccess);
  EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo"), inactive);

  // Wine has no schedule page: the failure is said and handed back, nothing is shown.
  EXPECT_TRUE(diagnostics.empty());
  if (IsRunningOnWine()) {
    EXPECT_EQ(tasks.EditOnSystemPage(L"Quarvelo"), kNoInterface);
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0], "Failed calling ITask::QueryInterface: error = 0x80004002\n");
    // Wine's NewWorkItem refuses a name with a dot.
    diagnostics.clear();
    EXPECT_EQ(tasks.CreateTask(L"Bad.Name", scanTask.settings), kInvalidArgument);
    EXPECT_EQ(diagnostics,
              std::vector<std::string>{"Failed calling NewWorkItem, error = 0x80070057\n"});
  }

  ASSERT_EQ(tasks.DeleteTask(L"Quarvelo"), kErrorSuccess);
  EXPECT_FALSE(tasks.TaskExists(L"Quarvelo"));
  EXPECT_EQ(tasks.DeleteTask(L"Quarvelo"), kTaskNotFound);
  diagnostics.clear();
  EXPECT_EQ(tasks.EditOnSystemPage(L"Quarvelo"), kTaskNotFound);
  EXPECT_EQ(diagnostics, std::vector<std::string>{"Failed calling Editing, error = 0x80070002\n"});
  EXPECT_EQ(tasks.ReadTriggers(L"Quarvelo", &entries), kTaskNotFound);
  EXPECT_EQ(tasks.AddTrigger(L"Quarvelo", weekly), kTaskNotFound);
}

}  // namespace
}  // namespace qv
