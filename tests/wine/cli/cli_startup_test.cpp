// QuarveloCli.exe startup on the real registry of a throwaway prefix: a current user's Run value
// listed, disabled into its MSConfig record and enabled back with its exact bytes; a name listed
// twice needs --location; an unknown name is refused. A Run value that Task Manager switched off
// is listed Off and enabled by its switch alone; the machine's 32-bit Run key is listed and its
// entry goes through the record and back into that key.
#include <gtest/gtest.h>
#include <windows.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "tests/support/win32/cli_child.h"

namespace qv {
namespace {

using namespace test;  // the child and seeding helpers
using Json = nlohmann::json;

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRecord[] =
    L"SOFTWARE\\Microsoft\\Shared Tools\\MSConfig\\startupreg\\QvCliAgent";

std::vector<BYTE> RawValue(HKEY root, const std::wstring& subkey, const std::wstring& name,
                           DWORD* type) {
  std::vector<BYTE> data(4096);
  DWORD bytes = static_cast<DWORD>(data.size());
  *type = REG_NONE;
  if (RegGetValueW(root, subkey.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, type, data.data(),
                   &bytes) != ERROR_SUCCESS) {
    return {};
  }
  data.resize(bytes);
  return data;
}

// The listed rows of this name, as JSON objects.
std::vector<Json> AgentRows(const std::string& name = "QvCliAgent") {
  const CHILD_RESULT listed = RunCli(L"startup list --json");
  EXPECT_EQ(listed.exitCode, 0u) << listed.err;
  std::vector<Json> rows;
  const Json report = Json::parse(listed.out, nullptr, false);
  EXPECT_TRUE(report.contains("items")) << listed.out;
  if (!report.contains("items")) return rows;
  for (const Json& item : report["items"]) {
    if (item["name"] == name) rows.push_back(item);
  }
  return rows;
}

TEST(CliStartup, RunValueListedDisabledAndEnabledBack) {
  const std::wstring command = L"\"C:\\Program Files\\QvCli\\agent.exe\" /tray \u00e9";
  SetString(HKEY_CURRENT_USER, kRun, L"QvCliAgent", command);
  DWORD type = 0;
  const std::vector<BYTE> original = RawValue(HKEY_CURRENT_USER, kRun, L"QvCliAgent", &type);
  ASSERT_EQ(type, static_cast<DWORD>(REG_SZ));
  const std::string utf8Command = ToUtf8(command);

  std::vector<Json> rows = AgentRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (Json{{"name", "QvCliAgent"},
                           {"command", utf8Command},
                           {"location", "HKEY_CURRENT_USER/Run"},
                           {"enabled", true}}));
  const CHILD_RESULT text = RunCli(L"startup list");
  EXPECT_EQ(text.exitCode, 0u);
  EXPECT_NE(text.out.find("On\tQvCliAgent\t" + utf8Command + "\tHKEY_CURRENT_USER/Run\r\n"),
            std::string::npos)
      << text.out;

  // Any case of the name; the value goes into the record.
  CHILD_RESULT result = RunCli(L"startup disable qvcliagent");
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_EQ(result.out, "Disabled QvCliAgent (HKEY_CURRENT_USER/Run)\r\n");
  EXPECT_TRUE(RawValue(HKEY_CURRENT_USER, kRun, L"QvCliAgent", &type).empty());
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRecord, L"command"), command);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRecord, L"hkey"), L"HKEY_CURRENT_USER");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRecord, L"key"), kRun);
  rows = AgentRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["enabled"], false);
  EXPECT_EQ(rows[0]["location"],
            "HKEY_CURRENT_USER/Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  result = RunCli(L"startup disable QvCliAgent");
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(result.out,
            "QvCliAgent (HKEY_CURRENT_USER/Software\\Microsoft\\Windows\\CurrentVersion\\Run) is "
            "already Off\r\n");

  // Re-added while disabled: listed twice, so --location is needed; the second cannot be
  // disabled over the first one's record.
  SetString(HKEY_CURRENT_USER, kRun, L"QvCliAgent", L"C:\\new-agent.exe");
  result = RunCli(L"startup enable QvCliAgent");
  EXPECT_EQ(result.exitCode, 2u);
  EXPECT_EQ(result.err,
            "QuarveloCli: QvCliAgent is listed more than once; name one with --location:\r\n"
            "  HKEY_CURRENT_USER/Run\r\n"
            "  HKEY_CURRENT_USER/Software\\Microsoft\\Windows\\CurrentVersion\\Run\r\n");
  result = RunCli(L"startup disable QvCliAgent --location hkey_current_user/run");
  EXPECT_EQ(result.exitCode, 1u);
  EXPECT_NE(result.err.find("could not be disabled"), std::string::npos) << result.err;
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRun, L"QvCliAgent"), L"C:\\new-agent.exe");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRecord, L"command"), command);
  ASSERT_EQ(RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, L"QvCliAgent"), ERROR_SUCCESS);

  result = RunCli(L"startup enable QvCliAgent");
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_EQ(result.out,
            "Enabled QvCliAgent (HKEY_CURRENT_USER/Software\\Microsoft\\Windows\\CurrentVersion\\"
            "Run)\r\n");
  EXPECT_EQ(RawValue(HKEY_CURRENT_USER, kRun, L"QvCliAgent", &type), original);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRecord, L"command"), L"<missing>");
  rows = AgentRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["enabled"], true);
  EXPECT_EQ(rows[0]["location"], "HKEY_CURRENT_USER/Run");

  result = RunCli(L"startup enable QvCliMissing");
  EXPECT_EQ(result.exitCode, 2u);
  EXPECT_EQ(result.err,
            "QuarveloCli: no startup entry is named QvCliMissing (see QuarveloCli.exe startup "
            "list)\r\n");
  result = RunCli(L"startup disable");
  EXPECT_EQ(result.exitCode, 2u);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, L"QvCliAgent");
}

