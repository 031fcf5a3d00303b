// QuarveloCli.exe schedule: the scheduled scan's task in the Task Scheduler, as the schedule page
// shows and makes it.
//
//   QuarveloCli.exe schedule show [--json]    the task's triggers, as the page lists them
//   QuarveloCli.exe schedule create [--daily HH:MM]
//                                              the task for Quarvelo.exe beside this program
//   QuarveloCli.exe schedule delete [--if-exists]
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/console_output.h"

namespace qv {

class CScheduleCommand {
 public:
  // Adds the schedule command and its three subcommands to the program's parser.
  explicit CScheduleCommand(CLI::App& app);
  CScheduleCommand(const CScheduleCommand&) = delete;
  CScheduleCommand& operator=(const CScheduleCommand&) = delete;

  [[nodiscard]] bool Parsed() const { return m_command->parsed(); }
  // Runs the subcommand given: 0 done, 1 the scheduler refused, kExitError on a usage error.
  [[nodiscard]] int Run(const CStdStream& out, const CStdStream& err) const;

 private:
  CLI::App* m_command;
  CLI::App* m_show;
  CLI::App* m_create;
  CLI::App* m_delete;
  bool m_json = false;
  bool m_ifExists = false;  // delete: no task is no failure
  std::string m_daily;  // "HH:MM", empty: no trigger
};

}  // namespace qv
