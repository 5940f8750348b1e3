// The four checks as a user meets them: photos in a folder, the console
// bytes, the exit status and error.json after one run of the tool.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "console/console_texts.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/expected_console.h"

namespace {

using e2e::checkStart;
using e2e::groupReport;
using e2e::jsonGroup;
using e2e::jsonReport;
using e2e::listing;
using e2e::Photo;
using e2e::PhotoRun;
using e2e::Switches;
using e2e::writePhoto;

const Switches kResolutionOnly{true, false, false, false};
const Switches kCameraMakerOnly{false, true, false, false};
const Switches kFocalLengthOnly{false, false, true, false};
const Switches kGpsOnly{false, false, false, true};

std::string resolutionStart(std::size_t images) {
  return checkStart(texts::kStartResolution, texts::kResolutionHeader, images);
}
std::string cameraMakerStart(std::size_t images) {
  return checkStart(texts::kStartCameraMaker, texts::kCameraMakerHeader, images);
}
std::string focalLengthStart(std::size_t images) {
  return checkStart(texts::kStartFocalLength, texts::kFocalLengthHeader, images);
}
std::string gpsStart(std::size_t images) {
  return checkStart(texts::kStartGps, texts::kGpsHeader, images);
}

// Checks the console bytes, the status, and that the last console line is
// error.json byte for byte.
void expectFailedRun(const PhotoRun& r, const std::string& expectedOut,
                     const std::string& expectedReport) {
  EXPECT_EQ(r.run.out, expectedConsole(expectedOut + expectedReport + "\n"));
  EXPECT_EQ(r.run.status, 1);
  ASSERT_TRUE(r.report.has_value());
  EXPECT_EQ(*r.report, expectedReport);
}

Photo sized(std::uint32_t width, std::uint32_t height) {
  Photo photo;
  photo.width = width;
  photo.height = height;
  return photo;
}

TEST(Checks, ResolutionWorkedExample) {
  TempFolder root;
  const std::string images = root / "images";
  writePhoto(images + "/1.jpg", sized(4000, 3000));
  writePhoto(images + "/2.jpg", sized(4000, 3000));
  writeFileBytes(images + "/3.jpg", "no EXIF data here");
  writePhoto(images + "/4.jpg", sized(6000, 4000));

  const PhotoRun r = e2e::runOn(root, images, root / "out", kResolutionOnly);
  expectFailedRun(r,
                  e2e::runStart(r, images, root / "out", kResolutionOnly) + resolutionStart(4) +
                      listing("error", 1) + groupReport({"3.jpg"}) + listing("4000*3000", 2) +
                      listing("6000*4000", 1) + groupReport({"4.jpg"}),
                  jsonReport({jsonGroup(101, texts::kResolutionDescription, {"3.jpg", "4.jpg"})}));
}

TEST(Checks, FocalLengthWorkedExample) {
  TempFolder root;
  const std::string images = root / "images";
  Photo focal35;
  focal35.focalLength35mm = 35;
  Photo noFocal;
  noFocal.focalLength35mm.reset();
  writePhoto(images + "/1.jpg", Photo{});
  writePhoto(images + "/2.jpg", Photo{});
  writePhoto(images + "/3.jpg", focal35);
  writePhoto(images + "/4.jpg", noFocal);
  writeFileBytes(images + "/5.jpg", "");

  const PhotoRun r = e2e::runOn(root, images, root / "out", kFocalLengthOnly);
  expectFailedRun(r,
                  e2e::runStart(r, images, root / "out", kFocalLengthOnly) + focalLengthStart(5) +
                      listing("0", 1) + groupReport({"4.jpg"}) + listing("24", 2) +
                      listing("35", 1) + listing("error", 1) + groupReport({"5.jpg"}),
                  jsonReport({jsonGroup(103, texts::kFocalLengthDescription, {"4.jpg", "5.jpg"})}));
}

TEST(Checks, GpsWorkedExample) {
  TempFolder root;
  const std::string images = root / "images";
  Photo noGps;
  noGps.gps.reset();
  writePhoto(images + "/1.jpg", Photo{});
  writePhoto(images + "/2.jpg", noGps);
  writePhoto(images + "/3.jpg", Photo{});
  writeFileBytes(images + "/4.jpg", "\xff\xd8 not really");

  const PhotoRun r = e2e::runOn(root, images, root / "out", kGpsOnly);
  expectFailedRun(r,
                  e2e::runStart(r, images, root / "out", kGpsOnly) + gpsStart(4) + listing("1", 1) +
                      groupReport({"2.jpg"}) + listing("error", 1) + groupReport({"4.jpg"}),
                  jsonReport({jsonGroup(104, texts::kGpsDescription, {"2.jpg", "4.jpg"})}));
}

TEST(Checks, PassingSetPrintsTheListingsAndTheAllClearLine) {
  TempFolder root;
  const std::string images = root / "images";
  Photo focal35;
  focal35.focalLength35mm = 35;
  writePhoto(images + "/1.jpg", Photo{});
  writePhoto(images + "/2.jpg", focal35);
  // Another maker's name with zero bytes after it still groups with "Canon".
  Photo padded;
  padded.make = std::string("Canon\0\0\0", 8);
  writePhoto(images + "/3.jpg", padded);

  const PhotoRun r = e2e::runOn(root, images, root / "out");
  EXPECT_EQ(r.run.out, expectedConsole(e2e::runStart(r, images, root / "out") + resolutionStart(3) +
                                       listing("4000*3000", 3) + groupReport({}) +
                                       cameraMakerStart(3) + listing("Canon", 3) + groupReport({}) +
                                       focalLengthStart(3) + listing("24", 2) + listing("35", 1) +
                                       gpsStart(3) + texts::kAllClear + "\n"));
  EXPECT_EQ(r.run.status, 0);
  EXPECT_FALSE(r.report.has_value());
}

// The groups in key order and which of them are reported: every group but the
// largest, and among equally large ones the first in key order is kept.
TEST(Checks, ConsistencyComparisonKeepsTheLargestGroupAndReportsTheRest) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> widths;  // photo k is named k+1 ".jpg", height 1000
    std::vector<std::pair<std::string, std::vector<std::string>>> groups;
    std::vector<std::vector<std::string>> reported;  // group reports, in order
  };
  const Case cases[] = {
      {"three groups of 1, 5 and 2: the first and the third",
       {1000, 2000, 2000, 2000, 2000, 2000, 3000, 3000},
       {{"1000*1000", {"1.jpg"}},
        {"2000*1000", {"2.jpg", "3.jpg", "4.jpg", "5.jpg", "6.jpg"}},
        {"3000*1000", {"7.jpg", "8.jpg"}}},
       {{"1.jpg"}, {"7.jpg", "8.jpg"}}},
      {"a tie of 2 and 2: the later key",
       {5000, 1000, 5000, 1000},
       {{"1000*1000", {"2.jpg", "4.jpg"}}, {"5000*1000", {"1.jpg", "3.jpg"}}},
       {{"1.jpg", "3.jpg"}}},
      {"2, 2 and 1: the later two groups",
       {1000, 2000, 1000, 2000, 3000},
       {{"1000*1000", {"1.jpg", "3.jpg"}},
        {"2000*1000", {"2.jpg", "4.jpg"}},
        {"3000*1000", {"5.jpg"}}},
       {{"2.jpg", "4.jpg"}, {"5.jpg"}}},
      {"keys sort by bytes: 10000 before 4000",
       {4000, 10000, 4000},
       {{"10000*1000", {"2.jpg"}}, {"4000*1000", {"1.jpg", "3.jpg"}}},
       {{"2.jpg"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder root;
    const std::string images = root / "images";
    for (std::size_t k = 0; k < c.widths.size(); ++k) {
      writePhoto(images + "/" + std::to_string(k + 1) + ".jpg", sized(c.widths[k], 1000));
    }
    const PhotoRun r = e2e::runOn(root, images, root / "out", kResolutionOnly);
    std::string expected =
        e2e::runStart(r, images, root / "out", kResolutionOnly) + resolutionStart(c.widths.size());
    for (const auto& [key, names] : c.groups) expected += listing(key, names.size());
    std::vector<std::string> allReported;
    for (const auto& names : c.reported) {
      expected += groupReport(names);
      allReported.insert(allReported.end(), names.begin(), names.end());
    }
    expectFailedRun(r, expected,
                    jsonReport({jsonGroup(101, texts::kResolutionDescription, allReported)}));
  }
}

TEST(Checks, CameraMakerComparisonAmongThreeMakersAndNone) {
  TempFolder root;
  const std::string images = root / "images";
  const char* makers[] = {"Canon", "DJI", "DJI", "", "DJI", "canon", "DJI"};
  for (std::size_t k = 0; k < std::size(makers); ++k) {
    Photo photo;
    photo.make = *makers[k] == '\0' ? std::nullopt : std::optional<std::string>(makers[k]);
    writePhoto(images + "/" + std::to_string(k + 1) + ".jpg", photo);
  }
  const PhotoRun r = e2e::runOn(root, images, root / "out", kCameraMakerOnly);
  // Key order: the empty key, capitals, then lower case.
  expectFailedRun(
      r,
      e2e::runStart(r, images, root / "out", kCameraMakerOnly) + cameraMakerStart(7) +
          listing("", 1) + listing("Canon", 1) + listing("DJI", 4) + listing("canon", 1) +
          groupReport({"4.jpg"}) + groupReport({"1.jpg"}) + groupReport({"6.jpg"}),
      jsonReport({jsonGroup(102, texts::kCameraMakerDescription, {"4.jpg", "1.jpg", "6.jpg"})}));
}

// A position needs the longitude within -180..180 AND the latitude within
// -90..90; the altitude takes no part, and all three 0 is no position.
TEST(Checks, GpsPositionRanges) {
  struct Case {
    const char* name;
    std::optional<e2e::Gps> gps;
    bool hasPosition;
  };
  auto at = [](std::uint32_t latitude, char latitudeRef, std::uint32_t longitude, char longitudeRef,
               std::uint32_t altitude) {
    e2e::Gps gps;
    gps.latitude = latitude;
    gps.latitudeMinutes = gps.latitudeSeconds = 0;
    gps.latitudeRef = latitudeRef;
    gps.longitude = longitude;
    gps.longitudeMinutes = gps.longitudeSeconds = 0;
    gps.longitudeRef = longitudeRef;
    gps.altitude = altitude;
    return gps;
  };
  const Case cases[] = {
      {"a-zero.jpg", at(0, 'N', 0, 'E', 0), false},
      {"b-zero-altitude50.jpg", at(0, 'N', 0, 'E', 50), true},
      {"c-bounds.jpg", at(90, 'S', 180, 'E', 0), true},
      {"d-bounds.jpg", at(90, 'N', 180, 'W', 0), true},
      {"e-lat95-lon200-alt0.jpg", at(95, 'N', 200, 'E', 0), false},
      {"f-lat95-lon200-alt50.jpg", at(95, 'N', 200, 'E', 50), false},
      {"g-lat95-lon120.jpg", at(95, 'N', 120, 'E', 10), false},
      {"h-lat45-lon181.jpg", at(45, 'N', 181, 'W', 10), false},
      {"i-latitude-only.jpg", at(30, 'N', 0, 'E', 0), true},
      {"j-no-gps.jpg", std::nullopt, false},
  };
  TempFolder root;
  const std::string images = root / "images";
  std::vector<std::string> withoutPosition;
  for (const Case& c : cases) {
    Photo photo;
    photo.gps = c.gps;
    writePhoto(images + "/" + c.name, photo);
    if (!c.hasPosition) withoutPosition.push_back(c.name);
  }
  const PhotoRun r = e2e::runOn(root, images, root / "out", kGpsOnly);
  expectFailedRun(r,
                  e2e::runStart(r, images, root / "out", kGpsOnly) + gpsStart(std::size(cases)) +
                      listing("1", withoutPosition.size()) + groupReport(withoutPosition),
                  jsonReport({jsonGroup(104, texts::kGpsDescription, withoutPosition)}));
}

#ifndef _WIN32
// Files that exist but cannot be read as a photo are errors in every check;
// a name whose target is gone is passed over. The tests may run as root,
// who reads a file without read permission anyway, so "cannot be read" is
// made with things that are no regular file: a named pipe (opening it would
// block the run) and a link to a device.
TEST(Checks, UnreadableFilesAreReportedByEveryCheck) {
  TempFolder root;
  const std::string images = root / "images";
  writePhoto(images + "/1.jpg", Photo{});
  writePhoto(images + "/2.jpg", Photo{});
  ASSERT_EQ(::mkfifo((images + "/3-pipe.jpg").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/null", (images + "/4-device.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("gone.jpg", (images + "/5-dangling.jpg").c_str()), 0);

  const PhotoRun r = e2e::runOn(root, images, root / "out");
  const std::vector<std::string> unreadable = {"3-pipe.jpg", "4-device.jpg"};
  const std::string errors = listing("error", 2) + groupReport(unreadable);
  expectFailedRun(r,
                  e2e::runStart(r, images, root / "out") + resolutionStart(5) + errors +
                      listing("4000*3000", 2) + groupReport({}) + cameraMakerStart(5) + errors +
                      listing("Canon", 2) + groupReport({}) + focalLengthStart(5) +
                      listing("24", 2) + errors + gpsStart(5) + errors,
                  jsonReport({jsonGroup(101, texts::kResolutionDescription, unreadable),
                              jsonGroup(102, texts::kCameraMakerDescription, unreadable),
                              jsonGroup(103, texts::kFocalLengthDescription, unreadable),
                              jsonGroup(104, texts::kGpsDescription, unreadable)}));
}
#endif

}  // namespace
