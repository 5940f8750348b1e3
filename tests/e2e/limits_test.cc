// The tool's own limits never change the verdict: under a descriptor limit,
// an address-space limit or a small stack, a run prints exactly what the
// unlimited run prints, with the same status and error.json, or it stops
// with its one line and status 1 after printing only what the unlimited run
// printed too.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/console_texts.h"
#include "tests/e2e/limited_run.h"
#include "tests/e2e/photo_set.h"

namespace {

// 200 photos (or `count`), a few not photos at all and in each check a few
// that differ: every check runs and every group kind is printed.
struct LimitSet {
  TempFolder root;
  std::string images = root / "images";
  std::string output = root / "out";
  std::string settings = root / "photocheck.settings";

  // From photo `written` on, each is a hard link to an earlier one: a large
  // set made in seconds.
  explicit LimitSet(int count = 200, int written = 200) {
    for (int i = 0; i < count; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "p%04d.jpg", i);
      if (i >= written) {
        char first[16];
        std::snprintf(first, sizeof first, "p%04d.jpg", i % written);
        EXPECT_EQ(::link((images + kSep + first).c_str(), (images + kSep + name).c_str()), 0);
        continue;
      }
      if (i % 50 == 7) {
        writeFileBytes(images + kSep + name, "not a photo");
        continue;
      }
      e2e::Photo photo;
      if (i % 10 == 3) photo.width = 5000;
      if (i % 25 == 4) photo.make = "Nikon";
      if (i % 30 == 5) photo.focalLength35mm.reset();
      if (i % 40 == 6) photo.gps.reset();
      e2e::writePhoto(images + kSep + name, photo);
    }
    std::string text;
    for (const auto& [key, value] : e2e::settingsOf(images, output, {})) {
      text += key + " = " + value + "\n";
    }
    writeFileBytes(settings, text);
  }
};

struct Outcome {
  ToolRun run;
  std::optional<std::string> report;
};

Outcome runUnder(const LimitSet& set, const e2e::RunLimits& limits) {
  std::remove((set.output + "/error.json").c_str());
  Outcome outcome;
  outcome.run = e2e::runLimited(PHOTOCHECK_EXE, {set.settings}, limits);
  outcome.report = readFileBytes(set.output + "/error.json");
  return outcome;
}

const std::string kStopLine = std::string(texts::kRunCannotGoOn) + "\n";

