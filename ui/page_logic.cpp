#include "ui/page_logic.h"

#include <array>
#include <utility>

#include "base/text.h"
#include "base/text_case.h"
#include "controls/markup_text.h"
#include "engine/categories.h"
#include "engine/key_naming.h"
#include "repair/repair_texts.h"
#include "state/state_texts.h"
#include "ui/ui_texts.h"

namespace qv::ui {
namespace {

NUMBER_TEXT g_numberText = nullptr;

// The pages decide on the English last-scan text (FormatLastScanDisplay), whatever they show.
bool IsNeverScanned(std::wstring_view lastScanText) {
  return EqualsNoCase(lastScanText, kNeverScanned.english);
}

// Category 0 shows its data whole only for entries of the class and application id keys; other
// data (a ProgID's class, say) is cut before its first comma.
std::wstring ComData(const CRegistryProblem& problem) {
  const PARSED_KEY_PATH parsed = ParseRootKey(problem.key);
  const std::wstring_view below = SubkeyPath(problem.key, parsed);
  const std::wstring_view head = below.substr(0, 5);
  if (EqualsNoCase(head, L"CLSID") || EqualsNoCase(head, L"AppID")) return problem.data;
  return problem.data.substr(0, problem.data.find(L','));
}

// The format with its first "%lld" or "%d" replaced by the number's text.
std::wstring ReplaceCount(std::wstring_view format, std::wstring_view number) {
  std::wstring text(format);
  for (std::wstring_view conversion : {std::wstring_view(L"%lld"), std::wstring_view(L"%d")}) {
    const std::size_t at = text.find(conversion);
    if (at != std::wstring::npos) {
      text.replace(at, conversion.size(), number);
      break;
    }
  }
  return text;
}

}  // namespace

std::wstring AbbreviateEntryPath(std::wstring_view path) {
  std::wstring text = AbbreviateRootNames(path);
  if (text.size() <= kEntryLabelMaxChars) return text;
  return text.substr(0, kEntryLabelKeptChars) + L"..." +
         text.substr(text.size() - kEntryLabelKeptChars);
}

std::wstring DisplayKeyPath(std::wstring_view keyPath) {
  std::wstring text = L"#/#";
  std::size_t mark = kDisplayKeyWrapChars;
  std::size_t start = 0;
  while (start <= keyPath.size()) {
    std::size_t end = keyPath.find(L'\\', start);
    if (end == std::wstring_view::npos) end = keyPath.size();
    if (text.size() > mark) {
      text += L' ';
      mark += kDisplayKeyWrapChars;
    }
    text += L'/';
    text += keyPath.substr(start, end - start);
    start = end + 1;
  }
  const std::size_t prefix = text.find(L"#/#/");
  if (prefix != std::wstring::npos) text.erase(prefix, 4);
  return text;
}

std::wstring FormatNumbered(std::wstring_view format,
                            std::initializer_list<std::wstring_view> args) {
  std::wstring text;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] >= L'1' &&
        format[i + 1] <= L'9') {
      const std::size_t index = static_cast<std::size_t>(format[i + 1] - L'1');
      if (index < args.size()) text += *(args.begin() + index);
      ++i;
      continue;
    }
    text += format[i];
  }
  return text;
}

std::wstring FormatCount(std::wstring_view format, std::int64_t number) {
  return ReplaceCount(format, DecimalText(number));
}

void SetDisplayNumbers(NUMBER_TEXT numberText) { g_numberText = numberText; }

std::wstring DisplayNumber(std::int64_t number) {
  return g_numberText == nullptr ? DecimalText(number) : g_numberText(number);
}

std::wstring DisplayCount(std::wstring_view format, std::int64_t number) {
  return ReplaceCount(format, DisplayNumber(number));
}

std::wstring BuildProblemRowText(const CRegistryProblem& problem) {
  // Everything that comes from the registry or the disk is escaped, so it shows as it is stored
  // and no "<" in it is read as a tag (a value could otherwise hide its row or fake others).
  const std::wstring name = EscapeMarkup(
      problem.name.empty() || problem.name == L"@" ? std::wstring(Tr(kDefaultValueName))
                                                   : problem.name);
  const std::wstring key = EscapeMarkup(DisplayKeyPath(problem.key));
  const std::wstring data = EscapeMarkup(problem.data);
  std::wstring text;
  switch (problem.type) {
    case REGPROBLEM_UNINSTALL:
      text = FormatNumbered(Tr(kRowTemplateUninstall), {data, key, name, data});
      break;
    case REGPROBLEM_SHARED_DLL:
      text = FormatNumbered(Tr(kRowTemplateSharedDll), {data, key, name, data});
      break;
    case REGPROBLEM_EMPTY_KEY:
      text = FormatNumbered(Tr(kRowTemplateEmptyKey), {key});
      break;
    case REGPROBLEM_COM: {
      const std::wstring comData = EscapeMarkup(ComData(problem));
      text = FormatNumbered(Tr(kRowTemplateFile), {comData, key, name, comData});
      break;
    }
    default:
      text = FormatNumbered(Tr(kRowTemplateFile), {data, key, name, data});
      break;
  }
  if (problem.type != REGPROBLEM_UNINSTALL && problem.evidence.kind != EVIDENCE_NONE) {
    text += FormatNumbered(kRowEvidenceLine,
                           {EscapeMarkup(EvidenceText(ShownEvidence(problem)))});
  }
  if (problem.reserved > 0) text += DisplayCount(Tr(kAdditionalItemsFormat), problem.reserved);
  if (text.empty()) text = Tr(kNoErrorsFound);
  return text;
}

