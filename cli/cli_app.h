// QuarveloCli.exe's command line: parsing (CLI11), the commands on the real system, their
// reports on the standard handles, and the exit code.
//
//   QuarveloCli.exe scan [--category N]... [--json FILE|-] [--quiet]
//   QuarveloCli.exe fix [--category N]... [--json FILE|-] [--no-restore-point] [--quiet]
//   QuarveloCli.exe backups [--json]
//   QuarveloCli.exe backups delete NAME  (cli/backups_command.h)
//   QuarveloCli.exe restore NAME
//   QuarveloCli.exe backup
//   QuarveloCli.exe startup list [--json] | disable NAME | enable NAME  (cli/startup_command.h)
//   QuarveloCli.exe ignore list [--json] | remove N  (cli/ignore_command.h)
//   QuarveloCli.exe schedule show [--json] | create [--daily HH:MM] | delete [--if-exists]
//                                                                  (cli/schedule_command.h)
//   QuarveloCli.exe data prepare | remove  (cli/data_command.h)
#pragma once

#include <string>
#include <vector>

namespace qv {

// Runs the program with its arguments (args[0] is the program) and returns the exit code
// (0, 1, or kExitError; see each command's help). Never throws.
[[nodiscard]] int RunCli(const std::vector<std::wstring>& args);

}  // namespace qv
