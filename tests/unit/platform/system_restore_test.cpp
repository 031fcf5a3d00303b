// The WMI date and time of a listed restore point, read as seconds since 1970 UTC.
#include "platform/system_restore.h"

#include <gtest/gtest.h>

#include "base/utf16.h"

namespace qv {
namespace {

TEST(SystemRestore, ReadsWmiDateTimesAsUtcSeconds) {
  constexpr std::int64_t kUntouched = 0x5EED;
  const struct {
    std::wstring_view text;
    std::int64_t seconds;  // kUntouched: not read
  } cases[] = {
      {L"20190520134916.735563-000", 1558360156},  // as System Restore lists it
      {L"20190520154916.000000+120", 1558360156},  // the same moment, two hours ahead of UTC
      {L"20190520084916.000000-300", 1558360156},  // five hours behind
      {L"20240229000000.000000+000", 1709164800},
      {L"19700101000000.000000+060", -3600},
      {L"20230229000000.000000+000", kUntouched},  // no such day
      {L"20191320000000.000000+000", kUntouched},
      {L"20190520246000.000000+000", kUntouched},
      {L"2019052013****.******+000", kUntouched},  // fields not given
      {L"20190520134916.735563", kUntouched},
      {L"20190520134916.735563*000", kUntouched},
      {L"", kUntouched},
  };
  for (const auto& c : cases) {
    std::int64_t seconds = kUntouched;
    EXPECT_EQ(ParseWmiDateTime(c.text, &seconds), c.seconds != kUntouched) << ToUtf8(c.text);
    EXPECT_EQ(seconds, c.seconds) << ToUtf8(c.text);
  }
}

}  // namespace
}  // namespace qv
