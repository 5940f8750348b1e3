#include "checks/check_pass.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "checks/check_table.h"
#include "console/console_texts.h"
#include "platform/platform.h"
#include "tests/support/captured_output.h"
#include "tests/support/jpeg_builder.h"
#include "tests/support/sanitizer_build.h"
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

// Filled value groups with the image list they point into.
struct FiledSet {
  platform::PathList images;
  ValueGroups groups;
};

// Groups keyed by `keys`, group k holding `sizes[k]` images "dir/<key>-<i>".
FiledSet makeGroups(const std::vector<std::string>& keys, const std::vector<int>& sizes) {
  FiledSet set;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    for (int i = 1; i <= sizes[k]; ++i) {
      set.groups[keys[k]].push_back(set.images.size());
      set.images.push_back("dir/" + keys[k] + "-" + std::to_string(i));
    }
  }
  return set;
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
    FiledSet set = makeGroups(keys, c.sizes);

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
    reportByConsistency(set.groups, set.images, findings, flag);
    EXPECT_EQ(out.text(), expected);
    EXPECT_EQ(findings, expectedFindings);
    EXPECT_EQ(flag, !expectedFindings.empty());
  }
}

TEST(ReportByConsistency, ReportsTheErrorGroupFirstAndLeavesItOutOfTheComparison) {
  // Three unreadable files would outnumber either real group.
  FiledSet set = makeGroups({"4000*3000", "6000*4000", "error"}, {2, 1, 3});
  std::vector<std::string> findings = {"earlier"};
  bool flag = false;
  CapturedOutput out;
  reportByConsistency(set.groups, set.images, findings, flag);

  EXPECT_EQ(out.text(), countLine("error", 3) + groupReport(namesOf("error", 3)) +
                            countLine("4000*3000", 2) + countLine("6000*4000", 1) +
                            groupReport(namesOf("6000*4000", 1)));
  EXPECT_EQ(findings,
            (std::vector<std::string>{"earlier", "error-1", "error-2", "error-3", "6000*4000-1"}));
  EXPECT_TRUE(flag);
  EXPECT_EQ(set.groups.count("error"), 0u);
}

TEST(ReportByConsistency, OnlyUnreadableFilesEndWithAnEmptyComparison) {
  FiledSet set = makeGroups({"error"}, {1});
  std::vector<std::string> findings;
  bool flag = false;
  CapturedOutput out;
  reportByConsistency(set.groups, set.images, findings, flag);
  EXPECT_EQ(out.text(), countLine("error", 1) + groupReport({"error-1"}) + groupReport({}));
  EXPECT_TRUE(flag);
}

TEST(ReportByConsistency, AnEmptyKeyIsListedAsAnEmptyLine) {
  FiledSet set = makeGroups({"", "Canon"}, {1, 9});
  std::vector<std::string> findings;
  bool flag = false;
  CapturedOutput out;
  reportByConsistency(set.groups, set.images, findings, flag);
  EXPECT_EQ(out.text(), "\n1\n\n" + countLine("Canon", 9) + groupReport({"-1"}));
}

TEST(ReportMissingValues, ReportsTheMissingKeyAndErrorRightAfterTheirListing) {
  const FiledSet set = makeGroups({"0", "100", "24", "error"}, {1, 1, 2, 2});
  std::vector<std::string> findings;
  bool flag = false;
  CapturedOutput out;
  reportMissingValues(set.groups, set.images, "0", findings, flag);
  EXPECT_EQ(out.text(), countLine("0", 1) + groupReport({"0-1"}) + countLine("100", 1) +
                            countLine("24", 2) + countLine("error", 2) +
                            groupReport({"error-1", "error-2"}));
  EXPECT_EQ(findings, (std::vector<std::string>{"0-1", "error-1", "error-2"}));
  EXPECT_TRUE(flag);
}

TEST(ReportMissingValues, GroupsInOrderReportNothing) {
  const FiledSet set = makeGroups({"24", "35"}, {3, 1});
  std::vector<std::string> findings;
  bool flag = false;
  CapturedOutput out;
  reportMissingValues(set.groups, set.images, "0", findings, flag);
  EXPECT_EQ(out.text(), countLine("24", 3) + countLine("35", 1));
  EXPECT_TRUE(findings.empty());
  EXPECT_FALSE(flag);

  CapturedOutput none;
  reportMissingValues({}, {}, "1", findings, flag);
  EXPECT_EQ(none.text(), "");
}

#ifndef _WIN32
bool fileAllAsX(const ImageFacts&, std::string& valueText) {
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
  KeptImages kept;
  const ValueGroups groups =
      fileImages(check, {text, missing, fifo, empty, dangling, device}, kept);
  EXPECT_EQ(out.text(),
            std::string("\n") + texts::kImageCount + "6\nH: 1\nH: 2\nH: 3\nH: 4\nH: 5\nH: 6\n");
  EXPECT_EQ(groups, (ValueGroups{{"error", {0, 2, 3, 5}}}));
}
#endif

