#include "cli/report.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "base/text.h"
#include "base/utf16.h"
#include "repair/clean_sweep.h"
#include "state/trusted_files.h"

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
      if (problem.evidence.kind != EVIDENCE_NONE) {
        text += indent + L"evidence: " + EvidenceText(problem.evidence) + L'\n';
      }
    }
  }
  if (scannedCount > 0) text += L'\n';
  if (!result.passedOver.empty()) {
    text += L"Not judged (paths on drives that are not there now, or removable, CD or DVD, or "
            L"network drives):\n";
    for (const PASSED_OVER& entry : result.passedOver) {
      text += L"  " + entry.key + L'\\' + entry.name + L": " + EvidenceText(entry.evidence) + L'\n';
    }
    text += L'\n';
  }
  if (!result.completed) text += L"Scan stopped before it completed.\n";
  text += L"Problems found:     " + std::to_wstring(result.problems.size()) + L'\n';
  if (!result.passedOver.empty()) {
    text += L"Not judged:         " + std::to_wstring(result.passedOver.size()) + L'\n';
  }
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
  const auto evidenceJson = [](const PROBLEM_EVIDENCE& found) {
    if (found.kind == EVIDENCE_NONE) return Json(nullptr);
    Json evidence{{"kind", ToUtf8(EvidenceKindName(found.kind))}, {"tested", ToUtf8(found.tested)}};
    if (!found.folder.empty()) evidence["folder"] = ToUtf8(found.folder);
    evidence["text"] = ToUtf8(EvidenceText(found));
    return evidence;
  };
  for (const REPORTED_PROBLEM& problem : result.problems) {
    problems.push_back(Json{{"category", problem.category},
                            {"key", ToUtf8(problem.key)},
                            {"name", ToUtf8(problem.name)},
                            {"data", ToUtf8(problem.data)},
                            {"evidence", evidenceJson(problem.evidence)}});
  }
  report["problems"] = std::move(problems);
  Json passedOver = Json::array();
  for (const PASSED_OVER& entry : result.passedOver) {
    passedOver.push_back(Json{{"category", static_cast<int>(entry.type)},
                              {"key", ToUtf8(entry.key)},
                              {"name", ToUtf8(entry.name)},
                              {"data", ToUtf8(entry.data)},
                              {"evidence", evidenceJson(entry.evidence)}});
  }
  report["passedOver"] = std::move(passedOver);
  Json notices = Json::array();
  for (const std::wstring& notice : result.notices) notices.push_back(ToUtf8(notice));
  report["notices"] = std::move(notices);
  // ToUtf8 already writes lone surrogates as U+FFFD; replace guards anything else.
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

