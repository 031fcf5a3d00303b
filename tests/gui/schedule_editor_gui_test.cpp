// Manage Schedule on the real Task Scheduler under Wine and Xvfb: the task is created, Wine has no
// schedule page of its own, so our schedule editor opens; a second thread of the test drives it
// by control id as a user would (New, the time, the interval, the kind, OK), and the trigger is
// then read back with the raw ITask and listed. Screenshots go to QV_SCREENSHOT_DIR.
#include "ui/win32/schedule_editor.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16.h"
#include "platform/win32/win32_scheduled_tasks.h"
#include "platform/win32/win32_shell.h"
#include "tests/support/win32/gui_driver.h"
#include "tests/support/win32/screenshot.h"
#include "tests/support/win32/task_scheduler.h"
#include "tools/schedule.h"

namespace qv {
namespace {

using test::gui::Shot;
using test::gui::WaitFor;

std::wstring ListLine(HWND dialog, int row) {
  HWND list = GetDlgItem(dialog, ui::kScheduleEditorList);
  wchar_t text[512] = {};
  if (SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) >= 511) return L"<long>";
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
  return text;
}

int ListCount(HWND dialog) {
  return static_cast<int>(SendMessageW(GetDlgItem(dialog, ui::kScheduleEditorList), LB_GETCOUNT,
                                       0, 0));
}

bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

// A user's choice in the combo box: the selection, then the notification it sends.
void ChooseKind(HWND dialog, int position) {
  HWND combo = GetDlgItem(dialog, ui::kScheduleEditorType);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(ui::kScheduleEditorType, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

// A new time in the picker, with the notification a user's change sends.
void SetTime(HWND dialog, WORD hour, WORD minute) {
  HWND picker = GetDlgItem(dialog, ui::kScheduleEditorTime);
  SYSTEMTIME time{};
  SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
  time.wHour = hour;
  time.wMinute = minute;
  SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
  NMDATETIMECHANGE change{};
  change.nmhdr = {picker, static_cast<UINT_PTR>(ui::kScheduleEditorTime), DTN_DATETIMECHANGE};
  change.dwFlags = GDT_VALID;
  change.st = time;
  SendMessageW(dialog, WM_NOTIFY, ui::kScheduleEditorTime, reinterpret_cast<LPARAM>(&change));
}

std::wstring TodayText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return std::to_wstring(now.wMonth) + L"/" + std::to_wstring(now.wDay) + L"/" +
         std::to_wstring(now.wYear);
}

// Runs Manage Schedule on a thread of its own, as the schedule page does, and waits for our
// editor to open.
class CManageRun {
 public:
  CManageRun(IScheduledTasks& tasks, const SCAN_TASK& task)
      : m_thread([this, &tasks, task] {
          result = ManageSchedule(tasks, task, [](IScheduledTasks& t, std::wstring_view name) {
            return ui::EditScheduleOwnPage(nullptr, t, name);
          });
        }) {}
  ~CManageRun() {
    if (m_thread.joinable()) m_thread.join();
  }
  HWND WaitForEditor() {
    HWND dialog = nullptr;
    WaitFor([&] {
      dialog = FindWindowW(L"#32770", ui::kScheduleEditorCaption.english.data());
      return dialog != nullptr && IsWindowVisible(dialog);
    }, 30);
    return dialog;
  }
  void Join() { m_thread.join(); }

  ErrorCode result = 0x7EADBEEF;

 private:
  std::thread m_thread;
};

TEST(ScheduleEditorGui, ManageScheduleAddsADailyTriggerOnOurPageWhereWineHasNone) {
  std::vector<std::string> diagnostics;
  CWin32ScheduledTasks tasks([&](std::string_view line) { diagnostics.emplace_back(line); });
  CWin32Shell shell;
  const SCAN_TASK task = ScanTaskForRunningProgram(shell);
  ASSERT_FALSE(tasks.TaskExists(task.name));

  {
    CManageRun run(tasks, task);
    HWND dialog = run.WaitForEditor();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(tasks.TaskExists(task.name));
    EXPECT_EQ(ListCount(dialog), 0);  // Wine's stand-in trigger is not offered
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, ui::kScheduleEditorDelete)));
    Shot(dialog, L"schedule_editor_empty");

