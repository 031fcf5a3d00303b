// The eleven categories: texts exactly as the product shows and stores them, run order, weights,
// severities and their labels, and the default category settings records.
#include "engine/categories.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

namespace qv {
namespace {

struct CATEGORY_CASE {
  REGPROBLEM_TYPE type;
  int index;
  const wchar_t* name;
  int weight;
  int severity;
  const wchar_t* blockedName;
  const wchar_t* description;
};

const CATEGORY_CASE kCategoryCases[] = {
    {REGPROBLEM_COM, 0, L"ActiveX/COM Objects", 4, 200, L"ComErrors",
     L"The COM/ActiveX section of the registry can contain invalid entries that can cause "
     L"application failure, system crashes, or errors when opening documents."},
    {REGPROBLEM_UNINSTALL, 1, L"Uninstalled Files", 1, 100, L"UninstallErrors",
     L"The Uninstall Entries section of the registry can contain invalid entries or point to one "
     L"or more missing entries.  Typically this is due to incorrect installing or uninstalling of "
     L"applications."},
    {REGPROBLEM_FONT, 2, L"Fonts", 1, 1, L"FontErrors",
     L"The Font section of the registry can contain one or more missing font files that can cause "
     L"application errors (for example, Word processing applications)."},
    {REGPROBLEM_SHARED_DLL, 3, L"Shared DLLs", 1, 200, L"SharedDllErrors",
     L"The Shared DLLs section of the registry can contain invalid entries that cause application "
     L"failure due to DLL conflict (otherwise known as DLL hell)."},
    {REGPROBLEM_APP_PATH, 4, L"Program Paths", 1, 100, L"AppPathErrors",
     L"The Application Paths section of the registry can contain invalid disk directories that "
     L"can cause application failure."},
    {REGPROBLEM_HELP_FILE, 5, L"Help Files", 1, 1, L"HelpFileErrors",
     L"The Help section of the registry can point to invalid help files that can cause "
     L"application help files to open incorrectly."},
    {REGPROBLEM_STARTUP, 6, L"Windows Startups", 2, 200, L"WinStartUpErrors",
     L"The Run section of the Windows registry can contain missing program entries that can be "
     L"due to incorrect installing or uninstalling of an application."},
    {REGPROBLEM_FILE_PATH, 7, L"File/Path References", 5, 100, L"FilePathErrors",
     L"Some registry items can be associated with non-existing files and folders such as when "
     L"temporary files are used for storage."},
    {REGPROBLEM_SHORTCUT, 8, L"Windows Shortcuts", 4, 1, L"ProgramShortcutErrors",
     L"Program shortcuts in the registry, with a \".lnk\" extension, may no longer be linked to an "
     L"application."},
    {REGPROBLEM_EMPTY_KEY, 9, L"Empty Registry Keys", 3, 1, L"EmtyRegKeyErrors",
     L"Registry keys can be empty \x2013 they have no associated value."},
    {REGPROBLEM_FILE_ASSOCIATION, 10, L"File Association References", 2, 100,
     L"FileAssosiationsErrors",
     L"The Shell Extension section of the registry can contain invalid file associations. If a "
     L"file type is associated with a program that does not exist then it shows up as an "
     L"irregularity."},
};

TEST(Categories, EachCategoryHasItsTextsWeightAndSeverity) {
  ASSERT_EQ(std::size(kCategoryCases), static_cast<std::size_t>(kCategoryCount));
  for (const CATEGORY_CASE& c : kCategoryCases) {
    SCOPED_TRACE(testing::Message() << "category " << c.index);
    EXPECT_EQ(static_cast<int>(c.type), c.index);
    EXPECT_EQ(CategoryDisplayName(c.index), c.name);
    EXPECT_EQ(CategoryDescription(c.index), c.description);
    EXPECT_EQ(BlockedCategoryValueName(c.index), c.blockedName);
    EXPECT_EQ(CategoryWeight(c.name), c.weight);
    EXPECT_EQ(CategorySeverity(c.name), c.severity);
  }
}

TEST(Categories, DescriptionsKeepTheirPeculiarCharacters) {
  // Two blanks after the first sentence, a real en dash, and inner quotation marks.
  EXPECT_NE(CategoryDescription(1).find(L"entries.  Typically"), std::wstring_view::npos);
  EXPECT_NE(CategoryDescription(9).find(L"empty \x2013 they"), std::wstring_view::npos);
  EXPECT_NE(CategoryDescription(8).find(L"a \".lnk\" extension"), std::wstring_view::npos);
}

TEST(Categories, RunOrderPutsHelpFilesAndStartupsBeforeProgramPaths) {
  const std::array<int, kCategoryCount> expected = {0, 1, 2, 3, 5, 6, 4, 7, 8, 9, 10};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(static_cast<int>(kCategoryRunOrder[i]), expected[i]) << "position " << i;
  }
}

TEST(Categories, WeightsOfAllCategoriesAddUpToTheWholeProgressBar) {
  int total = 0;
  for (int i = 0; i < kCategoryCount; ++i) total += CategoryWeight(CategoryDisplayName(i));
  EXPECT_EQ(total, 25);
}

TEST(Categories, LookupTrimsWhiteSpaceButComparesCaseExactly) {
  struct {
    const wchar_t* name;
    int weight;
    int severity;
  } const cases[] = {
      {L"  Fonts  ", 1, 1},
      {L"\tShared DLLs\r\n", 1, 200},
      {L"\vFile/Path References\f", 5, 100},
      {L"fonts", 0, 0},
      {L"FONTS", 0, 0},
      {L"Font", 0, 0},
      {L"Fonts x", 0, 0},
      {L"Shared  DLLs", 0, 0},
      {L"", 0, 0},
      {L"   ", 0, 0},
      {L"Unknown Category", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "name '" << testing::PrintToString(std::wstring(c.name)) << "'");
    EXPECT_EQ(CategoryWeight(c.name), c.weight);
    EXPECT_EQ(CategorySeverity(c.name), c.severity);
  }
}

TEST(Categories, SeverityLabelsChangeAtOneHundredAndTwoHundred) {
  struct {
    int severity;
    const wchar_t* label;
  } const cases[] = {
      {-1, L"LOW"},    {0, L"LOW"},       {1, L"LOW"},        {99, L"LOW"},
      {100, L"MEDIUM"}, {199, L"MEDIUM"}, {200, L"HIGH"},     {1000, L"HIGH"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SeverityLabel(c.severity), c.label) << "severity " << c.severity;
  }
}

TEST(Categories, IndicesOutsideTheTableHaveNoTexts) {
  for (int index : {-1, 11, 1000}) {
    EXPECT_TRUE(CategoryDisplayName(index).empty()) << index;
    EXPECT_TRUE(CategoryDescription(index).empty()) << index;
    EXPECT_TRUE(BlockedCategoryValueName(index).empty()) << index;
    EXPECT_FALSE(IsValidCategory(index)) << index;
  }
}

}  // namespace
}  // namespace qv
