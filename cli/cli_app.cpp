#include "cli/cli_app.h"

#include <windows.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <exception>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/win32/system_application.h"
#include "base/utf16.h"
#include "cli/console_output.h"
#include "cli/report.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {
namespace {

constexpr char kProgramName[] = "QuarveloCli.exe";
constexpr char kProgramDescription[] =
    "Quarvelo console: scans the Windows registry for entries that point at things that no "
    "longer exist.";
constexpr char kScanDescription[] =
    "Scan the registry and report the problems found, grouped by category with their risk";
constexpr char kScanDetails[] =
    "The scan runs without the main window's display pauses. The safe list and the ignore list\n"
    "apply. It is recorded as a scan from the main window is: in the activity log, and under\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo as lastScan, the found count of each category\n"
    "(E + category name), its repaired count (F + category name) reset to 0, and itscanned\n"
    "(entries examined).\n"
    "It needs administrator rights (run it from an elevated prompt): without them the checks\n"
    "could open none of the machine's keys, so it stops before scanning, recording nothing,\n"
    "with exit code 2.\n\n";

// The categories with their risk and the exit codes, under every help text.
std::string HelpFooter() {
  std::string footer = "Categories (index, name, risk):\n";
  for (int i = 0; i < kCategoryCount; ++i) {
    std::string line = "  " + std::string(i < 10 ? " " : "") + std::to_string(i) + "  " +
                       ToUtf8(CategoryDisplayName(i));
    line.resize(std::max<std::size_t>(line.size() + 1, 36), ' ');
    footer += line + ToUtf8(CategoryRiskLabel(i)) + "\n";
  }
  footer +=
      "\nExit codes:\n"
      "  0  the scan completed and found no problems\n"
      "  1  the scan completed and found problems\n"
      "  2  usage error, run error, no administrator rights, or the scan was stopped (Ctrl+C)\n"
      "\nOutput: the text report goes to standard output (UTF-8 when redirected). --json writes\n"
      "UTF-8 JSON: {\"completed\", \"itemsScanned\", \"categories\": [{\"index\", \"name\",\n"
      "\"risk\", \"found\", \"checked\"}], \"problems\": [{\"category\", \"key\", \"name\",\n"
      "\"data\"}]}, problems in the order found. A progress line goes to standard error when it\n"
      "is a terminal, unless --quiet.\n";
  return footer;
}

// The engine the console handler cancels while a scan runs (the handler runs on a thread of its
// own; the engine lives until the application goes, after the handler has been removed).
std::atomic<CRegistryCleaner*> g_runningEngine{nullptr};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  CRegistryCleaner* engine = g_runningEngine.load();
  if (engine == nullptr) return FALSE;
  engine->SetCancel(1);
  return TRUE;
}

// Keeps a progress line on standard error up to date and removes it at the end.
class CProgressLine {
 public:
  explicit CProgressLine(const CStdStream& stream) : m_stream(stream) {}
  ~CProgressLine() { Clear(); }
  CProgressLine(const CProgressLine&) = delete;
  CProgressLine& operator=(const CProgressLine&) = delete;

  void Show(int category, std::uint64_t items) {
    std::wstring line = L"Scanning ";
    line += IsValidCategory(category) ? std::wstring(CategoryDisplayName(category)) : L"...";
    line += L": " + std::to_wstring(items) + L" items examined";
    const std::size_t length = line.size();
    if (line.size() < m_length) line.append(m_length - line.size(), L' ');
    m_length = length;
    static_cast<void>(m_stream.WriteText(L"\r" + line));
  }
  void Clear() {
    if (m_length == 0) return;
    static_cast<void>(m_stream.WriteText(L"\r" + std::wstring(m_length, L' ') + L"\r"));
    m_length = 0;
  }

 private:
  const CStdStream& m_stream;
  std::size_t m_length = 0;
};

struct SCAN_ARGUMENTS {
  std::vector<int> categories;
  std::string json;  // UTF-8 path, "-" for standard output, empty for none
  bool quiet = false;
};

