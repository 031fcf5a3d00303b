// QuarveloCli.exe's "ignore" command: the ignore list page's rows and their removal.
//
//   QuarveloCli.exe ignore list [--json]
//   QuarveloCli.exe ignore remove N
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>

#include "cli/console_output.h"

namespace qv {

class CIgnoreCommand {
 public:
  // Adds "ignore" with its two subcommands to the program's command line.
  explicit CIgnoreCommand(CLI::App& app);
  // The command line keeps the addresses of the members: neither copied nor moved.
  CIgnoreCommand(const CIgnoreCommand&) = delete;
  CIgnoreCommand& operator=(const CIgnoreCommand&) = delete;

  // Whether the parsed command line chose it.
  [[nodiscard]] bool Parsed() const;
  // Runs the chosen subcommand: 0 done, 1 the removal could not be stored, kExitError for a
  // number that is not in the list.
  [[nodiscard]] int Run(const CStdStream& out, const CStdStream& err) const;

 private:
  CLI::App* m_command;
  CLI::App* m_list;
  CLI::App* m_remove;
  bool m_json = false;
  std::size_t m_number = 0;
};

}  // namespace qv
