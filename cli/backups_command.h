// QuarveloCli.exe's "backups delete NAME": the backups page's "Delete" for one backup. The listing
// itself ("backups [--json]") stays with the other commands in cli_app.cpp.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/console_output.h"

namespace qv {

class CBackupsDeleteCommand {
 public:
  // Adds "delete NAME" below the "backups" command.
  explicit CBackupsDeleteCommand(CLI::App& backups);
  // The command line keeps the addresses of the members: neither copied nor moved.
  CBackupsDeleteCommand(const CBackupsDeleteCommand&) = delete;
  CBackupsDeleteCommand& operator=(const CBackupsDeleteCommand&) = delete;

  // Whether the parsed command line chose it.
  [[nodiscard]] bool Parsed() const;
  // Deletes the backup's files: 0 deleted, 1 no such backup or a file that could not be deleted,
  // kExitError for a text that cannot name a backup.
  [[nodiscard]] int Run(const CStdStream& out, const CStdStream& err) const;

 private:
  CLI::App* m_command;
  std::string m_name;  // UTF-8
};

}  // namespace qv
