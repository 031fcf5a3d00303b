// QuarveloCli.exe schedule on the real Task Scheduler of the throwaway prefix: the task made for
// Quarvelo.exe beside the console with a daily trigger, listed, kept when made again, deleted.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/utf16.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/task_scheduler.h"

namespace qv::test {
namespace {

std::string TodayText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return std::to_string(now.wMonth) + "/" + std::to_string(now.wDay) + "/" +
         std::to_string(now.wYear);
}

TEST(CliSchedule, CreateWithADailyTriggerShowDelete) {
  CHILD_RESULT run = RunCli(L"schedule show --json");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out, "{\n  \"task\": false,\n  \"triggers\": []\n}\n");
  run = RunCli(L"schedule show");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out,
            "Scheduled to run at:\r\n  System scan schedule is not active\r\n"
            "(there is no task Quarvelo in the Task Scheduler)\r\n");

  // Usage errors change nothing.
  for (const wchar_t* bad : {L"schedule", L"schedule create --daily 24:00",
                             L"schedule create --daily 9:5", L"schedule create --daily x"}) {
    run = RunCli(bad);
    EXPECT_EQ(run.exitCode, 2u) << ToUtf8(bad);
  }
  EXPECT_EQ(ReadRawTask(L"Quarvelo").activated, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  run = RunCli(L"schedule create --daily 9:05");
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  std::wstring launcher = CliPath();
  launcher = launcher.substr(0, launcher.rfind(L'\\')) + L"\\Quarvelo.exe";
  const std::string line = "At 9:05 every day, starting " + TodayText();
  EXPECT_EQ(run.out, "Created the scheduled task Quarvelo: \"" + ToUtf8(launcher) +
                         "\" -t\r\nAdded the trigger: " + line + "\r\n");
  const RAW_TASK raw = ReadRawTask(L"Quarvelo");
  ASSERT_EQ(raw.activated, S_OK);
  EXPECT_EQ(raw.application, launcher);
  EXPECT_EQ(raw.parameters, L"-t");
  EXPECT_EQ(raw.workingDirectory, launcher.substr(0, launcher.rfind(L'\\')));
  ASSERT_EQ(EnabledTriggers(raw).size(), 1u);

  run = RunCli(L"schedule show --json");
  EXPECT_EQ(run.out, "{\n  \"task\": true,\n  \"triggers\": [\n    \"" + line + "\"\n  ]\n}\n");
  run = RunCli(L"schedule create --daily 21:30");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out.rfind("The scheduled task Quarvelo exists already", 0), 0u) << run.out;
  run = RunCli(L"schedule show");
  EXPECT_EQ(run.out, "Scheduled to run at:\r\n  At 21:30 every day, starting " + TodayText() +
                         "\r\n  " + line + "\r\n");

  run = RunCli(L"schedule delete");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(ReadRawTask(L"Quarvelo").activated, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  run = RunCli(L"schedule delete");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.err, "QuarveloCli: the scheduled task Quarvelo does not exist\r\n");
}

}  // namespace
}  // namespace qv::test
