#include "app/run_identity.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

namespace {

std::tm timeOf(int year, int month, int day, int hour, int minute, int second) {
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

TEST(RunIdentity, TimeWithItsOffsetInIso8601) {
  struct TimeCase {
    std::tm local;
    long offset;
    const char* wanted;
  };
  const TimeCase cases[] = {
      {timeOf(2026, 12, 10, 18, 2, 3), 8 * 3600, "2026-12-10T18:02:03+08:00"},
      {timeOf(2026, 1, 9, 7, 59, 0), -(3 * 3600 + 30 * 60), "2026-01-09T07:59:00-03:30"},
      {timeOf(2026, 6, 30, 0, 0, 59), 0, "2026-06-30T00:00:59+00:00"},
      {timeOf(2027, 3, 1, 23, 45, 9), 5 * 3600 + 45 * 60, "2027-03-01T23:45:09+05:45"},
      {timeOf(987, 2, 3, 4, 5, 6), -10 * 3600, "0987-02-03T04:05:06-10:00"},
  };
  for (const TimeCase& c : cases) EXPECT_EQ(isoTimeOf(c.local, c.offset), c.wanted);
}

// The offset across a day, a month and a year's end, both ways.
TEST(RunIdentity, OffsetFromTheLocalAndTheUtcFormOfOneInstant) {
  struct OffsetCase {
    std::tm local;
    std::tm utc;
    long wanted;
  };
  const OffsetCase cases[] = {
      {timeOf(2027, 1, 1, 7, 0, 0), timeOf(2026, 12, 31, 23, 0, 0), 8 * 3600},
      {timeOf(2026, 12, 31, 20, 30, 0), timeOf(2027, 1, 1, 0, 0, 0), -(3 * 3600 + 30 * 60)},
      {timeOf(2028, 3, 1, 5, 45, 0), timeOf(2028, 2, 29, 23, 0, 0), 6 * 3600 + 45 * 60},
      {timeOf(2026, 7, 4, 12, 0, 0), timeOf(2026, 7, 4, 12, 0, 0), 0},
  };
  for (const OffsetCase& c : cases) EXPECT_EQ(utcOffsetOf(c.local, c.utc), c.wanted);
}

TEST(RunIdentity, IdsDifferInEachSource) {
  std::set<std::string> ids;
  for (const auto& [time, process, random] :
       {std::tuple{1u, 1u, 1u}, std::tuple{2u, 1u, 1u}, std::tuple{1u, 2u, 1u},
        std::tuple{1u, 1u, 2u}, std::tuple{0u, 0u, 0u}}) {
    const std::string id = runIdOf(time, process, random);
    EXPECT_EQ(id.size(), 16u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 5u);
  EXPECT_EQ(runIdOf(7, 8, 9), runIdOf(7, 8, 9));
}

TEST(RunIdentity, EachRunGetsAnIdOfItsOwnAndOneTime) {
  const RunIdentity first = makeRunIdentity();
  const RunIdentity second = makeRunIdentity();
  EXPECT_NE(first.id, second.id);
  EXPECT_EQ(first.id.size(), 16u);
  ASSERT_EQ(first.isoTime.size(), 25u) << first.isoTime;
  EXPECT_EQ(first.isoTime[10], 'T');
  EXPECT_TRUE(first.isoTime[19] == '+' || first.isoTime[19] == '-') << first.isoTime;
  EXPECT_EQ(first.shownTime, first.isoTime.substr(0, 10) + " " + first.isoTime.substr(11, 8));
}

}  // namespace
