#include "cli/report.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "base/utf16.h"

namespace qv {

std::wstring_view CategoryRiskLabel(int category) {
  return SeverityLabel(CategorySeverity(CategoryDisplayName(category)));
}

std::wstring FormatTextReport(const SCAN_RESULT& result) {
  std::wstring text;
  int scannedCount = 0;
  for (REGPROBLEM_TYPE category : kCategoryRunOrder) {
    const auto index = static_cast<std::size_t>(category);
    if (!result.scanned[index]) continue;
    ++scannedCount;
    const std::int32_t found = result.found[index];
    text += CategoryDisplayName(category);
    text += L" (risk: ";
    text += CategoryRiskLabel(category);
    text += L"): ";
    if (!result.checked[index]) {
      text += L"not checked (no check for this category in this version)";
    } else if (found == 0) {
      text += L"no problems";
    } else {
      text += std::to_wstring(found) + (found == 1 ? L" problem" : L" problems");
    }
    text += L'\n';
    int number = 0;
    for (const REPORTED_PROBLEM& problem : result.problems) {
      if (problem.category != static_cast<int>(category)) continue;
      const std::wstring counter = L"  " + std::to_wstring(++number) + L". ";
      const std::wstring indent(counter.size(), L' ');
      text += counter + L"key:  " + problem.key + L'\n';
      text += indent + L"name: " + problem.name + L'\n';
      text += indent + L"data: " + problem.data + L'\n';
    }
  }
  if (scannedCount > 0) text += L'\n';
  if (!result.completed) text += L"Scan stopped before it completed.\n";
  text += L"Problems found:     " + std::to_wstring(result.problems.size()) + L'\n';
  text += L"Categories scanned: " + std::to_wstring(scannedCount) + L" of " +
          std::to_wstring(kCategoryCount) + L'\n';
  text += L"Items examined:     " + std::to_wstring(result.itemsScanned) + L'\n';
  return text;
}

std::string FormatJsonReport(const SCAN_RESULT& result) {
  using Json = nlohmann::ordered_json;
  Json report = Json::object();
  report["completed"] = result.completed;
  report["itemsScanned"] = result.itemsScanned;
  Json categories = Json::array();
  for (REGPROBLEM_TYPE category : kCategoryRunOrder) {
    const auto index = static_cast<std::size_t>(category);
    if (!result.scanned[index]) continue;
    categories.push_back(Json{{"index", static_cast<int>(category)},
                              {"name", ToUtf8(CategoryDisplayName(category))},
                              {"risk", ToUtf8(CategoryRiskLabel(category))},
                              {"found", result.found[index]},
                              {"checked", static_cast<bool>(result.checked[index])}});
  }
  report["categories"] = std::move(categories);
  Json problems = Json::array();
  for (const REPORTED_PROBLEM& problem : result.problems) {
    problems.push_back(Json{{"category", problem.category},
                            {"key", ToUtf8(problem.key)},
                            {"name", ToUtf8(problem.name)},
                            {"data", ToUtf8(problem.data)}});
  }
  report["problems"] = std::move(problems);
  // ToUtf8 already writes lone surrogates as U+FFFD; replace guards anything else.
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace qv