// The run is the unlimited one, or a clear stop: what it printed before its
// stop line the unlimited run printed too, and it wrote no other report.
::testing::AssertionResult sameOrClearStop(const Outcome& limited, const Outcome& unlimited) {
  const ToolRun& run = limited.run;
  if (run.out == unlimited.run.out && run.status == unlimited.run.status &&
      limited.report == unlimited.report) {
    return ::testing::AssertionSuccess();
  }
  const bool stopLineLast =
      run.out.size() >= kStopLine.size() &&
      run.out.compare(run.out.size() - kStopLine.size(), kStopLine.size(), kStopLine) == 0;
  const std::string before = run.out.substr(0, run.out.size() - kStopLine.size());
  if (run.status == 1 && stopLineLast && unlimited.run.out.compare(0, before.size(), before) == 0 &&
      (!limited.report || limited.report == unlimited.report)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "status " << run.status << ", " << run.out.size() << " bytes out, ending with: "
         << run.out.substr(run.out.size() - std::min<std::size_t>(run.out.size(), 200));
}

TEST(Limits, DescriptorLimitsFromFourUpGiveTheUnlimitedRun) {
  if (e2e::kSanitized) {
    GTEST_SKIP() << "a sanitizer runtime opens files of its own (the process's maps, its "
                    "symbolizer) that a limit of a few descriptors does not leave room for";
  }
  const LimitSet set;
  const Outcome unlimited = runUnder(set, {});
  ASSERT_EQ(unlimited.run.status, 1);
  ASSERT_TRUE(unlimited.report.has_value());
  // 4: the three standard streams and one more, enough for one photo at a
  // time; the others leave room for some reading threads but not for all.
  for (const rlim_t files : {4, 5, 6, 8, 12}) {
    SCOPED_TRACE("file descriptor limit " + std::to_string(files));
    const Outcome limited = runUnder(set, e2e::limitedTo(RLIMIT_NOFILE, files));
    EXPECT_EQ(limited.run.out, unlimited.run.out);
    EXPECT_EQ(limited.run.status, unlimited.run.status);
    EXPECT_EQ(limited.report, unlimited.report);
  }
}

TEST(Limits, AddressSpaceLimitsGiveTheUnlimitedRunOrAClearStop) {
  if (e2e::kSanitized) {
    GTEST_SKIP() << "a sanitizer runtime reserves terabytes of address space: a limit of a few "
                    "MiB tests it, not the tool";
  }
  const LimitSet set;
  const Outcome unlimited = runUnder(set, {});
  ASSERT_TRUE(unlimited.report.has_value());
  // From the least the executable needs to start at all (its C library's own
  // start-up fails below it, before the tool runs: about 2.3 MiB for the
  // static executable) on, in 128 KiB steps: the low end leaves no memory for
  // a photo's buffers, the high end runs short with threads at work.
  rlim_t start = 1024;
  while (start < 8192 &&
         e2e::runLimited(PHOTOCHECK_EXE, {"--version"}, e2e::limitedTo(RLIMIT_AS, start * 1024))
                 .status != 0) {
    start += 128;
  }
  int stops = 0;
  int runs = 0;
  for (rlim_t kib = start; kib <= start + 10496; kib += 128, ++runs) {
    SCOPED_TRACE("address space limit " + std::to_string(kib) + " KiB");
    const Outcome limited = runUnder(set, e2e::limitedTo(RLIMIT_AS, kib * 1024));
    EXPECT_TRUE(sameOrClearStop(limited, unlimited));
    if (limited.run.out != unlimited.run.out) ++stops;
  }
  // The sweep reaches both ends: runs that stop and runs that get through.
  EXPECT_GT(stops, 0);
  EXPECT_LT(stops, runs);
}

// A limit that the taking thread alone gets through never stops the run:
// at 6 MiB no worker can start and the taking thread reads alone from the
// first photo; at 11 MiB workers start, run short, end and give back what
// they had (their stacks, their buffers), and the taking thread goes on
// alone with what a run that never started one would have had.
TEST(Limits, ARunThatGoesOnAloneHasWhatARunWithoutWorkersHas) {
  if (e2e::kSanitized) {
    GTEST_SKIP() << "a sanitizer runtime reserves terabytes of address space: a limit of a few "
                    "MiB tests it, not the tool";
  }
  const LimitSet set(2000);
  const Outcome unlimited = runUnder(set, {});
  ASSERT_TRUE(unlimited.report.has_value());
  for (const rlim_t kib : {6 * 1024, 11 * 1024}) {
    SCOPED_TRACE("address space limit " + std::to_string(kib) + " KiB");
    const Outcome limited = runUnder(set, e2e::limitedTo(RLIMIT_AS, kib * 1024));
    EXPECT_EQ(limited.run.out, unlimited.run.out);
    EXPECT_EQ(limited.run.status, unlimited.run.status);
    EXPECT_EQ(limited.report, unlimited.report);
  }
}

TEST(Limits, A16KiBStackGivesTheUnlimitedRun) {
  if (e2e::kSanitized) {
    GTEST_SKIP() << "a sanitizer runtime needs far more stack than 16 KiB itself";
  }
  const LimitSet set;
  const Outcome unlimited = runUnder(set, {});
  const Outcome limited = runUnder(set, e2e::limitedTo(RLIMIT_STACK, 16 * 1024));
  EXPECT_EQ(limited.run.out, unlimited.run.out);
  EXPECT_EQ(limited.run.status, unlimited.run.status);
  EXPECT_EQ(limited.report, unlimited.report);
}

// Asking for the side files never stops a run that gets through without
// them: where the memory they need is short (the room for every photo's
// facts at 100,000 photos under a few MiB), only they are lost, each told
// in its line after what the run without them prints.
TEST(Limits, SideFilesShortOfMemoryLeaveTheRunAsItIsWithoutThem) {
  if (e2e::kSanitized) {
    GTEST_SKIP() << "a sanitizer runtime reserves terabytes of address space: a limit of a few "
                    "MiB tests it, not the tool";
  }
  struct Case {
    int photos;
    rlim_t mib;
  };
  const Case cases[] = {{20000, 6}, {100000, 10}, {100000, 12}, {100000, 14}, {100000, 18}};
  std::unique_ptr<LimitSet> set;
  int setPhotos = 0;
  int compared = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.photos) + " photos, " + std::to_string(c.mib) + " MiB");
    if (setPhotos != c.photos) {
      set.reset();
      set = std::make_unique<LimitSet>(c.photos);
      setPhotos = c.photos;
    }
    e2e::RunLimits plainLimits = e2e::limitedTo(RLIMIT_AS, c.mib * 1024 * 1024);
    plainLimits.environment = {"PATH=/usr/bin:/bin"};
    plainLimits.timeout = std::chrono::milliseconds(120000);
    const Outcome plain = runUnder(*set, plainLimits);
    const bool stopped = plain.run.out.size() >= kStopLine.size() &&
                         plain.run.out.compare(plain.run.out.size() - kStopLine.size(),
                                               kStopLine.size(), kStopLine) == 0;
    if (stopped || (plain.run.status != 0 && plain.run.status != 1)) {
      std::cout << "[   NOTE   ] " << c.photos << " photos under " << c.mib
                << " MiB stop without the side files too\n";
      continue;
    }
    e2e::RunLimits sideLimits = plainLimits;
    const std::string page = set->root / "set.html";
    const std::string geoJson = set->root / "set.geojson";
    sideLimits.environment.push_back("PHOTOCHECK_HTML=" + page);
    sideLimits.environment.push_back("PHOTOCHECK_GEOJSON=" + geoJson);
    const Outcome withSideFiles = runUnder(*set, sideLimits);
    ++compared;
    EXPECT_EQ(withSideFiles.run.status, plain.run.status);
    EXPECT_TRUE(withSideFiles.report == plain.report);  // (too long to print)
    ASSERT_EQ(withSideFiles.run.out.compare(0, plain.run.out.size(), plain.run.out), 0)
        << withSideFiles.run.out.substr(withSideFiles.run.out.size() -
                                        std::min<std::size_t>(withSideFiles.run.out.size(), 200));
    const std::string told = withSideFiles.run.out.substr(plain.run.out.size());
    const std::string pageLine = "can not write the HTML page " + page + "\n";
    const std::string geoJsonLine = "can not write the GeoJSON report " + geoJson + "\n";
    EXPECT_TRUE(told.empty() || told == pageLine || told == geoJsonLine ||
                told == pageLine + geoJsonLine)
        << told;
  }
  EXPECT_GT(compared, 0);
}

}  // namespace
#endif
