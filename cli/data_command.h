// QuarveloCli.exe's "data" command: what the program keeps on the machine between runs, prepared
// by the installer and removed by the uninstaller when the user asks for it (app/product_data.h).
//
//   QuarveloCli.exe data prepare    make the product data folder
//   QuarveloCli.exe data remove     remove the backups, logs, ignore list and settings
#pragma once

#include <CLI/CLI.hpp>

#include "cli/console_output.h"

namespace qv {

class CDataCommand {
 public:
  // Adds "data" with its two subcommands to the program's command line.
  explicit CDataCommand(CLI::App& app);
  // The command line keeps the addresses of the members: neither copied nor moved.
  CDataCommand(const CDataCommand&) = delete;
  CDataCommand& operator=(const CDataCommand&) = delete;

  // Whether the parsed command line chose it.
  [[nodiscard]] bool Parsed() const { return m_command->parsed(); }
  // Runs the chosen subcommand: 0 done, 1 something could not be made or removed.
  [[nodiscard]] int Run(const CStdStream& out, const CStdStream& err) const;

 private:
  CLI::App* m_command;
  CLI::App* m_prepare;
  CLI::App* m_remove;
};

}  // namespace qv
