// The COM and ActiveX check on the in-memory registry: both passes, the exact entries examined,
// cancellation, the class-name and value buffer limits, and keys that refuse the check's access.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/checks.h"
#include "base/utf16.h"
#include "tests/support/engine_fixture.h"

namespace qv {
namespace {

using test::PROBLEM_ROW;

constexpr wchar_t kHkcr[] = L"HKCR\\";

class ComCheckTest : public ::testing::Test, protected test::CEngineFixture {
 protected:
  void SetClassesValue(const std::wstring& key, const std::wstring& name,
                       const std::wstring& value) {
    registry().SetString(kHkcr + key, name, value);
  }
  void CreateClassesKey(const std::wstring& key) { registry().CreatePath(kHkcr + key); }

  void Run() {
    CheckComObjects(engine());
    EXPECT_EQ(registry().OpenHandleCount(), 0u) << "every key opened is closed";
  }
};

TEST_F(ComCheckTest, ClassAppIdReferences) {
  CreateClassesKey(L"AppID\\{A0000000-0000-0000-0000-00000000000A}");
  SetClassesValue(L"CLSID\\{10000000-0000-0000-0000-000000000001}", L"AppID",
                  L"{A0000000-0000-0000-0000-00000000000A}");  // registered: fine
  SetClassesValue(L"CLSID\\{20000000-0000-0000-0000-000000000002}", L"AppID",
                  L"{B0000000-0000-0000-0000-00000000000B}");  // not registered
  SetClassesValue(L"CLSID\\{30000000-0000-0000-0000-000000000003}", L"", L"no AppID value");
  CreateClassesKey(L"CLSID\\{40000000-0000-0000-0000-000000000004}\\InprocServer32");

  Run();

  EXPECT_EQ(ProblemRows(),
            (std::vector<PROBLEM_ROW>{{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{20000000-0000-0000-0000-000000000002}",
                                       L"AppID", L"{B0000000-0000-0000-0000-00000000000B}",
                                       REGPROBLEM_COM}}));
  EXPECT_EQ(engine().Found(REGPROBLEM_COM), 1);
}

TEST_F(ComCheckTest, ProgIdClassReferences) {
  CreateClassesKey(L"CLSID\\{C0000000-0000-0000-0000-00000000000C}");
  SetClassesValue(L"Good.Prog\\CLSID", L"", L"{C0000000-0000-0000-0000-00000000000C}");
  SetClassesValue(L"Broken.Prog\\CLSID", L"", L"{D0000000-0000-0000-0000-00000000000D}");
  SetClassesValue(L"Bare.Prog\\CLSID", L"", L"NotAClassId");   // not judged
  SetClassesValue(L"Empty.Prog\\CLSID", L"", L"");             // not judged
  CreateClassesKey(L"NoDefault.Prog\\CLSID");                   // no default value
  SetClassesValue(L"NoClass.Prog", L"", L"a ProgID without a CLSID key");
  // A file-name extension is never looked at, whatever it holds.
  SetClassesValue(L".doc\\CLSID", L"", L"{E0000000-0000-0000-0000-00000000000E}");

  Run();

  EXPECT_EQ(ProblemRows(), (std::vector<PROBLEM_ROW>{{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Broken.Prog\\CLSID",
                                                      L"{Default}",
                                                      L"{D0000000-0000-0000-0000-00000000000D}",
                                                      REGPROBLEM_COM}}));
  for (const std::wstring& text : sink().Examined()) {
    EXPECT_NE(text.rfind(L".doc", 0), 0u) << "examined " << ToUtf8(text);
  }
}

TEST_F(ComCheckTest, ExaminedEntriesOfASmallTreeInOrder) {
  CreateClassesKey(L"AppID\\{A1}");
  SetClassesValue(L"CLSID\\{C1}", L"AppID", L"{A1}");
  SetClassesValue(L"CLSID\\{C2}", L"AppID", L"{A2}");
  CreateClassesKey(L"CLSID\\{C3}");
  SetClassesValue(L"Word.Doc\\CLSID", L"", L"{C1}");
  SetClassesValue(L"Plain.Prog\\CLSID", L"", L"Plain");
  CreateClassesKey(L"NoDefault.Prog\\CLSID");
  SetClassesValue(L".txt", L"", L"txtfile");

  Run();

  // Pass 1 names the AppID key of each class that has one; pass 2 names each ProgID's CLSID
  // key (the root's own subkeys AppID and CLSID included) and the class that key names.
  EXPECT_EQ(sink().Examined(), (std::vector<std::wstring>{
                                   L"AppID\\{A1}",
                                   L"AppID\\{A2}",
                                   L"AppID\\CLSID",
                                   L"CLSID\\CLSID",
                                   L"NoDefault.Prog\\CLSID",
                                   L"Plain.Prog\\CLSID",
                                   L"CLSID\\Plain",
                                   L"Word.Doc\\CLSID",
                                   L"CLSID\\{C1}",
                               }));
  EXPECT_EQ(sink().Messages(),
            (std::vector<unsigned>{kMsgEntryExamined, kMsgEntryExamined, kMsgProblemFound,
                                   kMsgEntryExamined, kMsgEntryExamined, kMsgEntryExamined,
                                   kMsgEntryExamined, kMsgEntryExamined, kMsgEntryExamined,
                                   kMsgEntryExamined}));
  EXPECT_EQ(ProblemRows(), (std::vector<PROBLEM_ROW>{{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C2}", L"AppID",
                                                      L"{A2}", REGPROBLEM_COM}}));
}

// Both hives' classes are examined, each reference resolved as HKEY_CLASSES_ROOT merges them (a
// class or AppID registered in either hive is registered), and each problem named where its key
// really is, so the repair deletes that copy and never the other hive's.
TEST_F(ComCheckTest, UserAndMachineClassesResolveAsTheMergedView) {
  registry().SetString(L"HKCU\\Software\\Classes\\CLSID\\{U1}", L"AppID", L"{MA}");  // machine AppID
  registry().CreatePath(L"HKLM\\Software\\Classes\\AppID\\{MA}");
  registry().SetString(L"HKLM\\Software\\Classes\\CLSID\\{M1}", L"AppID", L"{UA}");  // user AppID
  registry().CreatePath(L"HKCU\\Software\\Classes\\AppID\\{UA}");
  registry().SetString(L"HKCU\\Software\\Classes\\CLSID\\{U2}", L"AppID", L"{NONE}");
  registry().SetString(L"HKLM\\Software\\Classes\\Machine.Prog\\CLSID", L"", L"{U1}");
  registry().SetString(L"HKCU\\Software\\Classes\\User.Prog\\CLSID", L"", L"{M1}");
  registry().SetString(L"HKCU\\Software\\Classes\\Gone.Prog\\CLSID", L"", L"{GONE}");
  // The same ProgID in both hives, each naming a missing class: two copies, two problems.
  registry().SetString(L"HKLM\\Software\\Classes\\Both.Prog\\CLSID", L"", L"{GONE-M}");
  registry().SetString(L"HKCU\\Software\\Classes\\Both.Prog\\CLSID", L"", L"{GONE-U}");
  // A 32-bit class registered for the user only.
  registry().SetString(L"HKCU\\Software\\Classes\\Wow6432Node\\CLSID\\{U3}", L"AppID",
                       L"{NONE32}");

  Run();

  EXPECT_EQ(ProblemRows(),
            (std::vector<PROBLEM_ROW>{
                {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Both.Prog\\CLSID", L"{Default}",
                 L"{GONE-M}", REGPROBLEM_COM},
                {L"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{U2}", L"AppID", L"{NONE}",
                 REGPROBLEM_COM},
                {L"HKEY_CURRENT_USER\\Software\\Classes\\Both.Prog\\CLSID", L"{Default}",
                 L"{GONE-U}", REGPROBLEM_COM},
                {L"HKEY_CURRENT_USER\\Software\\Classes\\Gone.Prog\\CLSID", L"{Default}",
                 L"{GONE}", REGPROBLEM_COM},
                {L"HKEY_CURRENT_USER\\Software\\Classes\\Wow6432Node\\CLSID\\{U3}", L"AppID",
                 L"{NONE32}", REGPROBLEM_COM},
            }));
}

TEST_F(ComCheckTest, CancelDuringPassOneFinishesTheClassAndSkipsPassTwo) {
  SetClassesValue(L"CLSID\\{C1}", L"AppID", L"{A1}");
  SetClassesValue(L"CLSID\\{C2}", L"AppID", L"{A2}");
  SetClassesValue(L"CLSID\\{C3}", L"AppID", L"{A3}");
  SetClassesValue(L"Broken.Prog\\CLSID", L"", L"{GONE}");
  CancelWhenExamined(L"AppID\\{A2}");

  Run();

  EXPECT_EQ(sink().Examined(), (std::vector<std::wstring>{L"AppID\\{A1}", L"AppID\\{A2}"}));
  EXPECT_EQ(ProblemRows(),
            (std::vector<PROBLEM_ROW>{{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C1}", L"AppID", L"{A1}", 0},
                                      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C2}", L"AppID", L"{A2}", 0}}));
}

TEST_F(ComCheckTest, CancelDuringPassTwoFinishesTheProgId) {
  SetClassesValue(L"A.Prog\\CLSID", L"", L"{GONE-A}");
  SetClassesValue(L"B.Prog\\CLSID", L"", L"{GONE-B}");
  SetClassesValue(L"C.Prog\\CLSID", L"", L"{GONE-C}");
  CancelWhenExamined(L"B.Prog\\CLSID");

  Run();

  EXPECT_EQ(sink().Examined(), (std::vector<std::wstring>{L"A.Prog\\CLSID", L"CLSID\\{GONE-A}",
                                                          L"B.Prog\\CLSID", L"CLSID\\{GONE-B}"}));
  EXPECT_EQ(ProblemRows().size(), 2u);
}

TEST_F(ComCheckTest, CancelledBeforeTheCheckExaminesNothing) {
  SetClassesValue(L"CLSID\\{C1}", L"AppID", L"{A1}");
  SetClassesValue(L"Broken.Prog\\CLSID", L"", L"{GONE}");
  engine().SetCancel(1);

  Run();

  EXPECT_TRUE(sink().Events().empty());
  EXPECT_TRUE(problems().empty());
}

// Class names are read into 1,024 characters in pass 1 and 1,023 in pass 2 (the terminator
// included): a name that does not fit is passed over, and the pass goes on after it.
TEST_F(ComCheckTest, ClassNameBufferLimitsOfTheTwoPasses) {
  struct {
    std::size_t length;
    bool passOneReachesIt;
    bool passTwoReachesIt;
  } const cases[] = {
      {1022, true, true},
      {1023, true, false},
      {1024, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    test::CEngineFixture fx;
    // "{0..." sorts before "{Z}" and "0..." before "Z.Prog", so the long name comes first.
    const std::wstring longClass = L"{" + std::wstring(c.length - 1, L'0');
    const std::wstring longProgId(c.length, L'0');
    fx.registry().SetString(L"HKCR\\CLSID\\" + longClass, L"AppID", L"{LONG}");
    fx.registry().SetString(L"HKCR\\CLSID\\{Z}", L"AppID", L"{AFTER}");
    fx.registry().SetString(L"HKCR\\" + longProgId + L"\\CLSID", L"", L"{GONE-LONG}");
    fx.registry().SetString(L"HKCR\\Z.Prog\\CLSID", L"", L"{GONE-AFTER}");

    CheckComObjects(fx.engine());

    std::vector<PROBLEM_ROW> expected;
    if (c.passOneReachesIt) {
      expected.push_back({L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" + longClass, L"AppID", L"{LONG}", 0});
    }
    expected.push_back({L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{Z}", L"AppID", L"{AFTER}", 0});
    if (c.passTwoReachesIt) {
      expected.push_back(
          {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + longProgId + L"\\CLSID", L"{Default}", L"{GONE-LONG}", 0});
    }
    expected.push_back({L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Z.Prog\\CLSID", L"{Default}", L"{GONE-AFTER}", 0});
    EXPECT_EQ(fx.ProblemRows(), expected);
  }
}

// The AppID value and the CLSID default value are read into 2,046 bytes: a value that does not
// fit is not read, so its entry is passed over; unterminated data that fills the buffer loses its
// last character to the terminator.
TEST_F(ComCheckTest, ValueBufferLimit) {
  const std::wstring fits = L"{" + std::wstring(1021, L'F');       // 1,022 + NUL = 2,046 bytes
  const std::wstring tooLong = L"{" + std::wstring(1022, L'L');    // 1,023 + NUL = 2,048 bytes
  const std::wstring filling = L"{" + std::wstring(1022, L'U');    // 2,046 bytes, no NUL
  SetClassesValue(L"CLSID\\{C1}", L"AppID", fits);
  SetClassesValue(L"CLSID\\{C2}", L"AppID", tooLong);
  registry().SetValueRaw(L"HKCR\\CLSID\\{C3}", L"AppID", kRegSz, ToUtf16LeBytes(filling, false));
  SetClassesValue(L"P1\\CLSID", L"", fits);
  SetClassesValue(L"P2\\CLSID", L"", tooLong);
  registry().SetValueRaw(L"HKCR\\P3\\CLSID", L"", kRegSz, ToUtf16LeBytes(filling, false));

  Run();

  const std::wstring cut = filling.substr(0, 1022);
  EXPECT_EQ(ProblemRows(),
            (std::vector<PROBLEM_ROW>{
                {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C1}", L"AppID", fits, 0},
                {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C3}", L"AppID", cut, 0},
                {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\P1\\CLSID", L"{Default}", fits, 0},
                {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\P3\\CLSID", L"{Default}", cut, 0},
            }));
}

// A key that refuses the check's access (read, set value, create subkey): a class or ProgID key
// that cannot be opened is passed over; a referenced key that exists but refuses that access is
// there all the same and is not reported.
TEST_F(ComCheckTest, KeysThatRefuseTheCheckAccess) {
  SetClassesValue(L"CLSID\\{LOCKED}", L"AppID", L"{GONE-1}");
  registry().DenyAccess(L"HKCR\\CLSID\\{LOCKED}", kKeySetValue);
  SetClassesValue(L"CLSID\\{C1}", L"AppID", L"{PROTECTED-APP}");
  CreateClassesKey(L"AppID\\{PROTECTED-APP}");
  registry().DenyAccess(L"HKCR\\AppID\\{PROTECTED-APP}", kKeySetValue | kKeyCreateSubKey);
  SetClassesValue(L"Locked.Prog\\CLSID", L"", L"{GONE-2}");
  registry().DenyAccess(L"HKCR\\Locked.Prog\\CLSID", kKeyCreateSubKey);
  SetClassesValue(L"Protected.Prog\\CLSID", L"", L"{PROTECTED-CLASS}");
  CreateClassesKey(L"CLSID\\{PROTECTED-CLASS}");
  registry().DenyAccess(L"HKCR\\CLSID\\{PROTECTED-CLASS}", kKeySetValue);

  Run();

  EXPECT_TRUE(problems().empty());
  EXPECT_EQ(sink().Examined(), (std::vector<std::wstring>{
                                   L"AppID\\{PROTECTED-APP}",
                                   L"AppID\\CLSID",
                                   L"CLSID\\CLSID",
                                   L"Locked.Prog\\CLSID",
                                   L"Protected.Prog\\CLSID",
                                   L"CLSID\\{PROTECTED-CLASS}",
                               }));
}

TEST_F(ComCheckTest, ExcludedProblemsAreAskedAboutAndDropped) {
  SetClassesValue(L"CLSID\\{C1}", L"AppID", L"{A1}");
  SetClassesValue(L"Broken.Prog\\CLSID", L"", L"{GONE}");
  filter().exclude = [](const CRegistryProblem& p) { return p.name == L"AppID"; };

  Run();

  EXPECT_EQ(filter().asked, 2);
  EXPECT_EQ(ProblemRows(), (std::vector<PROBLEM_ROW>{{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Broken.Prog\\CLSID",
                                                      L"{Default}", L"{GONE}", 0}}));
  EXPECT_EQ(log().entries.size(), 1u);
}

TEST_F(ComCheckTest, NoClassesRootEntriesNoReports) {
  Run();
  EXPECT_TRUE(sink().Events().empty());
}

}  // namespace
}  // namespace qv
