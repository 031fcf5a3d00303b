#include "cli/report.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "base/text.h"
#include "base/utf16.h"
#include "repair/clean_sweep.h"
#include "repair/repair_texts.h"
#include "state/trusted_files.h"

namespace qv {

std::wstring_view CategoryRiskLabel(int category, WORDING wording) {
  return SeverityLabel(CategorySeverity(CategoryDisplayName(category)), wording);
}

std::wstring FormatTextReport(const SCAN_RESULT& result) {
  std::wstring text;
  int scannedCount = 0;
  for (REGPROBLEM_TYPE category : kCategoryRunOrder) {
    const auto index = static_cast<std::size_t>(category);
    if (!result.scanned[index]) continue;
    ++scannedCount;
    const std::int32_t found = result.found[index];
    std::wstring count;
    if (!result.checked[index]) {
      count = Tr(kReportNotChecked);
    } else if (found == 0) {
      count = Tr(kReportNoProblems);
    } else {
      count = TrFormat(found == 1 ? kReportOneProblem : kReportProblems, {DecimalText(found)});
    }
    text += TrFormat(kReportCategoryFormat,
                     {CategoryShownName(category), CategoryRiskLabel(category), count});
    text += L'\n';
    int number = 0;
    for (const REPORTED_PROBLEM& problem : result.problems) {
      if (problem.category != static_cast<int>(category)) continue;
      const std::wstring counter = L"  " + std::to_wstring(++number) + L". ";
      const std::wstring indent(counter.size(), L' ');
      text += counter + TrFormat(kReportKeyLine, {problem.key}) + L'\n';
      text += indent + TrFormat(kReportNameLine, {problem.name}) + L'\n';
      text += indent + TrFormat(kReportDataLine, {problem.data}) + L'\n';
      if (problem.evidence.kind != EVIDENCE_NONE) {
        text += indent + TrFormat(kReportEvidenceLine, {EvidenceText(problem.evidence)}) + L'\n';
      }
    }
  }
  if (scannedCount > 0) text += L'\n';
  if (!result.passedOver.empty()) {
    text += std::wstring(Tr(kReportNotJudgedHeading)) + L'\n';
    for (const PASSED_OVER& entry : result.passedOver) {
      text += L"  " + entry.key + L'\\' + entry.name + L": " + EvidenceText(entry.evidence) + L'\n';
    }
    text += L'\n';
  }
  if (!result.completed) text += std::wstring(Tr(kReportScanStopped)) + L'\n';
  text += TrFormat(kReportProblemsFound, {std::to_wstring(result.problems.size())}) + L'\n';
  if (!result.passedOver.empty()) {
    text += TrFormat(kReportNotJudgedCount, {std::to_wstring(result.passedOver.size())}) + L'\n';
  }
  text += TrFormat(kReportCategoriesScanned,
                   {std::to_wstring(scannedCount), std::to_wstring(kCategoryCount)}) +
          L'\n';
  text += TrFormat(kReportItemsExamined, {std::to_wstring(result.itemsScanned)}) + L'\n';
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
                              {"risk", ToUtf8(CategoryRiskLabel(category, WORDING::kEnglish))},
                              {"found", result.found[index]},
                              {"checked", static_cast<bool>(result.checked[index])}});
  }
  report["categories"] = std::move(categories);
  Json problems = Json::array();
  const auto evidenceJson = [](const PROBLEM_EVIDENCE& found) {
    if (found.kind == EVIDENCE_NONE) return Json(nullptr);
    Json evidence{{"kind", ToUtf8(EvidenceKindName(found.kind))}, {"tested", ToUtf8(found.tested)}};
    if (!found.folder.empty()) evidence["folder"] = ToUtf8(found.folder);
    evidence["text"] = ToUtf8(EvidenceText(found, WORDING::kEnglish));
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

// The restore point's line of the text report, after its label: the outcome's word in the
// user's language, then what it means.
std::wstring RestorePointLine(const REPAIR_OUTCOME& outcome) {
  if (!outcome.restorePointAsked) return std::wstring(Tr(kRestorePointNotAskedWord));
  const RESTORE_POINT_OUTCOME& point = outcome.restorePoint;
  const std::wstring number = DecimalText(point.sequenceNumber);
  switch (point.result) {
    case RESTORE_POINT_RESULT::kCreated:
      return std::wstring(Tr(kRestorePointCreatedWord)) +
             TrFormat(kRestorePointNumberFormat, {number});
    case RESTORE_POINT_RESULT::kReused:
      return std::wstring(Tr(kRestorePointReusedWord)) +
             (outcome.restorePointTime.empty()
                  ? TrFormat(kRestorePointUnconfirmedFormat, {number})
                  : TrFormat(kRestorePointKeptFormat, {number, outcome.restorePointTime}));
    case RESTORE_POINT_RESULT::kFailed:
      return std::wstring(Tr(kRestorePointFailedWord)) +
             TrFormat(kRestorePointFailedFormat,
                      {RestorePointStatusReason(point.status), DecimalText(point.status)});
    case RESTORE_POINT_RESULT::kUnavailable:
      break;
  }
  return std::wstring(Tr(kRestorePointUnavailableWord)) + std::wstring(Tr(kRestorePointNoClient));
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
    *text += counter +
             TrFormat(kRepairReportItem,
                      {CategoryShownName(item.category),
                       item.name.empty() ? item.key : JoinPath(item.key, item.name)}) +
             L'\n';
    if (!item.because.empty()) {
      *text += indent + TrFormat(kRepairReportBecause, {item.because}) + L'\n';
    }
    if (reasons && Failed(item)) {
      *text += indent + TrFormat(kRepairReportError,
                                 {DecimalText(item.error), RepairFailureReason(item.error)});
      *text += item.blocked ? std::wstring(Tr(kRepairReportKeptOff)) + L"\n" : L"\n";
    }
  }
}

