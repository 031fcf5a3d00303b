#include "cli/ignore_command.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/ignore_list.h"
#include "app/win32/system_application.h"
#include "base/text.h"
#include "base/utf16.h"
#include "cli/console_output.h"
#include "cli/report.h"

namespace qv {
namespace {

constexpr char kIgnoreDescription[] =
    "List the problems kept off the scans (ignored, or blocked by a repair) and take them off";
constexpr char kIgnoreDetails[] =
    "The list is the settings tab's ignore list: the entries of ignore.wls in the product data\n"
    "folder and of the blocked store under HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo\\blocked,\n"
    "newest first. Each entry is a problem's category and its identity, key\\name|data.\n"
    "Exit codes: 0 done, 1 the removal could not be stored, 2 usage error (a number not listed).\n";
constexpr char kListDescription[] = "List the entries, numbered from 1, newest first";
constexpr char kRemoveDescription[] =
    "Take the entry numbered N by \"ignore list\" off the list: the next scans report it again";

std::wstring RowText(std::size_t number, const IGNORE_ROW& row) {
  return std::to_wstring(number) + L"  " + std::wstring(CategoryShownName(row.category)) + L": " +
         row.identity + L"\n";
}

int RunList(const std::vector<IGNORE_ROW>& rows, bool json, const CStdStream& out) {
  if (json) {
    using Json = nlohmann::ordered_json;
    Json entries = Json::array();
    for (const IGNORE_ROW& row : rows) {
      entries.push_back(Json{{"category", row.category},
                             {"categoryName", ToUtf8(row.categoryName)},
                             {"identity", ToUtf8(row.identity)}});
    }
    const std::string text =
        Json{{"entries", std::move(entries)}}.dump(2, ' ', false, Json::error_handler_t::replace);
    return out.WriteUtf8(text + "\n") ? 0 : kExitError;
  }
  std::wstring text;
  if (rows.empty()) text = std::wstring(Tr(kIgnoreListEmpty)) + L"\n";
  for (std::size_t i = 0; i < rows.size(); ++i) text += RowText(i + 1, rows[i]);
  return out.WriteText(text) ? 0 : kExitError;
}

}  // namespace

CIgnoreCommand::CIgnoreCommand(CLI::App& app)
    : m_command(app.add_subcommand("ignore", kIgnoreDescription)),
      m_list(m_command->add_subcommand("list", kListDescription)),
      m_remove(m_command->add_subcommand("remove", kRemoveDescription)) {
  m_command->footer(kIgnoreDetails);
  m_command->require_subcommand(1, 1);
  m_list->add_flag("--json", m_json,
                   "UTF-8 JSON {\"entries\": [{\"category\" (index 0-10), \"categoryName\", "
                   "\"identity\"}]}, in the listed order (entry N is the N-th)");
  m_remove->add_option("N", m_number, "The entry's number as \"ignore list\" shows it (1 = first)")
      ->required()
      ->check(CLI::PositiveNumber);
}

bool CIgnoreCommand::Parsed() const { return m_command->parsed(); }

int CIgnoreCommand::Run(const CStdStream& out, const CStdStream& err) const {
  CSystemApplication app;
  WriteNotices(err, app.SecureDataFolders());
  app.LoadExclusionLists();
  CExclusionLists& lists = app.Exclusions();
  const std::vector<IGNORE_ROW> rows = IgnoreListRows(lists);
  if (m_list->parsed()) return RunList(rows, m_json, out);

  if (m_number < 1 || m_number > rows.size()) {
    static_cast<void>(err.WriteText(Message(TrFormat(
        kIgnoreNoEntry, {std::to_wstring(m_number), std::to_wstring(rows.size())}))));
    return kExitError;
  }
  const IGNORE_ROW& row = rows[m_number - 1];
  const IGNORE_REMOVAL removal = RemoveIgnoreRows(lists, {row});
  if (removal.removed == 0) {
    static_cast<void>(err.WriteText(Message(Tr(kIgnoreChanged))));
    return 1;
  }
  if (removal.error != kErrorSuccess) {
    static_cast<void>(
        err.WriteText(Message(TrFormat(kIgnoreNotStored, {DecimalText(removal.error)}))));
    return 1;
  }
  return out.WriteText(TrFormat(kIgnoreRemoved, {RowText(m_number, row)})) ? 0 : kExitError;
}

}  // namespace qv
