// QuarveloCli.exe's startup command: the programs that start with Windows, as the startup
// manager lists them, each switched off or on in the System Configuration Utility's format.
//
//   QuarveloCli.exe startup list [--json]
//   QuarveloCli.exe startup disable NAME [--location TEXT]
//   QuarveloCli.exe startup enable NAME [--location TEXT]
//
// Exit codes: 0 done (or the entry was already so), 1 the entry could not be switched,
// 2 usage error, or NAME (with --location) names no entry or more than one.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace qv {

class CStdStream;

class CStartupCommand {
 public:
  // Adds "startup" and its subcommands to the program's command line.
  explicit CStartupCommand(CLI::App& program);

  // Whether the command line named this command.
  [[nodiscard]] bool Parsed() const;
  // Runs the subcommand parsed on the real system; returns the exit code.
  [[nodiscard]] int Run(const CStdStream& out, const CStdStream& err) const;

 private:
  CLI::App* m_command = nullptr;
  CLI::App* m_list = nullptr;
  CLI::App* m_disable = nullptr;
  CLI::App* m_enable = nullptr;
  bool m_json = false;
  std::string m_name;      // UTF-8
  std::string m_location;  // UTF-8, empty: not given
};

}  // namespace qv