// The repair's verdict: every selected entry gone, or how many are and how many are not.
std::wstring RepairVerdictText(const REPAIR_OUTCOME& outcome) {
  const REPAIR_TALLY tally = TallyRepair(outcome);
  std::wstring text;
  if (tally.notRepaired != 0) {
    text = TrFormat(kRepairVerdictPartly,
                    {std::to_wstring(tally.repaired), std::to_wstring(tally.selected),
                     std::to_wstring(tally.notRepaired)});
  } else if (tally.selected == 0) {
    text = Tr(kRepairVerdictNothingSelected);
  } else if (!tally.changedAnything) {
    text = Tr(kRepairNothingRemoved);
  } else {
    text = Tr(kRepairVerdictAllFixed);
  }
  text += L'\n';
  if (outcome.uncoveredRoundLimit) {
    text += TrFormat(kRepairRoundLimitFormat, {std::to_wstring(kMaxUncoveredRounds)}) + L'\n';
  }
  return text;
}

}  // namespace

std::wstring FormatRepairText(const REPAIR_OUTCOME& outcome) {
  std::wstring text;
  if (!outcome.completed) {
    text += TrFormat(kRepairReportEndedEarly, {outcome.abortMessage}) + L'\n';
  }
  text += TrFormat(kRepairReportBackup, {outcome.registryBackupPath.empty()
                                             ? Tr(kRepairReportNoBackup)
                                             : std::wstring_view(outcome.registryBackupPath)}) +
          L'\n';
  if (!outcome.shortcutListPath.empty()) {
    text += TrFormat(kRepairReportShortcutBackup, {outcome.shortcutListPath}) + L'\n';
  }
  text += TrFormat(kRepairReportRestorePoint, {RestorePointLine(outcome)}) + L'\n';
  if (outcome.registryBackupError != kErrorSuccess) {
    text += TrFormat(kRepairReportBackupFailed, {DecimalText(outcome.registryBackupError)}) + L'\n';
  }
  text += L'\n' + TrFormat(kRepairReportFixed, {std::to_wstring(outcome.fixed.size())}) + L'\n';
  AppendItems(&text, outcome.fixed, false);
  if (!outcome.chained.empty()) {
    text += L'\n' + TrFormat(kRepairReportChained, {std::to_wstring(outcome.chained.size())}) +
            L'\n';
    AppendItems(&text, outcome.chained, true);
  }
  if (!outcome.uncovered.empty()) {
    text += L'\n' +
            TrFormat(kRepairReportUncovered, {std::to_wstring(outcome.uncovered.size())}) + L'\n';
    AppendItems(&text, outcome.uncovered, false);
  }
  if (!outcome.failed.empty()) {
    text += L'\n' + TrFormat(kRepairReportNotFixed, {std::to_wstring(outcome.failed.size())}) +
            L'\n';
    AppendItems(&text, outcome.failed, true);
  }
  if (!outcome.stillPresent.empty()) {
    text += L'\n' +
            TrFormat(kRepairReportStillPresent, {std::to_wstring(outcome.stillPresent.size())}) +
            L'\n';
    AppendItems(&text, outcome.stillPresent, false);
  }
  if (outcome.skipped != 0) {
    text += L'\n' + TrFormat(kRepairReportSkipped, {std::to_wstring(outcome.skipped)}) + L'\n';
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
      report["restorePointReason"] =
          ToUtf8(RestorePointStatusReason(point.status, WORDING::kEnglish));
    }
  }
  Json fixed = Json::array();
  for (const REPAIR_ITEM& item : outcome.fixed) fixed.push_back(ItemJson(item));
  report["fixed"] = std::move(fixed);
  Json failed = Json::array();
  for (const REPAIR_ITEM& item : outcome.failed) {
    Json entry = ItemJson(item);
    entry["error"] = item.error;
    entry["reason"] = ToUtf8(RepairFailureReason(item.error, WORDING::kEnglish));
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
        entry["reason"] = ToUtf8(RepairFailureReason(item.error, WORDING::kEnglish));
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
  if (rows.empty()) return std::wstring(Tr(kNoBackups)) + L'\n';
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
                        {"reason", row.notTrustedEnglish.empty()
                                       ? Json(nullptr)
                                       : Json(ToUtf8(row.notTrustedEnglish))}});
  }
  return DumpJson(Json{{"backups", std::move(list)}});
}

