// QuarveloCli.exe's command line: parsing (CLI11), the scan command on the real system, its
// reports on the standard handles, and the exit code.
//
//   QuarveloCli.exe scan [--category N]... [--json FILE|-] [--quiet]
#pragma once

#include <string>
#include <vector>

namespace qv {

// Runs the program with its arguments (args[0] is the program) and returns the exit code
// (kExitNoProblems, kExitProblemsFound or kExitError). Never throws.
[[nodiscard]] int RunCli(const std::vector<std::wstring>& args);

}  // namespace qv
