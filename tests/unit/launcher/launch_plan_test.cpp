#include "launcher/launch_plan.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "launcher/library_binding.h"
#include "platform/memory/memory_registry.h"

namespace qv {
namespace {

constexpr wchar_t kProductKey[] = L"HKLM\\SOFTWARE\\Quarvelo";

TEST(LaunchPlan, SwitchesExportAndSplashFromTheArgumentsAndTheSetting) {
  using Setup = std::function<void(CMemoryRegistry&)>;
  const auto splash = [](std::wstring text) {
    return Setup([text](CMemoryRegistry& reg) { reg.SetString(kProductKey, L"Splash", text); });
  };
  const Setup missing = [](CMemoryRegistry&) {};
  const Setup off = splash(L"0");
  const char* const kNone = "";
  struct Case {
    const wchar_t* arguments;
    Setup setting;
    bool startScan, direct, close;
    bool expectSplash;
    const char* expectExport;
  };
  const Case cases[] = {
      // The switches, anywhere in the text, in the letter case given.
      {L"", missing, false, false, false, true, "ShowMainDialogFirst"},
      {L"-t", missing, true, false, false, false, "ShowStartScan"},
      {L"-d", missing, false, true, false, false, "ShowMainDialog"},
      {L"-d -t", missing, true, true, false, false, "ShowStartScan"},
      {L"/x-tx", off, true, false, false, false, "ShowStartScan"},
      {L"--dump", missing, false, true, false, false, "ShowMainDialog"},
      {L"-T -D -C", missing, false, false, false, true, "ShowMainDialogFirst"},
      {L"/t /d", off, false, false, false, false, "ShowMainDialogFirst"},
      // A close request has nothing to close in a first instance: it ends.
      {L"-c", missing, false, false, true, false, kNone},
      {L"-c -t", missing, true, false, true, false, kNone},
      // The setting decides only without "-t" and "-d": zero hides, anything else shows.
      {L"", off, false, false, false, false, "ShowMainDialogFirst"},
      {L"", splash(L"00"), false, false, false, false, "ShowMainDialogFirst"},
      {L"", splash(L"no"), false, false, false, false, "ShowMainDialogFirst"},
      {L"", splash(L"1"), false, false, false, true, "ShowMainDialogFirst"},
      {L"", splash(L"-3"), false, false, false, true, "ShowMainDialogFirst"},
      {L"", splash(L"0x1"), false, false, false, false, "ShowMainDialogFirst"},
      {L"", splash(L""), false, false, false, true, "ShowMainDialogFirst"},
      {L"", splash(L"99999999999"), false, false, false, true, "ShowMainDialogFirst"},
      {L"", [](CMemoryRegistry& reg) { reg.SetDword(kProductKey, L"Splash", 0); }, false, false,
       false, true, "ShowMainDialogFirst"},
      {L"-d", splash(L"1"), false, true, false, false, "ShowMainDialog"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.arguments));
    CMemoryRegistry registry;
    c.setting(registry);
    const LAUNCH_SWITCHES switches = ParseLaunchSwitches(c.arguments);
    EXPECT_EQ(switches.startScan, c.startScan);
    EXPECT_EQ(switches.direct, c.direct);
    EXPECT_EQ(switches.close, c.close);
    const LAUNCH_PLAN plan = PlanFirstInstance(switches, registry);
    EXPECT_EQ(plan.splash, c.expectSplash);
    EXPECT_EQ(plan.call ? std::string(ExportName(*plan.call)) : std::string(), c.expectExport);
  }
}

TEST(LaunchPlan, SecondInstanceAndLibraryPath) {
  EXPECT_EQ(PlanSecondInstance(ParseLaunchSwitches(L"")).message, 1127u);
  EXPECT_EQ(PlanSecondInstance(ParseLaunchSwitches(L"-d")).message, 1127u);
  EXPECT_EQ(PlanSecondInstance(ParseLaunchSwitches(L"-t")).message, 1126u);
  EXPECT_FALSE(PlanSecondInstance(ParseLaunchSwitches(L"-t")).closeRunning);
  const FORWARD_PLAN close = PlanSecondInstance(ParseLaunchSwitches(L"-c"));
  EXPECT_TRUE(close.closeRunning);
  EXPECT_EQ(close.message, 1127u);

  EXPECT_EQ(LibraryPathBeside(L"C:\\Program Files\\Quarvelo\\Quarvelo.exe"),
            L"C:\\Program Files\\Quarvelo\\QuarveloDll.dll");
  EXPECT_EQ(LibraryPathBeside(L"Z:/build/x-t/Quarvelo.exe"), L"Z:/build/x-t/QuarveloDll.dll");
  // No folder known: no library, rather than one found along the search path.
  EXPECT_EQ(LibraryPathBeside(L"Quarvelo.exe"), L"");
  EXPECT_EQ(LibraryPathBeside(L""), L"");
}

// A loader over one module with the given exports, recording every call in g_log.
std::vector<std::string> g_log;
std::int32_t ClosedNormally() {
  g_log.push_back("call");
  return 1;
}
std::int32_t LeftOpen() {
  g_log.push_back("call");
  return 0;
}

class CRecordingLoader final : public ILibraryLoader {
 public:
  std::wstring file;  // the one file that exists
  bool loadFails = false;
  std::map<std::string, ExportFunction> exports;