std::wstring FormatRestoreText(std::wstring_view name, const RESTORE_RESULT& result) {
  std::wstring text;
  if (result.registryTrust != kErrorSuccess) {
    return TrFormat(kRestoreReportNotTrusted,
                    {result.untrusted, UntrustedReasonText(result.registryTrust)}) +
           L'\n';
  }
  if (result.registryFileFound) {
    if (result.merge == kErrorSuccess && result.nothingToMerge) {
      text += std::wstring(Tr(kRestoreReportNothingToMerge)) + L'\n';
    } else if (result.merge == kErrorSuccess) {
      text += std::wstring(Tr(kRestoreReportMerged)) + L'\n';
    } else if (result.merge == kErrorCantWrite) {
      const std::wstring what =
          result.mismatch.value
              ? TrFormat(kRestoreReportValue, {result.mismatch.key, result.mismatch.valueName})
              : result.mismatch.key;
      text += TrFormat(kRestoreReportNotConfirmed, {what}) + L'\n';
    } else {
      text += TrFormat(kRestoreReportEditorFailed, {DecimalText(result.merge)}) + L'\n';
    }
  } else {
    text += TrFormat(kRestoreReportNoRegistryFile, {name, result.registryFile}) + L'\n';
  }
  if (result.shortcutListFound) {
    if (result.shortcuts == kErrorReparsePointEncountered ||
        result.shortcuts == kErrorInvalidOwner) {
      text += TrFormat(kRestoreReportListNotTrusted,
                       {result.shortcutList, UntrustedReasonText(result.shortcuts)}) +
              L'\n';
    } else if (result.shortcuts != kErrorSuccess) {
      text += TrFormat(kRestoreReportListUnreadable,
                       {DecimalText(result.shortcuts), result.shortcutFolder}) +
              L'\n';
    } else {
      text += TrFormat(kRestoreReportMovedBack, {std::to_wstring(result.moved.moved)});
      if (result.moved.alreadyBack != 0) {
        text += TrFormat(kRestoreReportBackAlready, {std::to_wstring(result.moved.alreadyBack)});
      }
      if (result.moved.failed != 0) {
        text += TrFormat(kRestoreReportNotMovedBack,
                         {std::to_wstring(result.moved.failed), result.shortcutFolder});
      }
      if (result.moved.untrusted != 0) {
        text += TrFormat(kRestoreReportShortcutsNotTrusted,
                         {std::to_wstring(result.moved.untrusted), result.shortcutFolder});
      }
      text += L".\n";
      // The lines a restore does not use, each with its reason (after an empty line).
      const std::wstring leftAlone = RestoreLeftAloneText(result);
      if (!leftAlone.empty()) text += leftAlone.substr(2) + L"\n";
    }
  }
  if (result.registryFileDeleted) {
    text += std::wstring(Tr(kRestoreReportRestored)) + L'\n';
  } else if (result.registryFileEmptied ||
             (result.registryFileFound && result.merge == kErrorSuccess &&
              (result.shortcuts != kErrorSuccess || result.moved.failed != 0 ||
               result.moved.untrusted != 0 || !result.moved.leftAlone.empty()))) {
    text += std::wstring(Tr(kRestoreReportStaysListed)) + L'\n';
  } else if (result.registryFileFound && result.merge == kErrorSuccess) {
    text += TrFormat(kRestoreReportNotDeleted, {result.registryFile}) + L'\n';
  }
  return text;
}

}  // namespace qv