// A set of photos, not-photos and removed files, filed by the focal length
// check with the images read one after another and with several read-ahead
// settings: the same lines, groups and kept facts every time. A second pass
// reads nothing: it files the same groups after the files are gone.
TEST(FileImages, ReadsEachImageOnceInListOrderWhateverTheReadAhead) {
  TempFolder folder;
  platform::PathList images;
  ValueGroups expected;
  std::string expectedOut = std::string("\n") + texts::kImageCount + "50\n";
  for (std::size_t i = 0; i < 50; ++i) {
    const std::string path = folder / ("p" + std::to_string(i) + ".jpg");
    images.push_back(path);
    expectedOut += texts::kFocalLengthHeader + std::to_string(i + 1) + "\n";
    if (i % 7 == 5) continue;  // never there
    if (i % 7 == 3) {
      writeFileBytes(path, "not a photo");
      expected[kErrorKey].push_back(i);
      continue;
    }
    const auto focal = static_cast<std::uint16_t>(20 + i % 3);
    testsupport::ExifBuilder exif;
    exif.addShorts(testsupport::Ifd::exif, 0xA405, {focal});  // FocalLengthIn35mmFilm
    writeFileBytes(path, testsupport::JpegBuilder().exif(exif.segment()).build());
    expected[std::to_string(focal)].push_back(i);
  }

  const CheckRow& focalLength = kCheckRows[2];
  const ReadAheadLimits limits[] = {{0, 1},       {1, 1, 1},   {3, 2, 3},
                                    {16, 64, 16}, {64, 8, 64}, {16, 64}};
  for (const ReadAheadLimits& limit : limits) {
    SCOPED_TRACE(testing::Message() << limit.readsInFlight << " reads, window " << limit.window);
    KeptImages kept;
    kept.keepFacts = true;
    CapturedOutput out;
    EXPECT_EQ(fileImages(focalLength, images, kept, limit), expected);
    EXPECT_EQ(out.text(), expectedOut);
    const std::vector<ImageFacts>& facts = kept.facts;
    ASSERT_EQ(facts.size(), images.size());
    EXPECT_EQ(facts[5].read, ImageRead::missing);
    EXPECT_EQ(facts[3].read, ImageRead::decoded);
    EXPECT_EQ(facts[3].result, exifNotJpeg);
    EXPECT_EQ(facts[4].focalLength35mm, 21);
  }

  // Kept as value texts for the later passes (the same check, and the
  // resolution check), or as the facts themselves.
  const CheckRow& resolution = kCheckRows[0];
  ValueGroups resolutionGroups;
  KeptImages asTexts;
  asTexts.laterChecks = {&focalLength, &resolution};
  KeptImages asFacts;
  asFacts.keepFacts = true;
  {
    CapturedOutput out;
    fileImages(focalLength, images, asTexts);
    fileImages(focalLength, images, asFacts);
    KeptImages fresh;
    resolutionGroups = fileImages(resolution, images, fresh);
  }
  EXPECT_EQ(asTexts.facts.size(), 0u);
  for (const platform::FilePath& image : images) std::remove(image.text.c_str());
  for (KeptImages* kept : {&asTexts, &asFacts}) {
    CapturedOutput out;
    EXPECT_EQ(fileImages(focalLength, images, *kept), expected);
    EXPECT_EQ(out.text(), expectedOut);
  }
  CapturedOutput out;
  EXPECT_EQ(fileImages(resolution, images, asTexts), resolutionGroups);
}

}  // namespace

// An allocation no system can give, whatever its memory.
void allocateTooMuch() {
  volatile std::size_t tooMuch = std::size_t{1} << 62;
  ::operator delete(::operator new(tooMuch));
}

// After the first pass a shortage takes the kept facts once (the side files
// are lost, the run is not) and then throws as usual; none is taken once the
// side files are to be made.
TEST(LetFactsGoWhenShort, AShortageTakesTheKeptFactsOnceAndOnlyWhileHeldOut) {
  if (testsupport::kSanitized) {
    GTEST_SKIP() << "a sanitizer's allocator ends the process on an allocation this large";
  }
  struct Case {
    const char* name;
    bool keepFacts;
    bool heldOutUntilTheShortage;
    bool dropped;
  };
  const Case cases[] = {
      {"facts kept, held out", true, true, true},
      {"facts kept, taken back before", true, false, false},
      {"no facts kept", false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KeptImages kept;
    kept.keepFacts = c.keepFacts;
    kept.facts.resize(c.keepFacts ? 1000 : 0);
    letFactsGoWhenShort(&kept);
    if (!c.heldOutUntilTheShortage) letFactsGoWhenShort(nullptr);
    EXPECT_THROW(allocateTooMuch(), std::bad_alloc);
    EXPECT_EQ(kept.factsDropped, c.dropped);
    EXPECT_EQ(kept.facts.empty(), c.dropped || !c.keepFacts);
    EXPECT_EQ(std::get_new_handler(), nullptr);
    letFactsGoWhenShort(nullptr);
  }
}
