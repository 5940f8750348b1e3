#include "checks/check_pass.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "console/console_texts.h"
#include "platform/platform.h"
#include "tests/support/captured_output.h"
#include "tests/support/temp_folder.h"

namespace {

std::string countLine(const std::string& key, std::size_t count) {
  return key + "\n" + std::to_string(count) + "\n\n";
}

std::string groupReport(const std::vector<std::string>& names) {
  std::string text = texts::kGroupErrorCount + std::to_string(names.size()) + "\n";
  for (std::size_t n = 0; n < names.size(); ++n) {
    text += texts::kErrorImageNumber + std::to_string(n + 1) + "\n";
    text += texts::kErrorImageName + names[n] + "\n";
  }
  return text;
}

// Groups keyed by `keys`, group k holding `sizes[k]` paths "dir/<key>-<i>".
ValueGroups makeGroups(const std::vector<std::string>& keys, const std::vector<int>& sizes) {
  ValueGroups groups;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    for (int i = 1; i <= sizes[k]; ++i) {
      groups[keys[k]].push_back("dir/" + keys[k] + "-" + std::to_string(i));
    }
  }
  return groups;
}

std::vector<std::string> namesOf(const std::string& key, int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back(key + "-" + std::to_string(i));
  return names;
}

// Which groups the consistency comparison reports, for groups of given sizes
// in key order; every group that is not the reference is reported.
TEST(ReportByConsistency, ReportsEveryGroupButTheLargest) {
  struct Case {
    std::vector<int> sizes;  // keys "a", "b", "c" in that order
    std::vector<std::string> reported;
  };
  const Case cases[] = {
      {{}, {}},
      {{4}, {}},
      {{3, 1}, {"b"}},
      {{1, 3}, {"a"}},
      {{2, 2}, {"b"}},  // tie: the first in key order is the reference
      {{1, 5, 2}, {"a", "c"}},
      {{2, 2, 1}, {"b", "c"}},
      {{1, 2, 2}, {"a", "c"}},
      {{3, 3, 3}, {"b", "c"}},
      {{1, 1, 4}, {"a", "b"}},
  };
  const std::vector<std::string> allKeys = {"a", "b", "c"};
  for (const Case& c : cases) {
    const std::vector<std::string> keys(allKeys.begin(), allKeys.begin() + c.sizes.size());
    ValueGroups groups = makeGroups(keys, c.sizes);

    std::string expected;
    for (std::size_t k = 0; k < keys.size(); ++k) expected += countLine(keys[k], c.sizes[k]);
    std::vector<std::string> expectedFindings;
    if (c.reported.empty()) expected += groupReport({});
    for (const std::string& key : c.reported) {
      const auto names = namesOf(key, c.sizes[key[0] - 'a']);
      expected += groupReport(names);
      expectedFindings.insert(expectedFindings.end(), names.begin(), names.end());
    }

    std::vector<std::string> findings;
    bool flag = false;
    CapturedOutput out;
    reportByConsistency(groups, findings, flag);
    EXPECT_EQ(out.text(), expected);
    EXPECT_EQ(findings, expectedFindings);
    EXPECT_EQ(flag, !expectedFindings.empty());
  }
}

TEST(ReportByConsistency, ReportsTheErrorGroupFirstAndLeavesItOutOfTheComparison) {
  // Three unreadable files would outnumber either real group.
  ValueGroups groups = makeGroups({"4000*3000", "6000*4000", "error"}, {2, 1, 3});
  std::vector<std::string> findings = {"earlier"};
  bool flag = false;
  CapturedOutput out;
  reportByConsistency(groups, findings, flag);

  EXPECT_EQ(out.text(), countLine("error", 3) + groupReport(namesOf("error", 3)) +
                            countLine("4000*3000", 2) + countLine("6000*4000", 1) +
                            groupReport(namesOf("6000*4000", 1)));
  EXPECT_EQ(findings,
            (std::vector<std::string>{"earlier", "error-1", "error-2", "error-3", "6000*4000-1"}));
  EXPECT_TRUE(flag);
  EXPECT_EQ(groups.count("error"), 0u);
}