HEALTH_SUMMARY SummarizeHealth(std::wstring_view lastScanText, std::int64_t errors,
                               std::int64_t fixed) {
  if (IsNeverScanned(lastScanText)) {
    return {Tr(kHealthNormal), Tr(kAdviceNeverScanned), HEALTH_PICTURE::kNeverScanned, false};
  }
  if (errors > 0 && fixed >= errors) {
    return {Tr(kHealthGood), Tr(kAdviceAllFixed), HEALTH_PICTURE::kGood, false};
  }
  if (errors > 0) return {Tr(kHealthBad), Tr(kAdviceRepair), HEALTH_PICTURE::kBad, true};
  return {Tr(kHealthGood), Tr(kAdviceNoneFound), HEALTH_PICTURE::kGood, false};
}

STATISTICS_VERDICT StatisticsVerdict(std::wstring_view lastScanText, std::int64_t found,
                                     std::int64_t cleaned, std::int64_t ignored,
                                     std::int64_t notFixed, bool changed) {
  if (IsNeverScanned(lastScanText)) return {L"", VERDICT_PICTURE::kUnchanged, false};
  if (notFixed > 0) {
    return {FormatNumbered(Tr(kPartlyFixedFormat),
                           {DisplayNumber(cleaned), DisplayNumber(cleaned + notFixed),
                            DisplayNumber(notFixed)}),
            VERDICT_PICTURE::kBad, true};
  }
  // Entries the user left unticked (or that came after the repair) are still there.
  const std::int64_t left = found - cleaned - ignored;
  if (cleaned > 0 && left > 0) {
    return {FormatNumbered(Tr(kLeftUnselectedFormat), {DisplayNumber(cleaned),
                                                       DisplayNumber(found - ignored),
                                                       DisplayNumber(left)}),
            VERDICT_PICTURE::kBad, true};
  }
  if (cleaned > 0 && !changed) {
    return {std::wstring(Tr(kRepairNothingRemoved)), VERDICT_PICTURE::kGood, true};
  }
  if (cleaned > 0) return {std::wstring(Tr(kAdviceAllFixed)), VERDICT_PICTURE::kGood, true};
  if (found == 0) return {std::wstring(Tr(kAdviceNoneFound)), VERDICT_PICTURE::kGood, true};
  return {DisplayCount(Tr(kAttentionFormat), found), VERDICT_PICTURE::kBad, true};
}

int ScanProgressTotal(const CATEGORY_TABLE& table) {
  int total = 0;
  for (const CATEGORY_SETTINGS& record : table) {
    if (record.enabled != 0) total += CategoryWeight(record.name);
  }
  return total;
}

std::wstring UpdaterCommandLine(std::wstring_view updaterPath, std::wstring_view launcherPath,
                                std::wstring_view version, int left, int top, int right,
                                int bottom, UPDATER_ORIGIN origin) {
  const std::wstring address = std::wstring(kUpdateEndpoint) + L"," + std::wstring(version);
  std::wstring line = FormatWithStrings(kUpdaterCommandFormat, {updaterPath, address, launcherPath});
  std::wstring rect = kUpdaterRectFormat;
  for (const int value : {left, top, right, bottom}) {
    const std::size_t at = rect.find(L"%d");
    rect.replace(at, 2, DecimalText(value));
  }
  const wchar_t* tail =
      origin == UPDATER_ORIGIN::kSettingsPage ? kUpdaterTailSettingsPage : kUpdaterTailMainWindow;
  return line + rect + tail;
}

FIX_DECISION DecideFix(const CProblemList* problems) {
  if (problems == nullptr || problems->empty()) return FIX_DECISION::kNothing;
  for (std::size_t i = 0; i < problems->size(); ++i) {
    const CRegistryProblem* problem = problems->At(i);
    if (problem != nullptr && problem->selected) return FIX_DECISION::kRepair;
  }
  return FIX_DECISION::kNothingSelected;
}

}  // namespace qv::ui