  CRecordingLoader() { g_log.clear(); }
  bool FileExists(std::wstring_view path) override {
    g_log.push_back("exists " + ToUtf8(path));
    return path == file;
  }
  Module Load(std::wstring_view path) override {
    g_log.push_back("load " + ToUtf8(path));
    return loadFails ? nullptr : &m_module;
  }
  ExportFunction FindExport(Module module, const char* name) override {
    EXPECT_EQ(module, &m_module);
    g_log.push_back(std::string("find ") + name);
    const auto found = exports.find(name);
    return found != exports.end() ? found->second : nullptr;
  }
  void Free(Module module) override {
    EXPECT_EQ(module, &m_module);
    g_log.push_back("free");
  }

 private:
  int m_module = 0;
};

TEST(LibraryBinding, LoadsOnFirstCallAndUnloadsOnlyAfterANormalClose) {
  constexpr wchar_t kPath[] = L"C:\\Q\\QuarveloDll.dll";
  using Log = std::vector<std::string>;
  {
    SCOPED_TRACE("no file: nothing loaded");
    CRecordingLoader loader;
    CLibraryBinding binding(loader, kPath);
    EXPECT_EQ(binding.Call("ShowMainDialog"), std::nullopt);
    EXPECT_EQ(g_log, (Log{"exists C:\\Q\\QuarveloDll.dll"}));
  }
  {
    SCOPED_TRACE("no path: not even looked for");
    CRecordingLoader loader;
    CLibraryBinding binding(loader, L"");
    EXPECT_EQ(binding.Call("ShowMainDialog"), std::nullopt);
    EXPECT_TRUE(g_log.empty());
  }
  {
    SCOPED_TRACE("the file does not load");
    CRecordingLoader loader;
    loader.file = kPath;
    loader.loadFails = true;
    CLibraryBinding binding(loader, kPath);
    EXPECT_EQ(binding.Call("ShowMainDialog"), std::nullopt);
    EXPECT_FALSE(binding.loaded());
  }
  {
    SCOPED_TRACE("normal close unloads; the next call loads again; a missing export keeps it");
    CRecordingLoader loader;
    loader.file = kPath;
    loader.exports = {{"ShowStartScan", ClosedNormally}, {"ShowMainDialog", LeftOpen}};
    CLibraryBinding binding(loader, kPath);
    EXPECT_EQ(binding.Call("ShowStartScan"), 1);
    EXPECT_FALSE(binding.loaded());
    EXPECT_EQ(binding.Call("ShowMainDialogFirst"), std::nullopt);
    EXPECT_TRUE(binding.loaded());
    EXPECT_EQ(binding.Call("ShowMainDialog"), 0);
    EXPECT_TRUE(binding.loaded());
    EXPECT_EQ(g_log, (Log{"exists C:\\Q\\QuarveloDll.dll", "load C:\\Q\\QuarveloDll.dll",
                               "find ShowStartScan", "call", "free",
                               "exists C:\\Q\\QuarveloDll.dll", "load C:\\Q\\QuarveloDll.dll",
                               "find ShowMainDialogFirst", "find ShowMainDialog", "call"}));
  }
}

}  // namespace
}  // namespace qv