int RunScan(const SCAN_ARGUMENTS& arguments, const CStdStream& out, const CStdStream& err) {
  CSystemApplication app;
  const CPlatform& platform = app.Platform();
  // An ordinary user's scan would see none of the machine's keys and report a clean machine.
  if (ProbeScanAccess(platform.registry) == kErrorAccessDenied) {
    static_cast<void>(err.WriteText(kScanNeedsAdministratorMessage));
    return kExitError;
  }
  app.LoadCategoryTable();
  app.LoadExclusionLists();

  CATEGORY_SELECTION selection{};
  if (arguments.categories.empty()) {
    selection = EnabledSelection(app.Categories());
  } else {
    for (int index : arguments.categories) selection[static_cast<std::size_t>(index)] = true;
  }
  if (!app.NewScan(selection)) {
    static_cast<void>(err.WriteText(
        L"QuarveloCli: no category to scan: the product key enables none; name them with "
        L"--category N\n"));
    return kExitError;
  }

  CProgressLine progressLine(err);
  ScanProgress progress;
  if (!arguments.quiet && err.IsTerminal()) {
    progress = [&progressLine](int category, std::uint64_t items) {
      progressLine.Show(category, items);
    };
  }

  // Ctrl+C cancels this scan's engine (made above, kept until the application goes).
  g_runningEngine.store(app.Engine());
  const bool handlerSet = SetConsoleCtrlHandler(&OnConsoleControl, TRUE) != 0;
  const SCAN_RESULT result = RunScan(*app.Engine(), selection, progress);
  if (handlerSet) SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  g_runningEngine.store(nullptr);
  progressLine.Clear();

  const ErrorCode recorded = app.RecordScan(result);
  if (recorded != kErrorSuccess) {
    static_cast<void>(err.WriteText(L"QuarveloCli: warning: the scan could not be recorded under " +
                                    ProductKeyPath(kProductName) + L" (error " +
                                    std::to_wstring(recorded) + L")\n"));
  }

  int status = kExitNoProblems;
  if (!arguments.json.empty()) {
    const std::string json = FormatJsonReport(result);
    if (arguments.json == "-") {
      if (!out.WriteUtf8(json)) status = kExitError;
    } else {
      const DWORD error = WriteUtf8File(FromUtf8(arguments.json), json);
      if (error != ERROR_SUCCESS) {
        static_cast<void>(err.WriteText(L"QuarveloCli: cannot write the JSON report to " +
                                        FromUtf8(arguments.json) + L" (error " +
                                        std::to_wstring(error) + L")\n"));
        status = kExitError;
      }
    }
  }
  if (!arguments.quiet && arguments.json != "-") {
    if (!out.WriteText(FormatTextReport(result))) status = kExitError;
  }
  if (status == kExitError) return kExitError;
  if (!result.completed) {
    static_cast<void>(err.WriteText(L"QuarveloCli: the scan was stopped before it completed\n"));
    return kExitError;
  }
  return result.problems.empty() ? kExitNoProblems : kExitProblemsFound;
}

int RunCliChecked(const std::vector<std::wstring>& args) {
  const CStdStream out(STD_OUTPUT_HANDLE);
  const CStdStream err(STD_ERROR_HANDLE);

  CLI::App app(kProgramDescription, kProgramName);
  app.require_subcommand(1, 1);
  app.footer(HelpFooter());
  SCAN_ARGUMENTS arguments;
  CLI::App* scan = app.add_subcommand("scan", kScanDescription);
  scan->footer(kScanDetails + HelpFooter());
  scan->add_option("-c,--category", arguments.categories,
                   "Scan this category (index 0-10, see below); repeat for several. Default: "
                   "the categories enabled in the product key")
      ->type_name("N")
      ->check(CLI::Range(0, kCategoryCount - 1));
  scan->add_option("--json", arguments.json,
                   "Also write the report as UTF-8 JSON to FILE, or instead of the text report "
                   "to standard output with -")
      ->type_name("FILE|-");
  scan->add_flag("-q,--quiet", arguments.quiet,
                 "No progress line and no text report (the exit code and --json still tell)");

  std::vector<std::string> utf8;
  utf8.reserve(args.size());
  for (const std::wstring& arg : args) utf8.push_back(ToUtf8(arg));
  if (utf8.empty()) utf8.emplace_back(kProgramName);
  std::vector<const char*> argv;
  for (const std::string& arg : utf8) argv.push_back(arg.c_str());

  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    std::ostringstream helpText;
    std::ostringstream errorText;
    const int code = app.exit(e, helpText, errorText);
    static_cast<void>(out.WriteText(FromUtf8(helpText.str())));
    static_cast<void>(err.WriteText(FromUtf8(errorText.str())));
    return code == 0 ? kExitNoProblems : kExitError;
  }
  if (arguments.json.empty() && scan->count("--json") != 0) {
    static_cast<void>(err.WriteText(L"QuarveloCli: --json needs a file name or -\n"));
    return kExitError;
  }
  return RunScan(arguments, out, err);
}

}  // namespace

int RunCli(const std::vector<std::wstring>& args) {
  try {
    return RunCliChecked(args);
  } catch (const std::exception& e) {
    const CStdStream err(STD_ERROR_HANDLE);
    static_cast<void>(err.WriteText(L"QuarveloCli: error: " + FromUtf8(e.what()) + L"\n"));
  } catch (...) {
    const CStdStream err(STD_ERROR_HANDLE);
    static_cast<void>(err.WriteText(L"QuarveloCli: error: unexpected failure\n"));
  }
  return kExitError;
}

}  // namespace qv