TEST(ReportByConsistency, OnlyUnreadableFilesEndWithAnEmptyComparison) {
  ValueGroups groups = makeGroups({"error"}, {1});
  std::vector<std::string> findings;
  bool flag = false;
  CapturedOutput out;
  reportByConsistency(groups, findings, flag);
  EXPECT_EQ(out.text(), countLine("error", 1) + groupReport({"error-1"}) + groupReport({}));
  EXPECT_TRUE(flag);
}

TEST(ReportByConsistency, AnEmptyKeyIsListedAsAnEmptyLine) {
  ValueGroups groups = makeGroups({"", "Canon"}, {1, 9});
  std::vector<std::string> findings;
  bool flag = false;
  CapturedOutput out;
  reportByConsistency(groups, findings, flag);
  EXPECT_EQ(out.text(), "\n1\n\n" + countLine("Canon", 9) + groupReport({"-1"}));
}

TEST(ReportMissingValues, ReportsTheMissingKeyAndErrorRightAfterTheirListing) {
  const ValueGroups groups = makeGroups({"0", "100", "24", "error"}, {1, 1, 2, 2});
  std::vector<std::string> findings;
  bool flag = false;
  CapturedOutput out;
  reportMissingValues(groups, "0", findings, flag);
  EXPECT_EQ(out.text(), countLine("0", 1) + groupReport({"0-1"}) + countLine("100", 1) +
                            countLine("24", 2) + countLine("error", 2) +
                            groupReport({"error-1", "error-2"}));
  EXPECT_EQ(findings, (std::vector<std::string>{"0-1", "error-1", "error-2"}));
  EXPECT_TRUE(flag);
}

TEST(ReportMissingValues, GroupsInOrderReportNothing) {
  const ValueGroups groups = makeGroups({"24", "35"}, {3, 1});
  std::vector<std::string> findings;
  bool flag = false;
  CapturedOutput out;
  reportMissingValues(groups, "0", findings, flag);
  EXPECT_EQ(out.text(), countLine("24", 3) + countLine("35", 1));
  EXPECT_TRUE(findings.empty());
  EXPECT_FALSE(flag);

  CapturedOutput none;
  reportMissingValues({}, "1", findings, flag);
  EXPECT_EQ(none.text(), "");
}

#ifndef _WIN32
bool fileAllAsX(const ExifRecord&, std::string& valueText) {
  valueText = "x";
  return true;
}

// Files that exist but cannot be read are filed under "error"; a path that
// no longer exists gets its header line and nothing else. Unreadable here
// means not a regular file (a named pipe, a link to a device): the tests may
// run as root, for whom a file without read permission is still readable.
// A dangling link fails the existence test, like a file removed since the scan.
TEST(FileImages, UnreadableFilesAreErrorsMissingOnesAreSkipped) {
  TempFolder folder;
  const std::string text = folder / "notes.txt";
  writeFileBytes(text, "not a photo");
  const std::string empty = folder / "empty.jpg";
  writeFileBytes(empty, "");
  const std::string fifo = folder / "pipe.jpg";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);  // never opened, so never blocks
  const std::string device = folder / "device.jpg";
  ASSERT_EQ(::symlink("/dev/null", device.c_str()), 0);
  const std::string dangling = folder / "gone.jpg";
  ASSERT_EQ(::symlink("nowhere.jpg", dangling.c_str()), 0);
  const std::string missing = folder / "removed.jpg";

  const CheckRow check{0,
                       "",
                       "H: ",
                       fileAllAsX,
                       ReportingRule::missingValueReport,
                       "x",
                       0,
                       "",
                       &CheckFindings::gpsImages};
  CapturedOutput out;
  const ValueGroups groups = fileImages(check, {text, missing, fifo, empty, dangling, device});
  EXPECT_EQ(out.text(),
            std::string("\n") + texts::kImageCount + "6\nH: 1\nH: 2\nH: 3\nH: 4\nH: 5\nH: 6\n");
  EXPECT_EQ(groups, (ValueGroups{{"error", {text, fifo, empty, device}}}));
}
#endif

}  // namespace