namespace {

using Json = nlohmann::ordered_json;

std::string DumpJson(const Json& json) {
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

Json PathOrNull(const std::wstring& path) { return path.empty() ? Json(nullptr) : Json(ToUtf8(path)); }

const char* RestorePointText(const REPAIR_OUTCOME& outcome) {
  if (!outcome.restorePointAsked) return "not asked";
  switch (outcome.restorePoint.result) {
    case RESTORE_POINT_RESULT::kCreated:
      return "created";
    case RESTORE_POINT_RESULT::kReused:
      return "reused";
    case RESTORE_POINT_RESULT::kFailed:
      return "failed";
    case RESTORE_POINT_RESULT::kUnavailable:
      break;
  }
  return "unavailable";
}

// The restore point's line of the text report, after its label.
std::wstring RestorePointLine(const REPAIR_OUTCOME& outcome) {
  std::wstring line = FromUtf8(RestorePointText(outcome));
  if (!outcome.restorePointAsked) return line;
  const RESTORE_POINT_OUTCOME& point = outcome.restorePoint;
  const std::wstring number = DecimalText(point.sequenceNumber);
  switch (point.result) {
    case RESTORE_POINT_RESULT::kCreated:
      line += L" (number " + number + L")";
      break;
    case RESTORE_POINT_RESULT::kReused:
      line += outcome.restorePointTime.empty()
                  ? L": no new one could be confirmed; Windows answered with number " + number +
                        L", which may be an earlier one"
                  : L": Windows made no new one and keeps number " + number + L" of " +
                        outcome.restorePointTime;
      break;
    case RESTORE_POINT_RESULT::kFailed:
      line += L": " + std::wstring(RestorePointStatusReason(point.status)) + L" (status " +
              DecimalText(point.status) + L")";
      break;
    case RESTORE_POINT_RESULT::kUnavailable:
      line += L": this Windows has no System Restore client";
      break;
  }
  return line;
}

Json ItemJson(const REPAIR_ITEM& item) {
  return Json{{"category", item.category},
              {"key", ToUtf8(item.key)},
              {"name", ToUtf8(item.name)},
              {"data", ToUtf8(item.data)}};
}

bool Failed(const REPAIR_ITEM& item) {
  return item.error != kErrorSuccess && item.error != kErrorFileNotFound;
}

// Each item's category and entry; with `reasons`, a failed one's error and reason; for what a
// repair uncovered, the entry whose repair did.
void AppendItems(std::wstring* text, const std::vector<REPAIR_ITEM>& items, bool reasons) {
  int number = 0;
  for (const REPAIR_ITEM& item : items) {
    const std::wstring counter = L"  " + std::to_wstring(++number) + L". ";
    const std::wstring indent(counter.size(), L' ');
    *text += counter + std::wstring(CategoryDisplayName(item.category)) + L": " +
             (item.name.empty() ? item.key : JoinPath(item.key, item.name)) + L'\n';
    if (!item.because.empty()) {
      *text += indent + L"left broken by the repair of " + item.because + L'\n';
    }
    if (reasons && Failed(item)) {
      *text += indent + L"error " + DecimalText(item.error) + L": " + RepairFailureReason(item.error);
      *text += item.blocked ? L" (kept off the next scans)\n" : L"\n";
    }
  }
}

// The repair's verdict: every selected entry gone, or how many are and how many are not.
std::wstring RepairVerdictText(const REPAIR_OUTCOME& outcome) {
  const REPAIR_TALLY tally = TallyRepair(outcome);
  std::wstring text;
  if (tally.notRepaired != 0) {
    text = std::to_wstring(tally.repaired) + L" of " + std::to_wstring(tally.selected) +
           L" selected registry error(s) are fixed; " + std::to_wstring(tally.notRepaired) +
           L" could not be fixed. Why is listed above under \"Not fixed\" and \"Still present\", "
           L"and in the activity log.\n";
  } else if (tally.selected == 0) {
    text = L"Nothing was selected: nothing was removed.\n";
  } else if (!tally.changedAnything) {
    text = L"Nothing was removed: the selected registry error(s) were gone already.\n";
  } else {
    text = L"All identified registry error(s) are fixed.\n";
  }
  if (outcome.uncoveredRoundLimit) {
    text += L"What the repair uncovered was followed for " + std::to_wstring(kMaxUncoveredRounds) +
            L" rounds; the next scan lists what is left.\n";
  }
  return text;
}

}  // namespace

std::wstring FormatRepairText(const REPAIR_OUTCOME& outcome) {
  std::wstring text;
  if (!outcome.completed) {
    text += L"The repair ended before it completed: " + outcome.abortMessage + L'\n';
  }
  text += L"Registry backup:  " +
          (outcome.registryBackupPath.empty() ? std::wstring(L"none (nothing of the registry removed)")
                                              : outcome.registryBackupPath) + L'\n';
  if (!outcome.shortcutListPath.empty()) {
    text += L"Shortcut backup:  " + outcome.shortcutListPath + L'\n';
  }
  text += L"Restore point:    " + RestorePointLine(outcome) + L'\n';
  if (outcome.registryBackupError != kErrorSuccess) {
    text += L"No registry backup file could be created (error " +
            DecimalText(outcome.registryBackupError) +
            L"): no registry entry was deleted.\n";
  }
  text += L"\nFixed: " + std::to_wstring(outcome.fixed.size()) + L'\n';
  AppendItems(&text, outcome.fixed, false);
  if (!outcome.chained.empty()) {
    text += L"\nLeft broken by those repairs, and repaired too: " +
            std::to_wstring(outcome.chained.size()) + L'\n';
    AppendItems(&text, outcome.chained, true);
  }
  if (!outcome.uncovered.empty()) {
    text += L"\nLeft broken by those repairs, for the next scan: " +
            std::to_wstring(outcome.uncovered.size()) + L'\n';
    AppendItems(&text, outcome.uncovered, false);
  }
  if (!outcome.failed.empty()) {
    text += L"\nNot fixed: " + std::to_wstring(outcome.failed.size()) + L'\n';
    AppendItems(&text, outcome.failed, true);
  }
  if (!outcome.stillPresent.empty()) {
    text += L"\nStill present after the repair: " + std::to_wstring(outcome.stillPresent.size()) +
            L'\n';
    AppendItems(&text, outcome.stillPresent, false);
  }
  if (outcome.skipped != 0) {
    text += L"\nLeft as they are (not selected): " + std::to_wstring(outcome.skipped) + L'\n';
  }
  if (outcome.completed) text += L'\n' + RepairVerdictText(outcome);
  return text;
}

std::string FormatRepairJson(const REPAIR_OUTCOME& outcome) {
  Json report = Json::object();
  report["completed"] = outcome.completed;
  report["backup"] = PathOrNull(outcome.registryBackupPath);
  report["shortcutList"] = PathOrNull(outcome.shortcutListPath);
  report["restorePoint"] = RestorePointText(outcome);
  if (outcome.restorePointAsked) {
    const RESTORE_POINT_OUTCOME& point = outcome.restorePoint;
    if (point.result == RESTORE_POINT_RESULT::kCreated ||
        point.result == RESTORE_POINT_RESULT::kReused) {
      report["restorePointNumber"] = point.sequenceNumber;
      if (!outcome.restorePointTime.empty()) {
        report["restorePointTime"] = ToUtf8(outcome.restorePointTime);
      }
    } else if (point.result == RESTORE_POINT_RESULT::kFailed) {
      report["restorePointStatus"] = point.status;
      report["restorePointReason"] = ToUtf8(RestorePointStatusReason(point.status));
    }
  }
  Json fixed = Json::array();
  for (const REPAIR_ITEM& item : outcome.fixed) fixed.push_back(ItemJson(item));
  report["fixed"] = std::move(fixed);
  Json failed = Json::array();
  for (const REPAIR_ITEM& item : outcome.failed) {
    Json entry = ItemJson(item);
    entry["error"] = item.error;
    entry["reason"] = ToUtf8(RepairFailureReason(item.error));
    entry["blocked"] = item.blocked;
    failed.push_back(std::move(entry));
  }
  report["failed"] = std::move(failed);
  Json still = Json::array();
  for (const REPAIR_ITEM& item : outcome.stillPresent) {
    Json entry = ItemJson(item);
    entry["blocked"] = item.blocked;
    still.push_back(std::move(entry));
  }
  report["stillPresent"] = std::move(still);
  const auto uncoveredJson = [](const REPAIR_ITEM& item, bool repaired) {
    Json entry = ItemJson(item);
    entry["because"] = ToUtf8(item.because);
    entry["round"] = item.round;
    if (repaired) {
      entry["error"] = item.error;
      if (Failed(item)) {
        entry["reason"] = ToUtf8(RepairFailureReason(item.error));
        entry["blocked"] = item.blocked;
      }
    }
    return entry;
  };
  Json chained = Json::array();
  for (const REPAIR_ITEM& item : outcome.chained) chained.push_back(uncoveredJson(item, true));
  report["chained"] = std::move(chained);
  Json uncovered = Json::array();
  for (const REPAIR_ITEM& item : outcome.uncovered) uncovered.push_back(uncoveredJson(item, false));
  report["uncovered"] = std::move(uncovered);
  report["uncoveredRoundLimit"] = outcome.uncoveredRoundLimit;
  report["skipped"] = outcome.skipped;
  const REPAIR_TALLY tally = TallyRepair(outcome);
  report["selected"] = tally.selected;
  report["repaired"] = tally.repaired;
  report["notRepaired"] = tally.notRepaired;
  report["changedAnything"] = tally.changedAnything;
  if (!outcome.completed) report["abortMessage"] = ToUtf8(outcome.abortMessage);
  return DumpJson(report);
}

std::wstring FormatBackupsText(const std::vector<BACKUP_ROW>& rows) {
  if (rows.empty()) return L"No backups.\n";
  std::wstring text;
  for (const BACKUP_ROW& row : rows) {
    text += row.name + L"  " + row.date + L"\n    " + row.file + L'\n';
    if (!row.notTrusted.empty()) text += L"    " + row.notTrusted + L'\n';
  }
  return text;
}

std::string FormatBackupsJson(const std::vector<BACKUP_ROW>& rows) {
  Json list = Json::array();
  for (const BACKUP_ROW& row : rows) {
    list.push_back(Json{{"name", ToUtf8(row.name)},
                        {"date", ToUtf8(row.date)},
                        {"file", ToUtf8(row.file)},
                        {"trusted", row.notTrusted.empty()},
                        {"reason", row.notTrusted.empty() ? Json(nullptr)
                                                          : Json(ToUtf8(row.notTrusted))}});
  }
  return DumpJson(Json{{"backups", std::move(list)}});
}

std::wstring FormatRestoreText(std::wstring_view name, const RESTORE_RESULT& result) {
  std::wstring text;
  if (result.registryTrust != kErrorSuccess) {
    return L"Not restored: " + result.untrusted + L" is not trusted (" +
           UntrustedReasonText(result.registryTrust) +
           L"). Nothing of the backup was merged or moved back.\n";
  }
  if (result.registryFileFound) {
    if (result.merge == kErrorSuccess && result.nothingToMerge) {
      text += L"Registry: nothing left to merge (an earlier restore merged it).\n";
    } else if (result.merge == kErrorSuccess) {
      text += L"Registry: merged and confirmed.\n";
    } else if (result.merge == kErrorCantWrite) {
      text += L"Registry: the merge is not confirmed: " + result.mismatch.key;
      if (result.mismatch.value) text += L" value \"" + result.mismatch.valueName + L"\"";
      text += L" is not as the backup leaves it. The backup file is kept.\n";
    } else {
      text += L"Registry: the registry editor failed (error " + DecimalText(result.merge) +
              L"). The backup file is kept.\n";
    }
  } else {
    text += L"Registry: the registry file of " + std::wstring(name) + L" (" +
            result.registryFile + L") is missing; nothing was merged.\n";
  }
  if (result.shortcutListFound) {
    if (result.shortcuts == kErrorReparsePointEncountered ||
        result.shortcuts == kErrorInvalidOwner) {
      text += L"Shortcuts: the list " + result.shortcutList + L" is not trusted (" +
              UntrustedReasonText(result.shortcuts) + L"); nothing was moved back.\n";
    } else if (result.shortcuts != kErrorSuccess) {
      text += L"Shortcuts: the list could not be read (error " + DecimalText(result.shortcuts) +
              L"); the shortcuts are in " + result.shortcutFolder + L".\n";
    } else {
      text += L"Shortcuts: " + std::to_wstring(result.moved.moved) + L" moved back";
      if (result.moved.alreadyBack != 0) {
        text += L", " + std::to_wstring(result.moved.alreadyBack) + L" back already";
      }
      if (result.moved.failed != 0) {
        text += L", " + std::to_wstring(result.moved.failed) +
                L" could not be moved back: they are in " + result.shortcutFolder;
      }
      if (result.moved.untrusted != 0) {
        text += L", " + std::to_wstring(result.moved.untrusted) +
                L" not trusted (a link, or another account's file) and left in " +
                result.shortcutFolder;
      }
      text += L".\n";
      // The lines a restore does not use, each with its reason (after an empty line).
      const std::wstring leftAlone = RestoreLeftAloneText(result);
      if (!leftAlone.empty()) text += leftAlone.substr(2) + L"\n";
    }
  }
  if (result.registryFileDeleted) {
    text += L"The backup is restored and no longer listed.\n";
  } else if (result.registryFileEmptied ||
             (result.registryFileFound && result.merge == kErrorSuccess &&
              (result.shortcuts != kErrorSuccess || result.moved.failed != 0 ||
               result.moved.untrusted != 0 || !result.moved.leftAlone.empty()))) {
    text += L"The backup stays listed until its shortcuts are back: restore it again once they "
            L"can go back.\n";
  } else if (result.registryFileFound && result.merge == kErrorSuccess) {
    text += L"The backup file " + result.registryFile + L" could not be deleted.\n";
  }
  return text;
}

}  // namespace qv