    SendMessageW(GetDlgItem(dialog, ui::kScheduleEditorNew), BM_CLICK, 0, 0);
    ASSERT_EQ(ListCount(dialog), 1);
    EXPECT_EQ(ListLine(dialog, 0), L"At 9:00 every day, starting " + TodayText());
    SetTime(dialog, 7, 45);
    SetWindowTextW(GetDlgItem(dialog, ui::kScheduleEditorInterval), L"2");
    EXPECT_EQ(ListLine(dialog, 0), L"At 7:45 every 2 days, starting " + TodayText());
    EXPECT_TRUE(Visible(dialog, ui::kScheduleEditorInterval));
    EXPECT_FALSE(Visible(dialog, ui::kScheduleEditorFirstWeekDay));
    Shot(dialog, L"schedule_editor_daily");

    // Weekly shows the week days, the start date's ticked; back to daily keeps the interval.
    ChooseKind(dialog, 1);
    EXPECT_TRUE(Visible(dialog, ui::kScheduleEditorFirstWeekDay));
    EXPECT_EQ(ListLine(dialog, 0).rfind(L"At 7:45 every ", 0), 0u) << ToUtf8(ListLine(dialog, 0));
    EXPECT_NE(ListLine(dialog, 0).find(L" of every 2 weeks, starting "), std::wstring::npos);
    Shot(dialog, L"schedule_editor_weekly");
    ChooseKind(dialog, 0);
    EXPECT_FALSE(Visible(dialog, ui::kScheduleEditorFirstWeekDay));

    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    run.Join();
    EXPECT_EQ(run.result, kErrorSuccess);
  }
  EXPECT_EQ(diagnostics,
            std::vector<std::string>{"Failed calling ITask::QueryInterface: error = 0x80004002\n"});

  const test::RAW_TASK raw = test::ReadRawTask(task.name.c_str());
  const std::vector<TASK_TRIGGER> enabled = test::EnabledTriggers(raw);
  ASSERT_EQ(enabled.size(), 1u);
  SYSTEMTIME today{};
  GetLocalTime(&today);
  EXPECT_EQ(enabled[0].TriggerType, TASK_TIME_TRIGGER_DAILY);
  EXPECT_EQ(enabled[0].Type.Daily.DaysInterval, 2);
  EXPECT_EQ(enabled[0].wStartHour, 7);
  EXPECT_EQ(enabled[0].wStartMinute, 45);
  EXPECT_EQ(enabled[0].wBeginYear, today.wYear);
  EXPECT_EQ(enabled[0].wBeginMonth, today.wMonth);
  EXPECT_EQ(enabled[0].wBeginDay, today.wDay);
  EXPECT_EQ(ScheduleLines(tasks, task.name),
            std::vector<std::wstring>{L"At 7:45 every 2 days, starting " + TodayText()});

  // Again: the task is kept, its trigger listed; deleted on the page and saved, the schedule is
  // inactive.
  {
    CManageRun run(tasks, task);
    HWND dialog = run.WaitForEditor();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(ListCount(dialog), 1);
    EXPECT_EQ(ListLine(dialog, 0), L"At 7:45 every 2 days, starting " + TodayText());
    SendMessageW(GetDlgItem(dialog, ui::kScheduleEditorDelete), BM_CLICK, 0, 0);
    EXPECT_EQ(ListCount(dialog), 0);
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    run.Join();
    EXPECT_EQ(run.result, kErrorSuccess);
  }
  EXPECT_TRUE(test::EnabledTriggers(test::ReadRawTask(task.name.c_str())).empty());
  EXPECT_EQ(ScheduleLines(tasks, task.name),
            std::vector<std::wstring>{L"System scan schedule is not active"});
  EXPECT_EQ(tasks.DeleteTask(task.name), kErrorSuccess);
}

}  // namespace
}  // namespace qv