TEST(CliStartup, TaskManagersSwitchListedOffAndTurnedOnAndThe32BitRunKeyRoundTrips) {
  const std::wstring switches =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
  const std::wstring run32 = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::wstring command = L"C:\\QvCli\\tm.exe -quiet";
  SetString(HKEY_CURRENT_USER, kRun, L"QvCliTm", command);
  // As Task Manager leaves an entry it switched off: status 3, then the time it did.
  const BYTE off[12] = {3, 0, 0, 0, 0x71, 0xC9, 0x33, 0xAE, 0x16, 0xD9, 0xD1, 0x01};
  SetValue(HKEY_CURRENT_USER, switches, L"QvCliTm", REG_BINARY, off, sizeof(off));
  const std::wstring command32 = L"\"C:\\Program Files (x86)\\QvCli\\old.exe\" /s";
  SetString(HKEY_LOCAL_MACHINE, run32, L"QvCli32", command32);
  DWORD type = 0;
  const std::vector<BYTE> runValue = RawValue(HKEY_CURRENT_USER, kRun, L"QvCliTm", &type);
  const std::vector<BYTE> value32 = RawValue(HKEY_LOCAL_MACHINE, run32, L"QvCli32", &type);

  std::vector<Json> rows = AgentRows("QvCliTm");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (Json{{"name", "QvCliTm"},
                           {"command", ToUtf8(command)},
                           {"location", "HKEY_CURRENT_USER/Run"},
                           {"enabled", false}}));
  rows = AgentRows("QvCli32");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["location"], "HKEY_LOCAL_MACHINE/Run32");
  EXPECT_EQ(rows[0]["enabled"], true);
  const CHILD_RESULT text = RunCli(L"startup list");
  EXPECT_NE(text.out.find("Off\tQvCliTm\t" + ToUtf8(command) + "\tHKEY_CURRENT_USER/Run\r\n"),
            std::string::npos)
      << text.out;
  CHILD_RESULT result = RunCli(L"startup disable QvCliTm");
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(result.out, "QvCliTm (HKEY_CURRENT_USER/Run) is already Off\r\n");

  // Switched on: the switch in its enabled form, the Run value as it was, no record.
  result = RunCli(L"startup enable QvCliTm");
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_EQ(result.out, "Enabled QvCliTm (HKEY_CURRENT_USER/Run)\r\n");
  EXPECT_EQ(RawValue(HKEY_CURRENT_USER, switches, L"QvCliTm", &type),
            (std::vector<BYTE>{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(RawValue(HKEY_CURRENT_USER, kRun, L"QvCliTm", &type), runValue);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE,
                       L"SOFTWARE\\Microsoft\\Shared Tools\\MSConfig\\startupreg\\QvCliTm",
                       L"item"),
            L"<missing>");
  rows = AgentRows("QvCliTm");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["enabled"], true);

  // The 32-bit entry: into its record with the key's real path, and back byte for byte.
  result = RunCli(L"startup disable QvCli32");
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  const std::wstring record32 = L"SOFTWARE\\Microsoft\\Shared Tools\\MSConfig\\startupreg\\QvCli32";
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, record32, L"key"), run32);
  EXPECT_TRUE(RawValue(HKEY_LOCAL_MACHINE, run32, L"QvCli32", &type).empty());
  result = RunCli(L"startup enable QvCli32");
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_EQ(result.out, "Enabled QvCli32 (HKEY_LOCAL_MACHINE/Software\\Wow6432Node\\Microsoft\\"
                        "Windows\\CurrentVersion\\Run)\r\n");
  EXPECT_EQ(RawValue(HKEY_LOCAL_MACHINE, run32, L"QvCli32", &type), value32);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(AgentRows("QvCli32").at(0)["location"], "HKEY_LOCAL_MACHINE/Run32");
}

}  // namespace
}  // namespace qv
