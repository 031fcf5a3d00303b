// The string tables (lang/*.rc) as a program links them: every text of every subsystem has a
// text in each language (German, and any language added later) and in the pseudo-language that
// keeps its fields (the "%s" of a format, the markup, the numbered arguments), no table holds a
// text that is gone, and a display language finds its table.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "base/language.h"
#include "base/pseudo_language.h"
#include "base/utf16.h"
#include "cli/report.h"
#include "controls/control_texts.h"
#include "engine/engine_texts.h"
#include "launcher/launcher_texts.h"
#include "platform/win32/win32_language.h"
#include "repair/repair_texts.h"
#include "state/state_texts.h"
#include "tools/tool_texts.h"
#include "ui/ui_texts.h"

namespace qv {
namespace {

constexpr LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL);

const struct {
  const char* subsystem;
  std::span<const UI_TEXT> texts;
} kSubsystems[] = {
    {"state", kStateTexts},       {"engine", kEngineTexts},       {"repair", kRepairTexts},
    {"tools", kToolTexts},        {"controls", kControlTexts},    {"ui", ui::kUiTexts},
    {"cli", kCliTexts},           {"launcher", kLauncherTexts},
};

// The language tables of this program: German among them.
std::vector<LANGID> Tables() {
  std::vector<LANGID> tables = ModuleLanguages(GetModuleHandleW(nullptr));
  EXPECT_NE(std::find(tables.begin(), tables.end(), kGerman), tables.end());
  return tables;
}

TEST(LanguageTables, EveryTextHasATranslationAndAPseudoTextWithItsFields) {
  const std::vector<LANGID> tables = Tables();
  int count = 0;
  for (const auto& subsystem : kSubsystems) {
    for (const UI_TEXT& text : subsystem.texts) {
      ++count;
      const std::string name = std::string(subsystem.subsystem) + " " + std::to_string(text.id) +
                               " \"" + ToUtf8(text.english) + "\"";
      const std::wstring fields = TextFields(text.english);
      for (const LANGID table : tables) {
        const std::wstring_view translated =
            CResourceLanguage(GetModuleHandleW(nullptr), table).Translate(text);
        EXPECT_FALSE(translated.empty()) << name << " has no text in language " << std::hex
                                         << table;
        if (!translated.empty()) {
          EXPECT_EQ(ToUtf8(TextFields(translated)), ToUtf8(fields))
              << name << " in language " << std::hex << table << ": \"" << ToUtf8(translated)
              << "\"";
        }
      }
      const std::wstring pseudo = PseudoText(text.english);
      EXPECT_EQ(ToUtf8(TextFields(pseudo)), ToUtf8(fields)) << name << " in the pseudo-language";
      EXPECT_GT(pseudo.size(), text.english.size()) << name;
    }
  }
  EXPECT_GT(count, 400);
}

// Every string of a table belongs to a text of the programs: a translation whose text was
// removed or renumbered is a fault, not a spare.
TEST(LanguageTables, NoTranslationWithoutItsEnglish) {
  std::set<unsigned> known;
  for (const auto& subsystem : kSubsystems) {
    for (const UI_TEXT& text : subsystem.texts) {
      EXPECT_TRUE(known.insert(text.id).second) << "text number " << text.id << " twice";
    }
  }
  for (const LANGID table : Tables()) {
    const CResourceLanguage language(GetModuleHandleW(nullptr), table);
    // String numbers run up to 16 x 4096; those of the programs' texts stay below 4096.
    for (unsigned id = 1; id < 4096; ++id) {
      const UI_TEXT probe{static_cast<std::uint16_t>(id), L""};
      if (!language.Translate(probe).empty()) {
        EXPECT_TRUE(known.count(id) != 0)
            << "text " << id << " of language " << std::hex << table << " has no English text";
      }
    }
  }
}

// A display language finds its own table, else one of its primary language; English and a
// language without a table get none (the programs' English); qps-ploc the pseudo-language.
TEST(LanguageTables, ADisplayLanguageFindsItsTable) {
  HMODULE module = GetModuleHandleW(nullptr);
  const struct {
    LANGID display;
    const wchar_t* scanNow;  // null: no language object, the English texts
  } cases[] = {
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"Jetzt scannen"},
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN), L"Jetzt scannen"},
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_SWISS), L"Jetzt scannen"},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), nullptr},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), nullptr},
      {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), nullptr},
      {kPseudoLocaleLanguage, L"[\u0160\u00E7\u00E5\u00F1 \u00D1\u00F6\u0175 \u00B7]"},
  };
  for (const auto& c : cases) {
    const std::unique_ptr<ILanguage> language = LanguageFor(module, c.display);
    if (c.scanNow == nullptr) {
      EXPECT_EQ(language, nullptr) << std::hex << c.display;
    } else {
      ASSERT_NE(language, nullptr) << std::hex << c.display;
      EXPECT_EQ(ToUtf8(language->Translate(ui::kScanNow)), ToUtf8(c.scanNow))
          << std::hex << c.display;
    }
  }
}

}  // namespace
}  // namespace qv
